// Pictures in every format and the tape as CSV, as the batch runner writes them, each
// read back by a program of its own kind.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include "cli/batch.h"
#include "cli/script.h"
#include "display/qt_canvas.h"
#include "support/test_support.h"

namespace trevolan::cli {
namespace {

using testing::ExamplePath;
using testing::ReadTextFile;
using testing::SplitLines;
using testing::TempDir;
using testing::WriteTextFile;

void RunScript(Batch& b, const std::string& script) {
  for (const auto& c : ParseScript(script, true)) b.Execute(c);
  ASSERT_FALSE(b.had_error()) << static_cast<std::ostringstream&>(b.out()).str();
}

// The standard output of a shell command; empty when it failed.
std::string Shell(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
    if (pclose(pipe) != 0) out.clear();
  }
  return out;
}

bool AllWhite(const QImage& image) {
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixel(x, y) != qRgb(255, 255, 255)) return false;
    }
  }
  return true;
}

TEST(Export, DiagramAndPlotInEveryFormat) {
  TempDir dir;
  std::ostringstream out;
  Batch b(out);
  RunScript(b, "open " + ExamplePath("integrators.txt") + "; reset; finish; set NumberMode 3");
  RunScript(b, "render-diagram " + dir.path("d.png") + "; render-diagram " + dir.path("d.svg") + "; render-diagram " +
             dir.path("d.PDF") + "; render-plot " + dir.path("p.png") + "; render-plot " + dir.path("p.Svg") +
             "; render-plot " + dir.path("p.pdf"));
  EnsureGuiApplication();
  for (const char* name : {"d", "p"}) {
    const QImage png(QString::fromStdString(dir.path(std::string(name) + ".png")));
    ASSERT_FALSE(png.isNull()) << name;
    EXPECT_EQ(ReadTextFile(dir.path(std::string(name) + ".png")).substr(1, 3), "PNG");

    const std::string svg = dir.path(std::string(name) + (name[0] == 'd' ? ".svg" : ".Svg"));
    EXPECT_EQ(ReadTextFile(svg).find("<svg"), ReadTextFile(svg).find('<', ReadTextFile(svg).find("?>")));
    QSvgRenderer renderer(QString::fromStdString(svg));
    ASSERT_TRUE(renderer.isValid()) << svg;
    EXPECT_EQ(renderer.viewBox(), QRect(QPoint(0, 0), png.size())) << name;  // the same part of the picture
    QImage drawn(png.size(), QImage::Format_RGB32);
    drawn.fill(Qt::white);
    {
      QPainter painter(&drawn);
      renderer.render(&painter);
    }
    EXPECT_FALSE(AllWhite(drawn)) << name;

    const std::string pdf = dir.path(std::string(name) + (name[0] == 'd' ? ".PDF" : ".pdf"));
    EXPECT_EQ(ReadTextFile(pdf).substr(0, 5), "%PDF-");
    const std::string page = dir.path(std::string(name) + "-page");
    ASSERT_NE(Shell("pdftoppm -png -r 96 -singlefile '" + pdf + "' '" + page + "' && echo ok"), "") << pdf;
    const QImage rendered(QString::fromStdString(page + ".png"));
    ASSERT_FALSE(rendered.isNull());
    EXPECT_NEAR(rendered.width(), png.width(), 1) << name;  // 96 dots an inch: a pixel a pixel
    EXPECT_NEAR(rendered.height(), png.height(), 1) << name;
    EXPECT_FALSE(AllWhite(rendered.convertToFormat(QImage::Format_RGB32))) << name;
  }
}

TEST(Export, TapeAsCsvReadsBackToTheTapesNumbers) {
  TempDir dir;
  std::ostringstream out;
  Batch b(out);
  // Names that need quoting, and numbers of every size.
  RunScript(b, "open " + ExamplePath("damped_oscillator.txt") + "; reset; finish 3");
  Sim& s = b.sim();
  ASSERT_GE(s.TapeChannels, 2);
  ASSERT_GT(s.TapeIndex, 10);
  const int first = s.TapeChannelIDs[1], second = s.TapeChannelIDs[2];
  s.block(first).Name = "a,\"b";
  s.block(second).Name = "two words";
  RunScript(b, "save-tape-csv " + dir.path("tape.csv"));
  const std::string csv = ReadTextFile(dir.path("tape.csv"));
  EXPECT_EQ(SplitLines(csv).front().substr(0, 17), "Time,\"a,\"\"b\",two ");
  EXPECT_NE(csv.find("\r\n"), std::string::npos);

  // Python's csv module reads it; each number comes back as its exact bits.
  WriteTextFile(dir.path("read.py"),
                "import csv, sys\n"
                "with open(sys.argv[1], newline='') as f:\n"
                "    rows = list(csv.reader(f))\n"
                "print('|'.join(rows[0]))\n"
                "for row in rows[1:]:\n"
                "    print(' '.join(float(x).hex() for x in row))\n");
  const std::string read = Shell("/usr/bin/python3 '" + dir.path("read.py") + "' '" + dir.path("tape.csv") + "'");
  const auto lines = SplitLines(read);
  ASSERT_EQ(lines.size(), static_cast<size_t>(s.TapeIndex) + 2) << read;
  std::string names = "Time|a,\"b|two words";
  for (int c = 3; c <= s.TapeChannels; ++c) names += "|" + s.block(s.TapeChannelIDs[static_cast<size_t>(c)]).Name;
  EXPECT_EQ(lines[0], names);
  for (int r = 0; r <= s.TapeIndex; ++r) {
    std::istringstream row(lines[static_cast<size_t>(r) + 1]);
    std::string hex;
    for (int c = 0; c <= s.TapeChannels; ++c) {
      ASSERT_TRUE(row >> hex) << "row " << r;
      EXPECT_EQ(std::strtod(hex.c_str(), nullptr), s.TapeCell(c, r)) << "row " << r << " column " << c;
    }
    EXPECT_FALSE(row >> hex);
  }
}

}  // namespace
}  // namespace trevolan::cli
