#include "editing/new_block.h"

#include "model/catalogue.h"

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

// The defaults of the type's entry in the catalogue, then what a table cannot say.
void SetTypeDefaults(Sim& s, TBlock& b) {
  const BlockTypeInfo* info = FindBlockType(b.Type);
  if (!info) return;  // a letter outside the catalogue: the common values only
  const BlockDefaults& d = info->defaults;
  b.State = d.State;
  b.An = d.An;
  b.Bn = d.Bn;
  b.Dn = d.Dn;
  b.aa = d.aa;
  b.bb = d.bb;
  b.cc = d.cc;
  b.dd = d.dd;
  b.pp = d.pp;
  b.Value = d.Value;
  if (d.stored > 0) ResizeStored(b, d.stored);
  switch (b.Type) {
    case BlockType::Generator:
      b.Pn = b.ID;  // its own function table
      IdentityTable(b, 11);
      break;
    case BlockType::Timer: b.pp = s.Time + b.bb; break;  // the first switching time
    case BlockType::User:
      for (int64_t k = 1; k <= 10; ++k) StoredAt(b, k) = 0;  // no links yet
      break;
    default: break;
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
