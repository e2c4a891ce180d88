#include "display/block_find.h"

#include <gtest/gtest.h>

#include "display/draw_support.h"

namespace trevolan {
namespace {

using testing::Place;
using testing::DrawSim;

// The find box's text against a small diagram: the ID first, then the whole name, then
// names that contain it, letter case aside; unplaced and unused blocks never.
TEST(FindBlocks, ByIdThenNameThenPartOfAName) {
  DrawSim s;
  Place(*s, 101, 'C', 100, 100, "tank");
  Place(*s, 102, 'I', 200, 100, "Tank2");
  Place(*s, 103, 'F', 300, 100, "drain");
  Place(*s, 104, 'C', 0, 100, "tank3");  // not on the diagram
  Place(*s, 110, 'N', 400, 100, "102");  // a name that is also an ID
  const std::pair<const char*, std::vector<int32_t>> cases[] = {
      {"tank", {101, 102}},  {" TANK ", {101, 102}}, {"tank2", {102}},      {"102", {102, 110}},
      {"103", {103}},        {"ain", {103}},         {"104", {}},           {"999", {}},
      {"", {}},              {"1.5", {}},            {"nothing", {}},       {"10", {110}},
  };
  for (const auto& [text, ids] : cases) EXPECT_EQ(FindBlocks(*s, text), ids) << '"' << text << '"';
}

}  // namespace
}  // namespace trevolan
