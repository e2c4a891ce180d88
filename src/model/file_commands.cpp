#include "model/file_commands.h"

#include "model/failed_opens.h"
#include "model/model_file.h"
#include "model/rewrite_backup.h"
#include "model/tape.h"

#include <utility>

namespace trevolan {

namespace {

void PrepareEmptyTable(Sim& s) {
  ClearBlockTable(s);
  SetSystemDefaults(s);
  LoadTimingGlobals(s);
}

// A save that was killed while it rewrote the file in place left the old content in
// a backup: the file may mix old and new blocks and still read without a complaint.
void WarnOfUnfinishedRewrite(Sim& s, const std::string& path) {
  const std::vector<std::string> backups = UnfinishedRewriteBackups(path);
  if (backups.empty()) return;
  std::string where = backups.back();
  if (backups.size() > 1) {
    where += " (and its content before earlier saves that were cut off in ";
    for (size_t i = 0; i + 1 < backups.size(); ++i) where += (i > 0 ? ", " : "") + backups[i];
    where += ")";
  }
  s.ShowMessage("A save of " + path + " was cut off while it rewrote the file in place: it may mix old and new "
                "blocks. Its content before that save is kept in " + where);
}

// Runs an open of `path`, noting whether it failed, so that no save replaces a file
// whose model was not read whole.
template <typename Open>
auto NotingTheOpen(const std::string& path, Open&& open) {
  try {
    auto result = open();
    NoteOpened(path);
    return result;
  } catch (const std::exception& e) {
    NoteFailedOpen(path, e.what());
    throw;
  }
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

// The file is read whole before the model is cleared: a file that cannot be read, or
// that is no model at all, leaves the user's model and file names as they were.
void FileOpen(Sim& s, const std::string& path) { FileOpenText(s, path); }

std::string FileOpenText(Sim& s, const std::string& path) {
  return NotingTheOpen(path, [&] {
    WarnOfUnfinishedRewrite(s, path);
    std::string text = ReadModelFile(path);
    OpenModelText(s, text, path);
    return text;
  });
}

void OpenModelText(Sim& s, std::string text, const std::string& name) {
  s.DataFileName = name;
  PrepareEmptyTable(s);
  s.HighestBlock = 100;
  s.TapeChannels = 0;
  ReadModelText(s, std::move(text));
  LoadTimingGlobals(s);
  CheckTiming(s);
  s.SaveFileName = "SaveFile";
  s.WindowCaption = "Trevolan " + s.SaveFileName;
  s.NotifyFormPaint();
}

void StartupLoad(Sim& s, const std::string& path) {
  NotingTheOpen(path, [&] {
    WarnOfUnfinishedRewrite(s, path);
    std::string text = ReadModelFile(path);
    s.DataFileName = path;
    PrepareEmptyTable(s);
    s.TapeChannels = 0;
    ReadModelText(s, std::move(text));
    LoadTimingGlobals(s);
    CheckTiming(s);
    for (int64_t id = 0; id <= s.HighestBlock; ++id) {
      TBlock& b = s.block(id);
      if (b.Type == BlockType::Memory) b.Pn = 0;
    }
    s.NotifyFormPaint();
    return true;
  });
}

void FileSaveAs(Sim& s, const std::string& path) {
  s.SaveFileName = path;
  s.WindowCaption = FilePart(s.SaveFileName) + " Trevolan";
  SaveModel(s);
}

void FileSaveModel(Sim& s) { SaveModel(s); }

void FileSaveTapeAs(Sim& s, const std::string& path) {
  s.TapeFileName = path;
  SaveTape(s);
}

void FileSaveTape(Sim& s) { SaveTape(s); }

}  // namespace trevolan
