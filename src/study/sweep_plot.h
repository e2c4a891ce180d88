#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "display/canvas.h"
#include "study/study.h"

// The picture of a sweep (--plot): each measure against the first varied target, one
// panel a measure, the cases' means with their interval bars; with --crn a second row of
// panels with the paired differences to the baseline and their intervals. Cases that
// differ in the other varied targets are series of their own colour, joined in the order
// of the first target's values. Drawn on any Canvas: the batch runner's picture files go
// through the Qt canvas as render-plot's do, and an SVG can be made without Qt.
//
//   const SweepPlotSize size = SweepPlotSizeOf(study);
//   DrawSweepPlot(canvas, study, tally.Cases());
namespace trevolan::study {

struct SweepPlotSize {
  int32_t width = 0, height = 0;
};
SweepPlotSize SweepPlotSizeOf(const Study& study);

void DrawSweepPlot(Canvas& canvas, const Study& study, const std::vector<CaseSummary>& cases);

// Writes a picture of `size` painted by `paint` to the file, in the format of its
// extension; IoError or SimError when it cannot. The batch runner gives one of Qt's.
using PictureWriter = std::function<void(const std::string& path, SweepPlotSize size,
                                         const std::function<void(Canvas&)>& paint)>;
// Without Qt: an SVG by the project's own SvgCanvas; other formats are refused.
void WriteSvgPicture(const std::string& path, SweepPlotSize size, const std::function<void(Canvas&)>& paint);

// Whether the path ends in .svg, .png or .pdf (in any case).
bool IsPictureFile(const std::string& path);
bool IsSvgFile(const std::string& path);

}  // namespace trevolan::study
