#include "model/file_commands.h"

#include "model/model_file.h"
#include "model/tape.h"

namespace trevolan {

namespace {

std::string CutFileName(const std::string& path) { return path.substr(0, kMaxFileNameLength); }

void PrepareEmptyTable(Sim& s) {
  ClearBlockTable(s);
  SetSystemDefaults(s);
  LoadTimingGlobals(s);
}

}  // namespace

std::string FilePart(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void FileNew(Sim& s) {
  PrepareEmptyTable(s);
  s.WindowCaption = "Trevolan (savefile.txt)";
  s.HighestBlock = 100;
  s.TapeChannels = 0;
  CheckTiming(s);
  s.NotifyFormPaint();
}

void FileOpen(Sim& s, const std::string& path) {
  s.DataFileName = CutFileName(path);
  PrepareEmptyTable(s);
  s.HighestBlock = 100;
  s.TapeChannels = 0;
  OpenModel(s);
  LoadTimingGlobals(s);
  CheckTiming(s);
  s.SaveFileName = "SaveFile";
  s.WindowCaption = "Trevolan " + s.SaveFileName;
  s.NotifyFormPaint();
}

void StartupLoad(Sim& s, const std::string& path) {
  s.DataFileName = CutFileName(path);
  PrepareEmptyTable(s);
  s.TapeChannels = 0;
  OpenModel(s);
  LoadTimingGlobals(s);
  CheckTiming(s);
  for (int64_t id = 0; id <= s.HighestBlock; ++id) {
    TBlock& b = s.block(id);
    if (b.Type == 'M') b.Pn = 0;
  }
  s.NotifyFormPaint();
}

void FileSaveAs(Sim& s, const std::string& path) {
  s.SaveFileName = CutFileName(path);
  s.WindowCaption = FilePart(s.SaveFileName) + " Trevolan";
  SaveModel(s);
}

void FileSaveModel(Sim& s) { SaveModel(s); }

void FileSaveTapeAs(Sim& s, const std::string& path) {
  s.TapeFileName = CutFileName(path);
  SaveTape(s);
}

void FileSaveTape(Sim& s) { SaveTape(s); }

}  // namespace trevolan
