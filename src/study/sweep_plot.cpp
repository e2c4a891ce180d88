#include "study/sweep_plot.h"

#include <algorithm>
#include <charconv>
#include <cctype>
#include <cmath>
#include <limits>
#include <map>

#include "display/colours.h"
#include "display/svg_canvas.h"
#include "model/atomic_file.h"
#include "model/errors.h"
#include "model/numbers.h"

namespace trevolan::study {

namespace {

constexpr int32_t kPanelWidth = 360, kPanelHeight = 260, kGap = 10;
// The plot box inside a panel: room for the title above, the value labels to the left,
// the first target's values and name below.
constexpr int32_t kBoxLeft = 70, kBoxRight = 14, kBoxTop = 24, kBoxBottom = 38;
constexpr int32_t kCap = 4, kMarker = 3;

struct Mark {
  double x = 0, y = 0, half = std::numeric_limits<double>::quiet_NaN();  // half-width; NaN: no bar
};

struct Series {
  std::string label;  // the other varied targets' values; empty with one --vary
  std::vector<Mark> marks;
};

// Four significant digits: the edges of a panel, not a table.
std::string Label(double v) {
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 4);
  return std::string(buf, r.ptr);
}

// The first target's values as numbers; their places in the list when one is no number.
std::vector<double> Positions(const Variation& first) {
  std::vector<double> at;
  for (const std::string& v : first.values) {
    const auto x = ParseFileNumber(v);
    if (!x || !std::isfinite(*x)) {
      at.clear();
      for (size_t i = 0; i < first.values.size(); ++i) at.push_back(static_cast<double>(i + 1));
      return at;
    }
    at.push_back(*x);
  }
  return at;
}

// One series a combination of the other varied targets, a mark a case, taken by `of`
// (nullopt: the case has no value).
template <typename Of>
std::vector<Series> SeriesOf(const Study& study, const std::vector<CaseSummary>& cases, Of of) {
  const auto& variations = study.plan().variations;
  const std::vector<double> at = Positions(variations[0]);
  std::vector<Series> series;
  std::map<std::string, size_t> index;
  for (const CaseSummary& c : cases) {
    std::string label;
    for (size_t v = 1; v < variations.size(); ++v) {
      label += (v > 1 ? ", " : "") + variations[v].target + "=" + c.case_values[v];
    }
    const auto [it, added] = index.emplace(label, series.size());
    if (added) series.push_back({label, {}});
    const auto place = std::find(variations[0].values.begin(), variations[0].values.end(), c.case_values[0]);
    const std::optional<Mark> mark = of(c);
    if (!mark) continue;
    Mark m = *mark;
    m.x = at[static_cast<size_t>(place - variations[0].values.begin())];
    series[it->second].marks.push_back(m);
  }
  for (Series& s : series) std::stable_sort(s.marks.begin(), s.marks.end(), [](const Mark& a, const Mark& b) { return a.x < b.x; });
  return series;
}

std::optional<Mark> MarkOf(const SampleSummary& s) {
  if (s.n < 1 || !std::isfinite(s.mean)) return std::nullopt;
  return Mark{0, s.mean, std::isfinite(s.ci) ? s.ci : std::numeric_limits<double>::quiet_NaN()};
}

// The range of the values and their bars, widened a little, and never empty.
struct Range {
  double low = std::numeric_limits<double>::infinity(), high = -std::numeric_limits<double>::infinity();
  void Take(double v) {
    low = std::min(low, v);
    high = std::max(high, v);
  }
  void Pad() {
    const double room = high > low ? (high - low) * 0.05 : std::max(1.0, std::fabs(low) * 0.1);
    low -= room;
    high += room;
  }
  double Along(double v, int32_t from, int32_t to) const { return from + (v - low) / (high - low) * (to - from); }
};

class Panel {
 public:
  Panel(Canvas& c, int32_t left, int32_t top) : c_(c), left_(left + kBoxLeft), top_(top + kBoxTop),
      right_(left + kPanelWidth - kBoxRight), bottom_(top + kPanelHeight - kBoxBottom), title_left_(left) {}

  void Draw(const std::string& title, const std::string& x_name, const std::vector<Series>& series, bool zero_line) {
    Range x, y;
    for (const Series& s : series) {
      for (const Mark& m : s.marks) {
        x.Take(m.x);
        y.Take(m.y);
        if (!std::isnan(m.half)) {
          y.Take(m.y - m.half);
          y.Take(m.y + m.half);
        }
      }
    }
    c_.pen = Pen{colour::kBlack, 1, PenStyle::Solid};
    c_.brush = colour::kWhite;
    c_.Rectangle(left_, top_, right_, bottom_);
    Text(title_left_ + (kBoxLeft + kPanelWidth - kBoxRight - c_.TextWidth(title)) / 2, top_ - 18, title, colour::kBlack);
    Text((left_ + right_ - c_.TextWidth(x_name)) / 2, bottom_ + 20, x_name, colour::kBlack);
    if (!(x.low <= x.high)) {
      Text(left_ + 8, top_ + 8, "no values", colour::kGrey);
      return;
    }
    x_ = x;
    y_ = y;
    x_.Pad();
    y_.Pad();
    // The edges of the values, not of the padded box: the first and last of the first
    // target's values under their marks, the lowest and highest bar end beside theirs.
    Text(left_ - c_.TextWidth(Label(y.high)) - 4, Y(y.high) - Canvas::kLinePitch / 2, Label(y.high), colour::kBlack);
    Text(left_ - c_.TextWidth(Label(y.low)) - 4, Y(y.low) - Canvas::kLinePitch / 2, Label(y.low), colour::kBlack);
    Text(X(x.low) - c_.TextWidth(Label(x.low)) / 2, bottom_ + 4, Label(x.low), colour::kBlack);
    if (x.high > x.low) Text(X(x.high) - c_.TextWidth(Label(x.high)) / 2, bottom_ + 4, Label(x.high), colour::kBlack);
    if (zero_line && y.low < 0 && y.high > 0) {
      c_.pen = Pen{colour::kGrey, 1, PenStyle::Dotted};
      c_.MoveTo(left_ + 1, Y(0));
      c_.LineTo(right_ - 1, Y(0));
    }
    for (size_t i = 0; i < series.size(); ++i) Trace(series[i], kChannelColours[i % kChannelColours.size()]);
  }

