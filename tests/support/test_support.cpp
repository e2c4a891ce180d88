#include "support/test_support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>

namespace trevolan::testing {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "trevolan-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  dir_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

namespace {

// The user's data folder of the tests and of the programs they start: the backups of
// files rewritten in place go there, never into the home of whoever runs the tests. A
// child process of a window test keeps the folders its parent gave it, and makes none:
// it is killed, and could not remove one.
struct PrivateDataHome {
  std::optional<TempDir> dir;
  PrivateDataHome() {
    if (std::getenv("TREVOLAN_WINDOW_TEST_CHILD")) return;
    dir.emplace();
    setenv("XDG_DATA_HOME", dir->dir().c_str(), 1);
  }
} g_data_home;

}  // namespace

void WriteTextFile(const std::string& path, const std::string& text) {
  std::ofstream f(path, std::ios::binary);
  f << text;
}

std::string ReadTextFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

namespace {

std::string ShellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

}  // namespace

CliResult RunCli(const std::vector<std::string>& args, const std::vector<std::string>& prefix) {
  TempDir tmp;
  std::string cmd;
  for (const auto& p : prefix) cmd += ShellQuote(p) + " ";
  cmd += ShellQuote(TREVOLAN_CLI_PATH);
  for (const auto& a : args) cmd += " " + ShellQuote(a);
  cmd += " >" + ShellQuote(tmp.path("out")) + " 2>" + ShellQuote(tmp.path("err"));
  CliResult r;
  const int raw = std::system(cmd.c_str());
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = ReadTextFile(tmp.path("out"));
  r.err = ReadTextFile(tmp.path("err"));
  return r;
}

std::string ExamplePath(const std::string& name) { return std::string(TREVOLAN_EXAMPLES_DIR) + "/" + name; }

std::vector<std::string> ExampleModels() {
  std::vector<std::string> models;
  for (const std::string& name : SplitLines(ReadTextFile(TREVOLAN_EXAMPLE_LIST))) {
    if (!name.empty()) models.push_back(ExamplePath(name));
  }
  return models;
}

}  // namespace trevolan::testing
