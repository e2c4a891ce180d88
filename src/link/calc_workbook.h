#pragma once
#include <sys/types.h>

#include <string>

#include "model/workbook.h"

namespace trevolan {

// A workbook in LibreOffice Calc, run in a process of its own with a private profile
// and driven through UNO by a small bridge program (Debian's python3 with python3-uno)
// that answers one request a line over a socket. Every call has a time limit; a
// bridge or Calc that dies, hangs or answers nonsense is an AutomationError, after
// which the bridge and its Calc are ended.
class CalcWorkbook : public Workbook {
 public:
  // `headless`: Calc without a window; otherwise the user sees the workbook change.
  explicit CalcWorkbook(bool headless, int call_seconds = 10, int start_seconds = 120);
  ~CalcWorkbook() override;
  CalcWorkbook(const CalcWorkbook&) = delete;
  CalcWorkbook& operator=(const CalcWorkbook&) = delete;

  void Load(const std::string& path) override;
  bool IsEmpty() const override { return path_.empty(); }
  bool IsRunning() override;
  void Run() override;
  void WriteCells(const std::vector<Cell>& cells) override;
  std::vector<std::string> ReadCells(const std::vector<std::string>& names) override;

  // Whether this machine has what the bridge needs (python3 with uno, and Calc).
  static bool Available();
  // The bridge's process, for tests that make Calc fail under it.
  pid_t bridge_pid() const { return pid_; }

 private:
  std::vector<std::string> Call(const std::vector<std::string>& request, int seconds);
  [[noreturn]] void Fail(const std::string& why);
  void Stop();

  bool headless_;
  int call_seconds_, start_seconds_;
  std::string path_;
  pid_t pid_ = -1;
  int fd_ = -1;
  std::string pending_;  // bytes read past the last answer
};

// The text of the bridge program, built into the binary from calc_bridge.py.
extern const char* const kCalcBridgeScript;

}  // namespace trevolan
