#include "display/zoom.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "display/canvas.h"

namespace trevolan {

namespace {

constexpr std::array kSteps = {0.25, 1.0 / 3, 0.5, 2.0 / 3, 0.75, 1.0, 1.25, 1.5, 2.0, 3.0, 4.0};
// Text is about this wide per character in the diagram's font.
constexpr int32_t kCharWidth = 7;
constexpr int32_t kMargin = 20;

}  // namespace

double ZoomIn(double zoom) {
  for (double step : kSteps) {
    if (step > zoom * (1 + 1e-9)) return step;
  }
  return kSteps.back();
}

double ZoomOut(double zoom) {
  for (auto it = kSteps.rbegin(); it != kSteps.rend(); ++it) {
    if (*it < zoom * (1 - 1e-9)) return *it;
  }
  return kSteps.front();
}

int32_t ModelCoordinate(double shown, double zoom) {
  return static_cast<int32_t>(std::clamp(std::floor(shown / zoom), -1e9, 1e9));
}

int32_t ReleaseCoordinate(double pressed, double released, int32_t pressed_model, double zoom) {
  if (zoom < 1 && std::abs(released - pressed) < 2) return pressed_model;
  return ModelCoordinate(released, zoom);
}

Extent BlocksExtent(const Sim& s) {
  Extent e{1, 1};
  for (int64_t id = 1; id <= s.HighestBlock && id <= kMaxBlockID; ++id) {
    const TBlock& b = s.block(id);
    if (b.XX <= 0) continue;
    const Extent label = LabelSize(b);
    const int64_t right = int64_t{b.XX} + label.width + kMargin;
    const int64_t bottom = int64_t{b.YY} + label.height + kMargin;
    e.width = static_cast<int32_t>(std::clamp<int64_t>(right, e.width, 1 << 20));
    e.height = static_cast<int32_t>(std::clamp<int64_t>(bottom, e.height, 1 << 20));
  }
  return e;
}

Extent LabelSize(const TBlock& b) {
  const size_t chars = b.Type == BlockType::Note ? std::clamp<size_t>(b.Comment.size(), 11, 1 << 16) : 11;
  return Extent{kCharWidth * static_cast<int32_t>(chars), 2 * Canvas::kLinePitch};
}

double FitZoom(Extent extent, int32_t view_width, int32_t view_height) {
  const double zoom = std::min(static_cast<double>(std::max(view_width, 1)) / std::max(extent.width, 1),
                               static_cast<double>(std::max(view_height, 1)) / std::max(extent.height, 1));
  return std::clamp(zoom, kMinZoom, kMaxZoom);
}

}  // namespace trevolan
