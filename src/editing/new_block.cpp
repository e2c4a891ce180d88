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
    case BlockType::Divide: b.cc = 1; b.pp = 1; break;
    case BlockType::Sum: b.bb = b.cc = b.dd = b.pp = 1; break;
    case BlockType::Activity:
      b.State = 1;
      b.aa = b.bb = b.cc = b.dd = 1;
      b.pp = 10;
      ResizeStored(b, 3);
      break;
    case BlockType::Belt:
      b.State = 1;
      b.aa = b.bb = 1;
      b.pp = 10;
      b.Dn = 10;
      ResizeStored(b, 11);
      break;
    case BlockType::Container: b.cc = 100; b.dd = 50; break;
    case BlockType::Diverter:
      b.State = 1;
      b.aa = 1;
      b.bb = 0.5;
      b.cc = b.dd = 1;
      b.pp = 10;
      ResizeStored(b, 2);
      break;
    case BlockType::Exponents: b.cc = b.dd = 1; break;
    case BlockType::Flux: b.cc = 1; break;
    case BlockType::Generator:
      b.cc = 1;
      b.pp = 1;
      b.Dn = 11;
      b.Pn = b.ID;  // its own function table
      IdentityTable(b, 11);
      break;
    case BlockType::Hysteresis: b.bb = 0; b.cc = 1e-5; b.dd = 0.1; break;
    case BlockType::Integrator: b.State = 2; b.bb = 100000; b.cc = 1; break;
    case BlockType::Inductor: b.cc = 1; b.pp = 1; break;
    case BlockType::Logic: b.pp = 1; break;
    case BlockType::Logarithm: b.aa = 1e-6; b.bb = 10; b.cc = 1; b.dd = 1; break;
    case BlockType::Memory:
      b.Bn = 2;  // sampled against Time
      b.Dn = 11;
      b.pp = 10;
      ResizeStored(b, 23);
      break;
    case BlockType::Oscilloscope: ResizeStored(b, 11); break;
    case BlockType::Quantizer: b.bb = 1; b.cc = -100; b.dd = 100; b.pp = 1; break;
    case BlockType::Relay: b.Value = 1; break;
    case BlockType::Sine:
      b.An = 2;  // driven by Time
      b.bb = 1;
      b.cc = 2 * std::numbers::pi;
      b.dd = 1;
      break;
    case BlockType::Timer:
      b.Value = 1;
      b.bb = 10;
      b.cc = 10;
      b.pp = s.Time + b.bb;  // the first switching time
      break;
    case BlockType::User:
      ResizeStored(b, 11);
      for (int64_t k = 1; k <= 10; ++k) StoredAt(b, k) = 0;
      break;
    case BlockType::Visualizer: b.pp = 1; break;
    case BlockType::Multiplier: b.cc = b.dd = b.pp = 1; break;
    case BlockType::Fuzz: b.aa = 1; b.cc = -1000; b.dd = 1000; break;
    default: break;  // '@', 'N', 'P', 'W' and anything else: the common values only
  }
}

}  // namespace

void NewBlock(Sim& s, BlockType type, int64_t id, int32_t x, int32_t y) {
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
  b.Name = std::string(1, TypeLetter(type)) + std::to_string(id);
  if (b.Name.size() > kMaxNameLength) b.Name.resize(kMaxNameLength);
}

char TypeFieldLetter(const std::string& text) {
  if (text.empty()) throw RangeError();
  const char c = text[0];
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

int32_t CreateBlockFromMenu(Sim& s, BlockType type) {
  if (s.HighestBlock > kMaxBlockID - 1) {
    ShowNumberMessage(s, "No room for more Blocks at ", s.HighestBlock);
    return 0;
  }
  const int32_t id = s.HighestBlock + 1;
  NewBlock(s, type, id, s.LastX, s.LastY);
  return id;
}

}  // namespace trevolan
