#include "link/memory_workbook.h"

namespace trevolan {

std::string MemoryWorkbook::Upper(std::string name) {
  for (char& c : name) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return name;
}

void MemoryWorkbook::Run() {
  if (IsEmpty()) throw SimError("Operation not allowed on an empty OLE container");
  running_ = true;
}

void MemoryWorkbook::WriteCells(const std::vector<Cell>& cells) {
  if (!running_) throw AutomationError("the workbook is not running");
  for (const auto& [name, text] : cells) cell(name) = text;
  ++writes;
}

std::vector<std::string> MemoryWorkbook::ReadCells(const std::vector<std::string>& names) {
  if (!running_) throw AutomationError("the workbook is not running");
  if (recalculate) recalculate(*this);
  std::vector<std::string> texts;
  for (const auto& name : names) texts.push_back(cell(name));
  ++reads;
  return texts;
}

}  // namespace trevolan
