// The images of the batch runner's render-diagram and render-plot, and the Qt canvas
// they are painted with.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include <QImage>
#include <QPainter>

#include "display/qt_canvas.h"
#include "model/file_commands.h"
#include "support/test_support.h"

namespace trevolan {
namespace {

using testing::ExampleModels;
using testing::ExamplePath;
using testing::RunCli;
using testing::TempDir;

QImage LoadPng(const std::string& path) {
  EnsureGuiApplication();
  QImage image(QString::fromStdString(path));
  return image.convertToFormat(QImage::Format_RGB32);
}

QRgb ToQRgb(Rgb c) { return qRgb(c.r, c.g, c.b); }

// How many pixels of exactly that colour lie in the rectangle.
int CountPixels(const QImage& image, QRect area, Rgb colour) {
  int n = 0;
  area = area.intersected(image.rect());
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) n += image.pixel(x, y) == ToQRgb(colour);
  }
  return n;
}

bool AllWhite(const QImage& image, QRect area) { return CountPixels(image, area, {255, 255, 255}) == area.width() * area.height(); }

TEST(RenderDiagram, EveryExampleShowsItsPlacedBlocks) {
  const auto models = ExampleModels();
  ASSERT_FALSE(models.empty());
  for (const std::string& model : models) {
    TempDir dir;
    const auto r = RunCli({"exec", "-c", "open " + model + "; render-diagram " + dir.path("d.png")});
    ASSERT_EQ(r.status, 0) << model << "\n" << r.out;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    const QImage image = LoadPng(dir.path("d.png"));
    ASSERT_FALSE(image.isNull()) << model;
    EXPECT_GE(image.width(), 200);
    EXPECT_LE(image.width(), 1400);
    EXPECT_LE(image.height(), 1000);
    // Every placed block inside the drawing area left some colour in the square at its
    // position, and the image reaches past it.
    auto s = std::make_unique<Sim>();
    FileOpen(*s, model);
    for (int id = 1; id <= s->HighestBlock; ++id) {
      const TBlock& b = s->block(id);
      if (b.XX <= 0 || b.Type == BlockType::Empty || b.XX >= 1390 || b.YY >= 990) continue;
      EXPECT_GT(image.width(), b.XX) << model << " block " << id;
      EXPECT_GT(image.height(), b.YY + 12) << model << " block " << id;
      EXPECT_FALSE(AllWhite(image, QRect(b.XX, b.YY, 13, 13))) << model << " block " << id;
    }
  }
}

TEST(RenderDiagram, LabelsLinksAndNumbersOfTheIntegratorExample) {
  TempDir dir;
  const auto r = RunCli({"exec", "-c",
                         "open " + ExamplePath("integrators.txt") + "; set NumberMode 1; render-diagram " +
                             dir.path("d.png")});
  ASSERT_EQ(r.status, 0) << r.out;
  const QImage image = LoadPng(dir.path("d.png"));
  // "position" (103 at 300, 200) is an integrator: a black label with white text, and
  // the red stub of its A connection at its left.
  EXPECT_GT(CountPixels(image, QRect(300, 200, 40, 13), {0, 0, 0}), 100);
  EXPECT_GT(CountPixels(image, QRect(300, 200, 40, 13), {255, 255, 255}), 10);
  EXPECT_EQ(CountPixels(image, QRect(297, 199, 3, 3), {255, 0, 0}), 9);
  // The oscilloscope draws a line from each channel in its colour: ramp's in red.
  EXPECT_GT(CountPixels(image, QRect(60, 66, 100, 315), {255, 0, 0}), 100);
  EXPECT_GT(CountPixels(image, QRect(60, 130, 100, 250), {0, 0, 255}), 100);
  // Number lines on button face under the labels.
  EXPECT_GT(CountPixels(image, QRect(300, 213, 60, 13), {240, 240, 240}), 100);
}