  // The series' names in their colours, from the top left of the box.
  void Legend(const std::vector<Series>& series) {
    for (size_t i = 0; i < series.size() && !series[i].label.empty(); ++i) {
      Text(left_ + 6, top_ + 4 + static_cast<int32_t>(i) * Canvas::kLinePitch, series[i].label,
           kChannelColours[i % kChannelColours.size()]);
    }
  }

 private:
  int32_t X(double v) const { return static_cast<int32_t>(std::lround(x_.Along(v, left_ + 8, right_ - 8))); }
  int32_t Y(double v) const { return static_cast<int32_t>(std::lround(y_.Along(v, bottom_ - 4, top_ + 4))); }

  void Text(int32_t x, int32_t y, const std::string& text, Rgb colour) {
    c_.brush = colour::kWhite;
    c_.font = Font{colour, FontStyle::Regular};
    c_.TextOut(x, y, text);
  }

  // The means joined in the first target's order, each with its bar and its caps.
  void Trace(const Series& s, Rgb colour) {
    c_.pen = Pen{colour, 1, PenStyle::Solid};
    for (size_t i = 1; i < s.marks.size(); ++i) {
      c_.MoveTo(X(s.marks[i - 1].x), Y(s.marks[i - 1].y));
      c_.LineTo(X(s.marks[i].x), Y(s.marks[i].y));
    }
    c_.brush = colour;
    for (const Mark& m : s.marks) {
      const int32_t x = X(m.x), y = Y(m.y);
      if (!std::isnan(m.half)) {
        const int32_t low = Y(m.y - m.half), high = Y(m.y + m.half);
        c_.MoveTo(x, low);
        c_.LineTo(x, high);
        c_.MoveTo(x - kCap, low);
        c_.LineTo(x + kCap + 1, low);
        c_.MoveTo(x - kCap, high);
        c_.LineTo(x + kCap + 1, high);
      }
      c_.FillRect(x - kMarker, y - kMarker, x + kMarker + 1, y + kMarker + 1);
    }
  }

  Canvas& c_;
  int32_t left_, top_, right_, bottom_, title_left_;
  Range x_, y_;
};

}  // namespace

SweepPlotSize SweepPlotSizeOf(const Study& study) {
  const auto panels = static_cast<int32_t>(std::max<size_t>(1, study.plan().measures.size()));
  const int32_t rows = study.baseline() > 0 ? 2 : 1;
  return {kGap + panels * (kPanelWidth + kGap), kGap + rows * (kPanelHeight + kGap)};
}

void DrawSweepPlot(Canvas& canvas, const Study& study, const std::vector<CaseSummary>& cases) {
  const StudyPlan& plan = study.plan();
  const SweepPlotSize size = SweepPlotSizeOf(study);
  canvas.brush = colour::kWhite;
  canvas.FillRect(0, 0, size.width, size.height);
  if (plan.variations.empty()) return;
  const std::string& x_name = plan.variations[0].target;
  const std::string level = IntervalName(plan.confidence).substr(2) + "%";
  for (size_t m = 0; m < plan.measures.size(); ++m) {
    const int32_t left = kGap + static_cast<int32_t>(m) * (kPanelWidth + kGap);
    const auto means = SeriesOf(study, cases, [m](const CaseSummary& c) { return MarkOf(c.measures[m]); });
    Panel top(canvas, left, kGap);
    top.Draw(plan.measures[m].name + " (" + level + ")", x_name, means, false);
    if (m == 0) top.Legend(means);
    if (study.baseline() == 0) continue;
    // The baseline is the zero every difference is measured from.
    const int64_t baseline = study.baseline();
    const auto differences = SeriesOf(study, cases, [m, baseline](const CaseSummary& c) -> std::optional<Mark> {
      if (c.case_number == baseline) return Mark{0, 0, std::numeric_limits<double>::quiet_NaN()};
      return m < c.differences.size() ? MarkOf(c.differences[m]) : std::nullopt;
    });
    Panel bottom(canvas, left, 2 * kGap + kPanelHeight);
    bottom.Draw("diff(" + plan.measures[m].name + ") to case " + std::to_string(baseline) + " (" + level + ")", x_name,
                differences, true);
  }
}

void WriteSvgPicture(const std::string& path, SweepPlotSize size, const std::function<void(Canvas&)>& paint) {
  if (!IsSvgFile(path)) {
    throw SimError("PNG and PDF pictures need a program built with Qt 6; an .svg file can be written");
  }
  SvgCanvas canvas;
  canvas.brush = colour::kWhite;
  canvas.FillRect(0, 0, size.width, size.height);
  paint(canvas);
  WriteFileAtomically(path, canvas.Document());
}

namespace {

// The extension of the file's name in lower case; empty without one.
std::string Extension(const std::string& path) {
  const size_t dot = path.find_last_of("./");
  if (dot == std::string::npos || path[dot] != '.') return "";
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

}  // namespace

bool IsPictureFile(const std::string& path) {
  const std::string ext = Extension(path);
  return ext == "svg" || ext == "png" || ext == "pdf";
}

bool IsSvgFile(const std::string& path) { return Extension(path) == "svg"; }

}  // namespace trevolan::study
