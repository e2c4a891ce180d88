#include "cli/batch.h"
#include "cli/targets.h"
#include "model/file_commands.h"

namespace trevolan::cli {

void AddFileCommands(Batch& b) {
  Sim& s = b.sim();
  b.Add("new", 0, 0, [&s](const Command&) { FileNew(s); });
  b.Add("open", 1, 1, [&s](const Command& c) { FileOpen(s, c[1]); });
  b.Add("start", 1, 1, [&s](const Command& c) { StartupLoad(s, c[1]); });
  b.Add("save", 1, 1, [&s](const Command& c) { FileSaveAs(s, c[1]); });
  b.Add("save-model", 0, 0, [&s](const Command&) { FileSaveModel(s); });
  b.Add("save-tape", 1, 1, [&s](const Command& c) { FileSaveTapeAs(s, c[1]); });
  b.Add("set", 2, Batch::kMany,
        [&s](const Command& c) { SetTarget(s, c[1], std::vector<std::string>(c.begin() + 2, c.end())); });
  b.Add("print", 1, Batch::kMany, [&b, &s](const Command& c) {
    std::string line;
    for (size_t i = 1; i < c.size(); ++i) line += (i > 1 ? " " : "") + PrintTarget(s, c[i]);
    b.out() << EscapeControls(line) << '\n';
  });
}

}  // namespace trevolan::cli
