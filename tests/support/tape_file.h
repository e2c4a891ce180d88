#pragma once
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace trevolan::testing {

// A tape file read back: the header's names and one row of numbers per line.
struct TapeTable {
  std::vector<std::string> names;
  std::vector<std::vector<double>> rows;
  // The column of a channel by its block name.
  std::vector<double> Column(const std::string& name) const {
    size_t c = 0;
    while (c < names.size() && names[c] != name) ++c;
    std::vector<double> out;
    for (const auto& r : rows) out.push_back(c < r.size() ? r[c] : 0.0);
    return out;
  }
};

inline TapeTable ReadTape(const std::string& path) {
  TapeTable t;
  const auto lines = SplitLines(ReadTextFile(path));
  if (lines.empty()) return t;
  std::istringstream header(lines[0]);
  for (std::string name; header >> name;) t.names.push_back(name);
  for (size_t i = 1; i < lines.size(); ++i) {
    std::istringstream row(lines[i]);
    std::vector<double> values;
    for (double v; row >> v;) values.push_back(v);
    if (!values.empty()) t.rows.push_back(values);
  }
  return t;
}

// Runs an example through the batch runner with extra commands after `open` and
// returns its tape; `out` receives what the runner printed.
inline TapeTable RunExample(const std::string& example, const std::string& setup, std::string* out = nullptr) {
  TempDir dir;
  const auto r = RunCli({"exec", "-c",
                         "open " + ExamplePath(example) + "; " + setup + "; reset; finish; save-tape " +
                             dir.path("tape.txt")});
  if (out) *out = r.out + (r.status == 0 ? "" : "exit status " + std::to_string(r.status));
  return ReadTape(dir.path("tape.txt"));
}

}  // namespace trevolan::testing
