#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "model/errors.h"

namespace trevolan {

// The type of a block. Each value is the letter the model file stores for it, so a
// type is written and read as that letter; a letter outside the catalogue (which only
// an edit of the Type field can make) is kept as it is. What each type is, its name,
// legend, defaults and drawing, is found from its entry in the catalogue
// (model/catalogue.h).
enum class BlockType : char {
  Empty = '?',  // an empty slot
  Activity = 'A',
  Belt = 'B',
  Container = 'C',
  Diverter = 'D',
  Exponents = 'E',
  Flux = 'F',
  Generator = 'G',
  Hysteresis = 'H',
  Integrator = 'I',
  Inductor = 'J',
  Logic = 'K',
  Logarithm = 'L',
  Memory = 'M',
  Note = 'N',
  Oscilloscope = 'O',  // the Graphs block alone
  Pid = 'P',
  Quantizer = 'Q',
  Relay = 'R',
  Sine = 'S',
  Timer = 'T',
  User = 'U',  // the user block alone
  Visualizer = 'V',
  Witch = 'W',
  Multiplier = 'X',
  Fuzz = 'Z',
  Divide = '%',
  Sum = '&',
  Access = '@',
};

// The letter of a type as the model file and the block dialog write it, and back.
constexpr char TypeLetter(BlockType t) { return static_cast<char>(t); }
constexpr BlockType TypeOfLetter(char c) { return static_cast<BlockType>(c); }

// One slot of the block table: a block of the diagram, or an empty slot (Type '?').
// Connections are block IDs; the meaning of every field is per type. The fields that
// every step reads come first and lie together; the texts and the list, which the
// compute pass never touches, follow them, so a pass over the table reads fewer
// cache lines.
struct TBlock {
  int32_t ID = 0;
  BlockType Type = BlockType::Empty;
  int32_t OnOff = 0;    // 0 or below: switched off
  int32_t Displ = 2;    // label style on the diagram
  int32_t State = 0;    // mode or state machine, per type
  int32_t XX = 0;       // top-left of the label in pixels; XX <= 0 is not drawn
  int32_t YY = 0;
  int32_t An = 0, Bn = 0, Cn = 0, Dn = 0, Pn = 0;  // connections; 0 reads block ZERO
  double aa = 0, bb = 0, cc = 0, dd = 0, pp = 0;
  double Value = 0;
  std::string Name{};            // at most 10 characters
  std::vector<double> stored{};  // per-type data; tables are indexed from 1
  std::string Comment{};         // at most 255 characters
};

// The system blocks: fixed IDs below kReservedIDs that every model has. Blocks 2..17
// mirror the timing and display globals of the same names.
inline constexpr int kZeroBlock = 0;
inline constexpr int kOneBlock = 1;
inline constexpr int kTimeBlock = 2;
inline constexpr int kFirstMirrorBlock = kTimeBlock;  // 2..17 mirror Time .. GrMaxY
inline constexpr int kGrMinTBlock = 14;
inline constexpr int kGrMaxTBlock = 15;
inline constexpr int kGrMinYBlock = 16;
inline constexpr int kGrMaxYBlock = 17;
inline constexpr int kLastMirrorBlock = kGrMaxYBlock;
inline constexpr int kRepCountBlock = 18;   // its Dn is the hold trigger's ID
inline constexpr int kGraphsBlock = 19;     // the oscilloscope: plot axes and channels
inline constexpr int kUserBlock = 20;       // the spreadsheet link
inline constexpr int kFirstUserLinkBlock = 21;  // 21..30 receive the workbook's results
inline constexpr int kLastUserLinkBlock = 30;
inline constexpr int kPiBlock = 31;
inline constexpr int kLastSystemBlock = kPiBlock;

inline constexpr int kMaxBlockID = 1000;
inline constexpr int kBlockSlots = kMaxBlockID + 1;
inline constexpr int kReservedIDs = 100;   // IDs up to here are system blocks and reserved slots
inline constexpr size_t kMaxNameLength = 10;
inline constexpr size_t kMaxCommentLength = 255;

// The element i of a block's stored list; RangeError outside the list. Discrete
// blocks read and write their lists every step, so it stays inline: one unsigned
// comparison, the throw out of line.
[[gnu::always_inline]] inline double& StoredAt(TBlock& b, int64_t i) {
  if (static_cast<uint64_t>(i) >= b.stored.size()) ThrowRangeError();
  return b.stored[static_cast<size_t>(i)];
}
[[gnu::always_inline]] inline double StoredAt(const TBlock& b, int64_t i) {
  if (static_cast<uint64_t>(i) >= b.stored.size()) ThrowRangeError();
  return b.stored[static_cast<size_t>(i)];
}

// Highest index of the stored list: its length - 1, -1 when empty.
inline int64_t StoredHigh(const TBlock& b) { return static_cast<int64_t>(b.stored.size()) - 1; }

// Sets the length of the stored list, keeping existing elements and zeroing new ones.
void ResizeStored(TBlock& b, int64_t length);

}  // namespace trevolan
