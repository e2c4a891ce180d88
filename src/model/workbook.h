#pragma once
#include <string>
#include <utility>
#include <vector>

#include "model/errors.h"

namespace trevolan {

// A call to the spreadsheet application that failed: it died, hung past its time
// limit or answered nonsense.
class AutomationError : public SimError {
 public:
  explicit AutomationError(const std::string& why) : SimError("Automation error: " + why) {}
};

// The workbook of the spreadsheet link, with just the calls the user block relies on.
// Cells are named as in A1 and live on the first worksheet; texts go both ways.
class Workbook {
 public:
  using Cell = std::pair<std::string, std::string>;  // name and text

  virtual ~Workbook() = default;
  // Takes the workbook file; nothing runs yet.
  virtual void Load(const std::string& path) = 0;
  // Nothing loaded: running it is not allowed.
  virtual bool IsEmpty() const = 0;
  virtual bool IsRunning() = 0;
  // Starts the application with the loaded workbook.
  virtual void Run() = 0;
  // Writes the texts into the cells of the first worksheet, in order.
  virtual void WriteCells(const std::vector<Cell>& cells) = 0;
  // Recalculates the workbook, then reads the cells' texts in order.
  virtual std::vector<std::string> ReadCells(const std::vector<std::string>& names) = 0;
};

}  // namespace trevolan
