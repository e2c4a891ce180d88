#pragma once
#include <functional>
#include <map>

#include "model/workbook.h"

namespace trevolan {

// A workbook held in memory, for tests: cells are a map from upper-case names to
// texts, and `recalculate` plays the formulas, run before every read.
class MemoryWorkbook : public Workbook {
 public:
  void Load(const std::string& path) override { path_ = path; }
  bool IsEmpty() const override { return path_.empty(); }
  bool IsRunning() override { return running_; }
  void Run() override;
  void WriteCells(const std::vector<Cell>& cells) override;
  std::vector<std::string> ReadCells(const std::vector<std::string>& names) override;

  std::string& cell(const std::string& name) { return cells_[Upper(name)]; }
  std::function<void(MemoryWorkbook&)> recalculate;
  int writes = 0, reads = 0;

  static std::string Upper(std::string name);

 private:
  std::string path_;
  bool running_ = false;
  std::map<std::string, std::string> cells_;
};

}  // namespace trevolan
