#include "editing/new_block.h"

#include <type_traits>

#include "model/catalogue.h"
#include "model/fields.h"

namespace trevolan {

void NewBlock(Sim& s, BlockType type, int64_t id, int32_t x, int32_t y) {
  TBlock& b = s.block(id);
  const BlockDefaults& d = NewBlockDefaults(type);
  // Every number from the type's defaults; the texts and the list are the block's own.
  ForEachBlockMember([&](auto member) {
    if constexpr (std::is_arithmetic_v<std::remove_reference_t<decltype(b.*member)>>) b.*member = d.fields.*member;
  });
  b.ID = static_cast<int32_t>(id);
  b.Type = type;
  b.XX = x;
  b.YY = y;
  if (d.stored > 0) ResizeStored(b, d.stored);
  if (d.then) d.then(s, b);
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
