#include <array>

#include "blocks/compute.h"
#include "model/numbers.h"
#include "model/workbook.h"

// The user block (block 20): at its times it writes its inputs into the linked
// workbook, has it recalculated and takes back its results. It reaches the workbook only
// through the Workbook interface; the spreadsheet application behind it is the link's.
namespace trevolan {

namespace {

constexpr int kLinkedValues = 10;

// The platform's number parser on a cell's text: unlike an edit field, an empty cell
// is not a number.
double CellNumber(const std::string& text) {
  if (text.empty()) throw ConversionError(text);
  return EditToFloat(text);
}

// Column letter of row cell i: B for 1 up to Q for 16.
std::string CellName(int i, int row) { return std::string(1, static_cast<char>('A' + i)) + std::to_string(row); }

void Exchange(Sim& s, TBlock& u) {
  // Gather first: a bad stored ID stops the exchange before anything is written.
  std::array<double, 6> out{s.V(u.An) + u.aa, s.V(u.Bn) + u.bb, s.V(u.Cn) + u.cc,
                            s.V(u.Dn) + u.dd, s.V(u.Pn) + u.pp, u.Value};
  std::array<double, kLinkedValues> links{};
  for (int k = 1; k <= kLinkedValues; ++k) links[k - 1] = s.V(ToInt32(StoredAt(u, k)));

  std::vector<Workbook::Cell> row1;
  for (int i = 1; i <= 6; ++i) row1.emplace_back(CellName(i, 1), FormatEdit(out[i - 1]));
  for (int k = 1; k <= kLinkedValues; ++k) row1.emplace_back(CellName(6 + k, 1), FormatEdit(links[k - 1]));
  row1.emplace_back("a1", FormatEdit(s.Time));
  s.workbook->WriteCells(row1);

  std::vector<std::string> names;
  for (int i = 1; i <= 16; ++i) names.push_back(CellName(i, 2));
  const auto texts = s.workbook->ReadCells(names);
  if (texts.size() != names.size()) throw AutomationError("the workbook answered too few cells");
  std::array<double, 16> in{};
  for (size_t i = 0; i < in.size(); ++i) in[i] = CellNumber(texts[i]);  // all read before any is applied

  u.cc = in[2];
  u.pp = in[4];
  u.Value = in[5];
  for (int k = 1; k <= kLinkedValues; ++k) s.block(kUserBlock + k).Value = in[static_cast<size_t>(5 + k)];
}

}  // namespace

void ExchangeWithSpreadsheet(Sim& s) {
  TBlock& u = s.block(kUserBlock);
  if (u.OnOff == 0) return;
  if (u.Value - s.TimeTol > s.Time) return;
  u.Value += s.V(u.Pn) + u.pp;  // the next exchange, moved on before anything is written
  if (!s.SpreadsheetLinked || !s.workbook) {
    ShowNumberMessage(s, "XL not Running. on HOLD. Check Block ", kUserBlock);
    s.HoldFlag = true;
    s.SetRunCaption("RUN");
    return;
  }
  try {
    Exchange(s, u);
  } catch (const SimError&) {
    // A failed exchange holds the run, as the missing link does.
    s.HoldFlag = true;
    s.SetRunCaption("RUN");
    throw;
  }
}

}  // namespace trevolan
