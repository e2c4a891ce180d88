#include "cli/batch.h"
#include "commands/targets.h"
#include "model/file_commands.h"
#include "model/tape_csv.h"

namespace trevolan::cli {

namespace {

// The targets of print and set, named as the table of fields names them.
std::string TargetsHelp() {
  return "Targets: ID.FIELD, FIELD one of " + commands::TargetFieldNames() +
         ", where stored is the whole stored list from index 0, and stored[K] (one entry); a global by its name (" +
         commands::TargetGlobalNames() + "); and, for print only, tape.R.C, the tape cell of row R and column C.";
}

}  // namespace

void AddFileCommands(Batch& b) {
  Sim& s = b.sim();
  b.Add({"new", "", "File, New: an empty model with the default system blocks",
         "Clears the block table, writes the default system blocks and loads the timing globals from them; "
         "HighestBlock becomes 100 and the tape has no channels. The file names stay as they are.",
         "new"},
        [&s](const Command&) { FileNew(s); });
  b.Add({"open", "FILE", "File, Open (model): reads the model file FILE",
         "Clears the block table and reads FILE as File, Open does. DataFileName becomes FILE and SaveFileName "
         "becomes \"SaveFile\". A block line the reader cannot take gives a message: line; a file that cannot "
         "be read gives an error: line.",
         "open /usr/share/trevolan/examples/integrators.txt"},
        [&s](const Command& c) { FileOpen(s, c[1]); });
  b.Add({"start", "FILE", "The window started with FILE: the load of its first activation",
         "Reads FILE as the window does when the program is started with FILE as its one argument. Unlike open "
         "it leaves HighestBlock and SaveFileName as they are, and sets Pn of every Memory block to 0.",
         "start examples/delay_line.txt"},
        [&s](const Command& c) { StartupLoad(s, c[1]); });
  b.Add({"save", "FILE", "File, Save Model As: writes the model to FILE",
         "SaveFileName becomes FILE and the model is written to it.", "save mymodel.txt"},
        [&s](const Command& c) { FileSaveAs(s, c[1]); });
  b.Add({"save-model", "", "File, Save Model: writes the model to SaveFileName",
         "After open, SaveFileName is \"SaveFile\" in the current folder, as in the window; save FILE "
         "chooses another.",
         "save-model"},
        [&s](const Command&) { FileSaveModel(s); });
  b.Add({"save-tape", "FILE", "File, Save Tape as: writes the recorded tape rows to FILE",
         "TapeFileName becomes FILE. The file is a blank-separated table: a header line of the channels' block "
         "names and one line per recorded row.",
         "save-tape tape.txt"},
        [&s](const Command& c) { FileSaveTapeAs(s, c[1]); });
  b.Add({"save-tape-csv", "FILE", "File, Export Tape as CSV: writes the recorded tape rows to FILE as CSV",
         "A header line of the channels' block names, then one line per recorded row; '.' as the decimal "
         "separator, quoting by RFC 4180, numbers in the shortest form that reads back to the same value.",
         "save-tape-csv tape.csv"},
        [&s](const Command& c) { SaveTapeCsv(s, c[1]); });
  b.Add({"set", "TARGET VALUE...", "Writes one field or global directly, without any dialog logic",
         "Only ID.stored takes more than one VALUE: the list is replaced by the values given.\n\n" + TargetsHelp(),
         "set 105.pp 2.5"},
        [&s](const Command& c) { commands::SetTarget(s, c[1], std::vector<std::string>(c.begin() + 2, c.end())); });
  b.Add({"print", "TARGET...", "Prints the values of the targets on one line",
         std::string("The values are separated by one blank. Doubles are written as the model file writes them, "
                     "integers in decimal, flags as 0 or 1, texts as they stand.\n\n") +
             TargetsHelp(),
         "print Time 102.Value tape.0.1"},
        [&b, &s](const Command& c) {
          std::string line;
          for (size_t i = 1; i < c.size(); ++i) line += (i > 1 ? " " : "") + commands::PrintTarget(s, c[i]);
          b.out() << EscapeControls(line) << '\n';
        });
}

}  // namespace trevolan::cli