TEST(RenderPlot, TracesInChannelColoursWithAxisLabelsAndLegend) {
  TempDir dir;
  const auto r = RunCli({"exec", "-c",
                         "open " + ExamplePath("integrators.txt") + "; reset; finish; render-plot " + dir.path("p.png") +
                             "; print PlotFlag"});
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out, "0\n");  // shown for the image only
  const QImage image = LoadPng(dir.path("p.png"));
  ASSERT_EQ(image.size(), QSize(870, 450));
  const QRect plot(100, 8, 650, 383);
  for (const Rgb colour : {Rgb{255, 0, 0}, Rgb{0, 0, 255}, Rgb{0, 128, 0}, Rgb{0, 0, 0}}) {
    EXPECT_GT(CountPixels(image, plot, colour), 200) << int{colour.r} << "," << int{colour.g} << "," << int{colour.b};
  }
  // The panel around the box is silver; the box right of the plot area is white.
  EXPECT_EQ(CountPixels(image, QRect(0, 0, 30, 30), {192, 192, 192}), 900);
  EXPECT_TRUE(AllWhite(image, QRect(760, 20, 90, 300)));
  // Axis labels in black, under and left of the plot.
  EXPECT_GT(CountPixels(image, QRect(88, 400, 60, 13), {0, 0, 0}), 10);
  EXPECT_GT(CountPixels(image, QRect(700, 400, 60, 13), {0, 0, 0}), 10);
  EXPECT_GT(CountPixels(image, QRect(40, 4, 60, 13), {0, 0, 0}), 10);
  EXPECT_GT(CountPixels(image, QRect(44, 368, 56, 13), {0, 0, 0}), 10);
  // Legend: channel 1 (ramp) in red on white; channel 5 unused, silver.
  EXPECT_GT(CountPixels(image, QRect(16, 44, 40, 13), {255, 0, 0}), 5);
  EXPECT_GT(CountPixels(image, QRect(16, 44, 40, 13), {255, 255, 255}), 50);
  EXPECT_GT(CountPixels(image, QRect(16, 156, 40, 13), {255, 0, 255}), 5);
  EXPECT_EQ(CountPixels(image, QRect(16, 156, 40, 13), {255, 255, 255}), 0);
}

