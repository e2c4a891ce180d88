#include "editing/new_block.h"

#include <numbers>

namespace trevolan {

namespace {

// A table of n points holding the identity on [0, 1]: arguments in stored[n + k],
// values in stored[k], k = 1..n.
void IdentityTable(TBlock& b, int64_t n) {
  ResizeStored(b, 2 * n + 1);
  for (int64_t k = 1; k <= n; ++k) {
    const double x = static_cast<double>(k - 1) * 0.1;
    StoredAt(b, k) = x;
    StoredAt(b, n + k) = x;
  }
}

void SetTypeDefaults(Sim& s, TBlock& b) {
  switch (b.Type) {
    case '%': b.cc = 1; b.pp = 1; break;
    case '&': b.bb = b.cc = b.dd = b.pp = 1; break;
    case 'A':
      b.State = 1;
      b.aa = b.bb = b.cc = b.dd = 1;
      b.pp = 10;
      ResizeStored(b, 3);
      break;
    case 'B':
      b.State = 1;
      b.aa = b.bb = 1;
      b.pp = 10;
      b.Dn = 10;
      ResizeStored(b, 11);
      break;
    case 'C': b.cc = 100; b.dd = 50; break;
    case 'D':
      b.State = 1;
      b.aa = 1;
      b.bb = 0.5;
      b.cc = b.dd = 1;
      b.pp = 10;
      ResizeStored(b, 2);
      break;
    case 'E': b.cc = b.dd = 1; break;
    case 'F': b.cc = 1; break;
    case 'G':
      b.cc = 1;
      b.pp = 1;
      b.Dn = 11;
      b.Pn = b.ID;  // its own function table
      IdentityTable(b, 11);
      break;
    case 'H': b.bb = 0; b.cc = 1e-5; b.dd = 0.1; break;
    case 'I': b.State = 2; b.bb = 100000; b.cc = 1; break;
    case 'J': b.cc = 1; b.pp = 1; break;
    case 'K': b.pp = 1; break;
    case 'L': b.aa = 1e-6; b.bb = 10; b.cc = 1; b.dd = 1; break;
    case 'M':
      b.Bn = 2;  // sampled against Time
      b.Dn = 11;
      b.pp = 10;
      ResizeStored(b, 23);
      break;
    case 'O': ResizeStored(b, 11); break;
    case 'Q': b.bb = 1; b.cc = -100; b.dd = 100; b.pp = 1; break;
    case 'R': b.Value = 1; break;
    case 'S':
      b.An = 2;  // driven by Time
      b.bb = 1;
      b.cc = 2 * std::numbers::pi;
      b.dd = 1;
      break;
    case 'T':
      b.Value = 1;
      b.bb = 10;
      b.cc = 10;
      b.pp = s.Time + b.bb;  // the first switching time
      break;
    case 'U':
      ResizeStored(b, 11);
      for (int64_t k = 1; k <= 10; ++k) StoredAt(b, k) = 0;
      break;
    case 'V': b.pp = 1; break;
    case 'X': b.cc = b.dd = b.pp = 1; break;
    case 'Z': b.aa = 1; b.cc = -1000; b.dd = 1000; break;
    default: break;  // '@', 'N', 'P', 'W' and anything else: the common values only
  }
}

}  // namespace

void NewBlock(Sim& s, char type, int64_t id, int32_t x, int32_t y) {
  TBlock& b = s.block(id);
  b.ID = static_cast<int32_t>(id);
  b.Type = type;
  b.XX = x;
  b.YY = y;
  b.An = b.Bn = b.Cn = b.Dn = b.Pn = 0;
  b.aa = b.bb = b.cc = b.dd = b.pp = b.Value = 0;
  b.State = 0;
  b.OnOff = 1;
  b.Displ = 2;
  SetTypeDefaults(s, b);
  b.Name = std::string(1, type) + std::to_string(id);
  if (b.Name.size() > kMaxNameLength) b.Name.resize(kMaxNameLength);
}

char TypeFieldLetter(const std::string& text) {
  if (text.empty()) throw RangeError();
  const char c = text[0];
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

int32_t CreateBlockFromMenu(Sim& s, char type) {
  if (s.HighestBlock > kMaxBlockID - 1) {
    ShowNumberMessage(s, "No room for more Blocks at ", s.HighestBlock);
    return 0;
  }
  const int32_t id = s.HighestBlock + 1;
  NewBlock(s, type, id, s.LastX, s.LastY);
  return id;
}

}  // namespace trevolan
