#include "model/tape.h"

#include "model/atomic_file.h"
#include "model/numbers.h"

namespace trevolan {

namespace {

constexpr int kLastRow = kTapeRows - 1;
constexpr int kRewindRows = 2000;

// Drops the oldest rows: rows 2000..10000 move down to 0..8000, rows above keep
// their old contents.
void RewindTape(Sim& s) {
  ShowNumberMessage(s, "Tape Full. PART rewind at Tape index: ", s.TapeIndex);
  s.HoldFlag = true;
  for (int c = 0; c <= s.TapeChannels; ++c) {
    for (int k = 0; k <= kLastRow - kRewindRows; ++k) s.TapeCell(c, k) = s.TapeCell(c, k + kRewindRows);
  }
  s.TapeIndex -= kRewindRows;
  // Memories sample against times that have just left the tape; they go back to
  // their plain sample period.
  for (int64_t id = 0; id <= s.HighestBlock; ++id) {
    TBlock& b = s.block(id);
    if (b.Type == BlockType::Memory || TypeLetter(b.Type) == 'm') b.Pn = 0;
  }
}

}  // namespace

void ResetTape(Sim& s) {
  s.TapeIndex = -1;
  s.FillTape(0.0);
}

void RecordTape(Sim& s) {
  if (s.TapeChannels == 0) return;
  if (s.TapeIndex >= kLastRow) RewindTape(s);
  ++s.TapeIndex;
  s.TapeCell(0, s.TapeIndex) = s.Time;
  for (int c = 1; c <= s.TapeChannels; ++c) {
    if (c >= kTapeColumns) throw RangeError();
    s.TapeCell(c, s.TapeIndex) = s.V(s.TapeChannelIDs[static_cast<size_t>(c)]);
  }
  s.NotifyTapeRowRecorded();
}

std::string TapeFileText(const Sim& s) {
  std::string text = s.block(kTimeBlock).Name + "   ";
  for (int c = 1; c <= s.TapeChannels; ++c) {
    if (c >= kTapeColumns) throw RangeError();
    text += "   " + s.block(s.TapeChannelIDs[static_cast<size_t>(c)]).Name;
  }
  text += "\r\n";
  for (int64_t r = 0; r <= s.TapeIndex; ++r) {
    for (int c = 0; c <= s.TapeChannels; ++c) text += FormatGeneral(s.TapeCell(c, r)) + "   ";
    text += "\r\n";
  }
  return text;
}

void SaveTape(Sim& s) { WriteFileAtomically(s.TapeFileName, TapeFileText(s)); }

}  // namespace trevolan
