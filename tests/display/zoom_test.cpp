#include "display/zoom.h"

#include <gtest/gtest.h>

#include <memory>

#include "editing/new_block.h"

namespace trevolan {
namespace {

TEST(Zoom, StepsAndPointsInModelCoordinates) {
  EXPECT_EQ(ZoomIn(1.0), 1.25);
  EXPECT_EQ(ZoomOut(1.0), 0.75);
  EXPECT_EQ(ZoomIn(4.0), 4.0);
  EXPECT_EQ(ZoomOut(0.25), 0.25);
  EXPECT_EQ(ZoomIn(0.9), 1.0);  // from a fitted zoom to the next step
  struct Case {
    double zoom, shown;
    int32_t model;
  };
  for (const Case c : {Case{1, 305, 305}, Case{2, 611, 305}, Case{2, 610, 305}, Case{0.5, 152, 304},
                       Case{0.5, 152.9, 305}, Case{1.0 / 3, 100, 300}, Case{4, 3, 0}, Case{1, -1, -1}}) {
    EXPECT_EQ(ModelCoordinate(c.shown, c.zoom), c.model) << c.zoom << " " << c.shown;
  }
  // Below 100 % a release within one screen pixel is a click at the press's point;
  // at 100 % and above the release is where it is.
  EXPECT_EQ(ReleaseCoordinate(150, 151, 300, 0.5), 300);
  EXPECT_EQ(ReleaseCoordinate(150, 152, 300, 0.5), 304);
  EXPECT_EQ(ReleaseCoordinate(150, 151, 150, 1), 151);
}

TEST(Zoom, FitShowsEveryPlacedBlock) {
  auto s = std::make_unique<Sim>();
  const Extent system = BlocksExtent(*s);  // the placed system blocks
  ASSERT_LT(system.width, 1000);
  ASSERT_LT(system.height, 700);
  NewBlock(*s, BlockType::Integrator, 101, 1200, 100);
  NewBlock(*s, BlockType::Container, 102, 100, 800);
  NewBlock(*s, BlockType::Container, 103, -5, 2000);  // not placed
  s->HighestBlock = 103;
  const Extent e = BlocksExtent(*s);
  EXPECT_GT(e.width, 1200 + 11 * 6);
  EXPECT_LT(e.width, 1400);
  EXPECT_GT(e.height, 800 + 26);
  EXPECT_LT(e.height, 900);
  const double zoom = FitZoom(e, 700, 900);
  EXPECT_NEAR(e.width * zoom, 700, 1);
  EXPECT_EQ(FitZoom(Extent{10, 10}, 2000, 2000), kMaxZoom);
  EXPECT_EQ(FitZoom(Extent{100000, 10}, 100, 100), kMinZoom);
}

}  // namespace
}  // namespace trevolan
