#pragma once
#include <string>

#include "model/sim.h"

namespace trevolan {

// The File menu and the start-up load, shared by the window and the batch runner.

// File, New: the default model of an empty table.
void FileNew(Sim& s);

// File, Open with a chosen file: clears the table, reads the model and takes its timing.
void FileOpen(Sim& s, const std::string& path);
// The same, returning the text that was read: what the model now is, whatever the file
// becomes (a study's record names it).
std::string FileOpenText(Sim& s, const std::string& path);
// The same for a model's text already read, `name` standing for its file's name.
void OpenModelText(Sim& s, std::string text, const std::string& name);

// The load the main window makes when it is first activated with one command-line
// argument. Unlike Open it leaves HighestBlock, SaveFileName and the caption alone,
// and it sets the sample link (Pn) of every Memory to 0.
void StartupLoad(Sim& s, const std::string& path);

// File, Save Model As with a chosen file.
void FileSaveAs(Sim& s, const std::string& path);

// File, Save Model: to the current SaveFileName.
void FileSaveModel(Sim& s);

// File, Save Tape as with a chosen file; File, Save Tape to the current TapeFileName.
void FileSaveTapeAs(Sim& s, const std::string& path);
void FileSaveTape(Sim& s);

// The part of a path after its last folder separator.
std::string FilePart(const std::string& path);

}  // namespace trevolan
