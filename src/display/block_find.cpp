#include "display/block_find.h"

#include <algorithm>
#include <cctype>

#include "model/numbers.h"

namespace trevolan {

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Trimmed(const std::string& text) {
  const size_t from = text.find_first_not_of(" \t");
  if (from == std::string::npos) return std::string();
  return text.substr(from, text.find_last_not_of(" \t") - from + 1);
}

}  // namespace

std::vector<int32_t> FindBlocks(const Sim& s, const std::string& text) {
  const std::string wanted = Lower(Trimmed(text));
  std::vector<int32_t> found;
  if (wanted.empty()) return found;
  const int32_t highest = std::min<int32_t>(s.HighestBlock, kMaxBlockID);
  const auto placed = [&s](int32_t id) {
    const TBlock& b = s.block(id);
    return b.Type != BlockType::Empty && b.XX > 0;
  };
  const auto add = [&found](int32_t id) {
    if (std::find(found.begin(), found.end(), id) == found.end()) found.push_back(id);
  };
  const std::optional<double> number = ParseFileNumber(wanted);
  if (number && *number >= 1 && *number <= highest && *number == static_cast<int32_t>(*number) &&
      placed(static_cast<int32_t>(*number))) {
    add(static_cast<int32_t>(*number));
  }
  for (int32_t id = 1; id <= highest; ++id) {
    if (placed(id) && Lower(s.block(id).Name) == wanted) add(id);
  }
  for (int32_t id = 1; id <= highest; ++id) {
    if (placed(id) && Lower(s.block(id).Name).find(wanted) != std::string::npos) add(id);
  }
  return found;
}

}  // namespace trevolan