TEST(RenderErrors, AFailedPaintWritesNoImage) {
  TempDir dir;
  auto r = RunCli({"exec", "-c",
                   "open " + ExamplePath("integrators.txt") + "; set 101.An 5000; render-diagram " + dir.path("d.png")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "error: Range check error\n");
  EXPECT_FALSE(std::filesystem::exists(dir.path("d.png")));

  r = RunCli({"exec", "-c", "render-diagram " + dir.path("missing/d.png")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out.rfind("error: ", 0), 0u) << r.out;

  r = RunCli({"exec", "-c", "render-plot"});
  EXPECT_EQ(r.status, 2);
}

TEST(RenderHeadless, WorksWithoutAnyDisplaySet) {
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  unsetenv("QT_QPA_PLATFORM");
  TempDir dir;
  const auto r = RunCli({"exec", "-c", "render-diagram " + dir.path("d.png") + "; render-plot " + dir.path("p.png")});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_FALSE(LoadPng(dir.path("d.png")).isNull());
  EXPECT_FALSE(LoadPng(dir.path("p.png")).isNull());
}

// Paints on a small white image through the Qt canvas.
struct Painted {
  Painted() : image(80, 50, QImage::Format_RGB32) {
    EnsureGuiApplication();
    image.fill(Qt::white);
  }
  template <class Draw>
  void Paint(Draw draw) {
    QPainter painter(&image);
    QtCanvas c(painter);
    draw(c);
  }
  QRgb At(int x, int y) const { return image.pixel(x, y); }
  QImage image;
};

TEST(QtCanvas, RectanglesAreEdgeExclusiveInEitherCornerOrder) {
  for (const bool reversed : {false, true}) {
    Painted p;
    p.Paint([&](Canvas& c) {
      c.pen = Pen{{0, 0, 0}, 1, PenStyle::Solid};
      c.brush = {255, 0, 0};
      if (reversed) {
        c.Rectangle(20, 15, 10, 10);
      } else {
        c.Rectangle(10, 10, 20, 15);
      }
      c.brush = {0, 0, 255};
      c.FillRect(40, 30, 30, 20);
    });
    EXPECT_EQ(p.At(10, 10), qRgb(0, 0, 0));
    EXPECT_EQ(p.At(19, 14), qRgb(0, 0, 0));
    EXPECT_EQ(p.At(15, 12), qRgb(255, 0, 0));
    EXPECT_EQ(p.At(20, 12), qRgb(255, 255, 255));
    EXPECT_EQ(p.At(15, 15), qRgb(255, 255, 255));
    EXPECT_EQ(p.At(30, 20), qRgb(0, 0, 255));
    EXPECT_EQ(p.At(39, 29), qRgb(0, 0, 255));
    EXPECT_EQ(p.At(40, 25), qRgb(255, 255, 255));
    EXPECT_EQ(p.At(35, 30), qRgb(255, 255, 255));
  }
}

TEST(QtCanvas, TextOnAnOpaqueCellOfOneLinePitch) {
  Painted p;
  int32_t width = 0;
  p.Paint([&](Canvas& c) {
    c.brush = {255, 255, 0};
    c.font = Font{{0, 0, 255}, FontStyle::Regular};
    c.TextOut(5, 10, "Mix");
    width = c.TextWidth("Mix");
  });
  EXPECT_GT(width, 12);
  EXPECT_LT(width, 30);
  const QRect cell(5, 10, width, 13);
  EXPECT_GT(CountPixels(p.image, cell, {255, 255, 0}), width * 13 / 3);
  EXPECT_GT(CountPixels(p.image, cell, {0, 0, 255}), 3);
  EXPECT_TRUE(AllWhite(p.image, QRect(5, 23, 40, 5)));
  EXPECT_TRUE(AllWhite(p.image, QRect(5 + width, 10, 5, 13)));
}

TEST(QtCanvas, TheDiagramFont) {
  EnsureGuiApplication();
  const QFont regular = DiagramFont(FontStyle::Regular);
  EXPECT_EQ(regular.family(), QStringLiteral("DejaVu Sans"));
  EXPECT_EQ(regular.pixelSize(), 11);
  EXPECT_FALSE(regular.bold());
  EXPECT_TRUE(DiagramFont(FontStyle::BoldItalic).bold());
  EXPECT_TRUE(DiagramFont(FontStyle::BoldItalic).italic());
  EXPECT_TRUE(DiagramFont(FontStyle::Italic).italic());
  EXPECT_FALSE(DiagramFont(FontStyle::Bold).italic());
  EXPECT_LE(QFontMetrics(regular).height(), 14);
}

TEST(QtCanvas, FarCoordinatesDrawTheVisiblePart) {
  Painted p;
  p.Paint([](Canvas& c) {
    c.pen = Pen{{0, 0, 255}, 1, PenStyle::Solid};
    c.brush = {0, 0, 255};
    const Point far[] = {{-2000000000, -2000000000}, {2000000000, 0}, {0, 2000000000}};
    c.Polygon(far);
    c.Ellipse(-2000000000, -2000000000, 2000000000, 2000000000);
    c.pen = Pen{{255, 0, 0}, 1, PenStyle::Solid};
    c.MoveTo(-2000000000, 20);
    c.LineTo(2000000000, 20);
    c.brush = {0, 128, 0};
    c.FillRect(-2000000000, 30, 2000000000, 2000000000);
  });
  EXPECT_EQ(p.At(40, 10), qRgb(0, 0, 255));
  EXPECT_EQ(p.At(40, 20), qRgb(255, 0, 0));
  EXPECT_EQ(p.At(40, 40), qRgb(0, 128, 0));
}

TEST(QtCanvas, DottedAndDashedPens) {
  for (const PenStyle style : {PenStyle::Dotted, PenStyle::Dashed}) {
    Painted p;
    p.Paint([&](Canvas& c) {
      c.pen = Pen{{0, 0, 0}, 1, style};
      c.MoveTo(0, 5);
      c.LineTo(79, 5);
    });
    const int black = CountPixels(p.image, QRect(0, 5, 80, 1), {0, 0, 0});
    EXPECT_GT(black, 10);
    EXPECT_LT(black, 70);
  }
}

}  // namespace
}  // namespace trevolan
