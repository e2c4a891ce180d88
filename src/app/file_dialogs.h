#pragma once
#include <optional>
#include <string>

class QWidget;

namespace trevolan {

// The file dialogs of the program; each gives the chosen file, or nothing when the
// user cancelled. They are Qt's own dialogs on every platform, so that they look and
// behave the same everywhere.

// File, Open: text files first; starts in the program's model folder when it exists,
// otherwise in the current folder; the folder of the example models is in its side bar.
std::optional<std::string> ChooseModelFile(QWidget* parent);
// Save Model As and Save Tape as: text files, ".txt" added to a name without one.
// Starts in the folder of `suggested` with its name filled in, or in the current
// folder when none is given.
std::optional<std::string> ChooseSaveFile(QWidget* parent, const std::string& suggested = std::string());
// The spreadsheet link's workbook: Excel files first, then what Calc reads; the
// file must exist.
std::optional<std::string> ChooseWorkbookFile(QWidget* parent);

// The file of an export: a picture (PNG, SVG or PDF, by the type chosen or the
// extension typed) or the tape as CSV.
enum class ExportKind { Picture, Csv };
std::optional<std::string> ChooseExportFile(QWidget* parent, ExportKind kind, const char* title);

// The folder the open dialog starts in when it exists.
inline constexpr const char* kModelFolder = "c:\\my documents\\simulation\\diskrete";

}  // namespace trevolan
