#include "display/diagram.h"

#include <gtest/gtest.h>

#include <limits>

#include "display/draw_support.h"

namespace trevolan {
namespace {

using testing::DrawSim;
using testing::LineSeen;
using testing::LinesOf;
using testing::Place;

constexpr Rgb kBlack{0, 0, 0}, kWhite{255, 255, 255}, kRed{255, 0, 0}, kBlue{0, 0, 255}, kGreen{0, 128, 0};
constexpr Rgb kFuchsia{255, 0, 255}, kYellow{255, 255, 0}, kGrey{128, 128, 128}, kMaroon{128, 0, 0};
constexpr Rgb kAqua{0, 255, 255}, kLime{0, 255, 0}, kNavy{0, 0, 128}, kPurple{128, 0, 128}, kTeal{0, 128, 128};
constexpr Rgb kSilver{192, 192, 192}, kButtonFace{240, 240, 240}, kOffGrey{160, 160, 164};
constexpr Rgb kScale2{84, 0, 0}, kScale9{255, 126, 0}, kScale11{255, 212, 0}, kScale5{212, 0, 0};

TEST(DiagramLabel, TextForEachDisplayStyle) {
  struct Case {
    int displ;
    const char* name;
    const char* text;
  };
  const Case cases[] = {
      {0, "feeder", "*"},          {1, "feeder", "A"},          {2, "feeder", "A112 "},
      {3, "feeder", "feeder "},    {4, "feeder", "feeder "},    {9, "feeder", "feeder "},
      {-1, "feeder", "feeder "},   {3, "abcdefghij", "abcdefghij "},
  };
  for (const Case& k : cases) {
    DrawSim s;
    TBlock& b = Place(*s, 112, 'A', 200, 100, k.name);
    b.Displ = k.displ;
    RecordingCanvas c;
    DrawBlockLabel(*s, c, 112, kRed, kBlue);
    ASSERT_EQ(c.ops.size(), 1u);
    const DrawOp& op = c.ops[0];
    EXPECT_EQ(op.kind, DrawKind::Text);
    EXPECT_EQ(op.text, k.text) << "Displ " << k.displ;
    EXPECT_EQ(op.points[0], (Point{200, 100}));
    EXPECT_EQ(op.brush, kRed);
    EXPECT_EQ(op.font.colour, kBlue);
  }
}

TEST(DiagramLabel, FillAndTextColoursOfEveryType) {
  struct Case {
    char type;
    int state;
    double value;
    Rgb fill, text;
  };
  const Case cases[] = {
      {'A', 1, 0, kBlue, kWhite},      {'A', 2, 0, kAqua, kBlack},         {'A', 3, 0, kMaroon, kYellow},
      {'A', 0, 0, kBlack, kGrey},      {'B', 1, 0, kNavy, kYellow},        {'B', 2, 0, {166, 202, 240}, kBlack},
      {'B', 3, 0, kYellow, kPurple},   {'B', 7, 0, kBlack, kGrey},         {'C', 1, 0, kScale5, kYellow},
      {'C', 2, 0, kGreen, kWhite},     {'C', 3, 0, kScale11, kScale2},     {'C', 0, 0, kBlack, kGrey},
      {'?', 2, 0, kGreen, kWhite},     {'D', 1, 0, kPurple, kYellow},      {'D', 2, 0, kFuchsia, kYellow},
      {'D', 3, 0, kYellow, kPurple},   {'D', 4, 0, kBlack, kGrey},         {'%', 0, 0, kRed, kBlack},
      {'&', 0, 0, kRed, kWhite},       {'@', 0, 0, kYellow, kBlue},        {'E', 0, 0, kYellow, kBlack},
      {'F', 0, 0, kFuchsia, kBlack},   {'G', 0, 0, kMaroon, kWhite},       {'H', 0, 0, kTeal, kYellow},
      {'I', 0, 0, kBlack, kWhite},     {'J', 0, 0, kFuchsia, kWhite},      {'K', 0, 1, kLime, kBlack},
      {'K', 0, 0.4, kMaroon, kWhite},  {'L', 0, 0, kYellow, kBlack},       {'M', 0, 0, kTeal, kWhite},
      {'O', 0, 0, kNavy, kAqua},       {'P', 0, 0, kAqua, kBlack},         {'Q', 0, 0, {128, 128, 0}, kLime},
      {'R', 0, 0.5, kLime, kBlack},    {'R', 0, 0, kMaroon, kWhite},       {'S', 0, 0, kAqua, kBlack},
      {'T', 0, 0.7, kLime, kBlack},    {'T', 0, -3, kMaroon, kWhite},      {'U', 0, 0, kMaroon, kAqua},
      {'W', 0, 0, kSilver, kRed},      {'X', 0, 0, kRed, kYellow},         {'Z', 0, 0, kAqua, kMaroon},
  };
  for (const Case& k : cases) {
    DrawSim s;
    s->LinksFlag = false;
    TBlock& b = Place(*s, 150, k.type, 300, 200);
    b.State = k.state;
    b.Value = k.value;
    RecordingCanvas c;
    DrawBlock(*s, c, 150);
    const auto texts = c.Of(DrawKind::Text);
    ASSERT_EQ(texts.size(), 1u) << k.type;
    EXPECT_EQ(texts[0].brush, k.fill) << k.type << " state " << k.state;
    EXPECT_EQ(texts[0].font.colour, k.text) << k.type << " state " << k.state;
  }
}

TEST(DiagramLabel, OffBlockIsGreyWhateverTheType) {
  struct Case {
    char type;
    int32_t on_off;
    Rgb fill, text;
  };
  const Case cases[] = {
      {'K', 0, kOffGrey, kBlack},  // an active logic block is lime while on
      {'A', 0, kOffGrey, kWhite},  {'C', 0, kOffGrey, kYellow}, {'X', 0, kOffGrey, kYellow},
      {'K', -1, kLime, kBlack},    // only exactly 0 greys the label
  };
  for (const Case& k : cases) {
    DrawSim s;
    TBlock& b = Place(*s, 150, k.type, 300, 200);
    b.OnOff = k.on_off;
    b.State = 1;
    b.Value = 1;
    RecordingCanvas c;
    DrawBlock(*s, c, 150);
    const auto texts = c.Of(DrawKind::Text);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].brush, k.fill) << k.type << " OnOff " << k.on_off;
    EXPECT_EQ(texts[0].font.colour, k.text) << k.type;
  }
}

TEST(DiagramLinks, InputLinkStubsColoursAndOffsets) {
  DrawSim s;
  Place(*s, 101, 'C', 100, 50);
  Place(*s, 102, 'C', 400, 60);
  Place(*s, 103, 'C', 0, 70);  // not placed: no line to it
  Place(*s, 104, 'C', 120, 300);
  TBlock& b = Place(*s, 110, 'X', 300, 200);
  b.An = 101;
  b.Bn = -102;  // a negative connection draws like its positive
  b.Cn = 103;
  b.Dn = 0;  // block 0 is never placed
  b.Pn = 104;
  RecordingCanvas c;
  c.pen.style = PenStyle::Dashed;
  DrawInputLinks(*s, c, 110);
  const std::vector<LineSeen> expected = {
      {{300, 200}, {297, 200}, kRed, 3},     {{297, 200}, {106, 56}, kRed, 1},
      {{300, 203}, {297, 203}, kBlue, 3},    {{297, 203}, {406, 66}, kBlue, 1},
      {{300, 212}, {297, 212}, kFuchsia, 3}, {{297, 212}, {126, 306}, kFuchsia, 1},
  };
  EXPECT_EQ(LinesOf(c), expected);
  for (const DrawOp& op : c.Of(DrawKind::Line)) EXPECT_EQ(op.pen.style, PenStyle::Solid);
  const auto moves = c.Of(DrawKind::MoveTo);
  ASSERT_EQ(moves.size(), 3u);
  EXPECT_EQ(moves[1].points[0], (Point{300, 203}));
  EXPECT_EQ(c.pen.width, 1);
}

// The lines each type draws during a full redraw, from the blocks 101 at (100, 50),
// 102 at (400, 60) and the unplaced 103, to or from block 110 at (300, 200).
TEST(DiagramLinks, LinesOfEachTypeDuringAFullRedraw) {
  struct Case {
    const char* what;
    char type;
    int32_t an, bn, cn, dn, pn, displ;
    std::vector<LineSeen> lines;
  };
  const Point b101{106, 56}, b102{406, 66}, from110{306, 206}, to110{300, 206};
  const std::vector<Case> cases = {
      {"belt in its fill colour", 'B', 101, 102, 0, 0, 0, 3, {{b101, to110, kNavy, 1}, {from110, {400, 66}, kNavy, 1}}},
      {"belt unconnected", 'B', 0, 0, 0, 0, 0, 3, {}},
      {"access",
       '@',
       101,
       101,
       102,
       103,
       0,
       3,
       {{b101, to110, kRed, 1}, {b102, to110, kGreen, 1}, {from110, {100, 56}, kScale11, 1}, {from110, {0, 6}, kScale11, 1}}},
      {"access hiding its outputs", '@', 101, 101, 102, 103, 0, 4, {{b101, to110, kRed, 1}, {b102, to110, kGreen, 1}}},
      {"generator",
       'G',
       101,
       103,
       102,
       0,
       0,
       3,
       {{b101, to110, kMaroon, 1}, {b102, to110, kGreen, 1}, {{6, 6}, to110, kFuchsia, 1}}},
      {"generator sampling itself", 'G', 0, 0, 0, 0, 110, 3, {}},
      {"memory", 'M', 0, 101, 0, 0, 102, 3, {{{6, 6}, to110, kBlack, 1}, {b101, to110, kBlack, 1}, {b102, to110, kFuchsia, 1}}},
      {"relay",
       'R',
       101,
       102,
       103,
       0,
       101,
       3,
       {{b101, to110, kRed, 1}, {from110, {400, 66}, kScale11, 1}, {from110, {100, 56}, kScale9, 1}}},
  };
  for (const Case& k : cases) {
    DrawSim s;
    Place(*s, 101, 'C', 100, 50);
    Place(*s, 102, 'C', 400, 60);
    Place(*s, 103, 'C', 0, 70);
    s->block(103).YY = 0;
    TBlock& b = Place(*s, 110, k.type, 300, 200);
    b.An = k.an;
    b.Bn = k.bn;
    b.Cn = k.cn;
    b.Dn = k.dn;
    b.Pn = k.pn;
    b.Displ = k.displ;
    b.State = 1;
    s->LinksFlag = true;
    RecordingCanvas c;
    DrawBlock(*s, c, 110);
    EXPECT_EQ(LinesOf(c), k.lines) << k.what;
  }
}

TEST(DiagramLinks, ScopeAndUserBlockDrawTheirChannelsInChannelColours) {
  DrawSim s;
  Place(*s, 101, 'C', 100, 50);
  Place(*s, 102, 'C', 400, 60);
  TBlock& scope = Place(*s, 110, 'O', 300, 200);
  s->TapeChannelIDs[1] = 101;
  s->TapeChannelIDs[2] = 102;
  s->TapeChannelIDs[9] = 101;
  RecordingCanvas c;
  DrawBlock(*s, c, 110);
  const std::vector<LineSeen> scope_lines = {
      {{106, 56}, {300, 206}, kRed, 1}, {{406, 66}, {300, 206}, kBlue, 1}, {{106, 56}, {300, 206}, kAqua, 1}};
  EXPECT_EQ(LinesOf(c), scope_lines);
  scope.Displ = 4;
  c.Clear();
  DrawBlock(*s, c, 110);
  EXPECT_TRUE(LinesOf(c).empty());

  TBlock& user = Place(*s, 111, 'U', 300, 300);
  user.stored.assign(11, 0.0);
  user.stored[1] = 101;
  user.stored[3] = 102.4;  // rounded to 102
  c.Clear();
  DrawBlock(*s, c, 111);
  const std::vector<LineSeen> user_lines = {{{106, 56}, {300, 306}, kRed, 1}, {{406, 66}, {300, 306}, kGreen, 1}};
  EXPECT_EQ(LinesOf(c), user_lines);
  user.stored.resize(5);  // the user block's list must hold its ten links
  EXPECT_THROW(DrawBlock(*s, c, 111), RangeError);
}

TEST(DiagramLinks, LinesOnlyDuringAFullRedrawExceptTheSinePhase) {
  DrawSim s;
  Place(*s, 101, 'C', 100, 50);
  Place(*s, 102, 'C', 400, 60);
  Place(*s, 110, 'A', 300, 200).An = 101;
  TBlock& sine = Place(*s, 111, 'S', 300, 300);
  sine.An = 101;
  sine.Pn = 102;
  s->LinksFlag = false;
  RecordingCanvas c;
  DrawBlock(*s, c, 110);
  EXPECT_TRUE(c.Of(DrawKind::Line).empty());
  DrawBlock(*s, c, 111);
  const std::vector<LineSeen> phase = {{{406, 66}, {300, 306}, kFuchsia, 1}};
  EXPECT_EQ(LinesOf(c), phase);
}

TEST(DiagramPasses, IntegratorsNotesAndVisualizersLieOverTheRest) {
  DrawSim s;
  Place(*s, 101, 'I', 100, 100, "int");
  Place(*s, 102, 'N', 100, 200).Comment = "hello";
  TBlock& vis = Place(*s, 103, 'V', 100, 300, "vis");
  vis.An = 0;
  Place(*s, 104, 'A', 200, 100, "act");
  Place(*s, 105, 'C', 200, 200, "box");
  Place(*s, 106, 'A', 0, 300, "hidden");  // not placed
  Place(*s, 107, 'Y', 200, 300, "nothing");  // a letter without a rule
  Place(*s, 120, 'X', 200, 400, "beyond");
  s->HighestBlock = 119;
  s->LinksFlag = false;
  RecordingCanvas c;
  DrawAllBlocks(*s, c);
  const std::vector<std::string> expected = {"hello", "act ", "box ", "int ", "hello", "vis ", "          ", "    0.0000"};
  EXPECT_EQ(c.Texts(), expected);
}

TEST(DiagramNote, CommentInTheFontStyleOfItsState) {
  struct Case {
    int state;
    FontStyle before, drawn;
  };
  const Case cases[] = {
      {0, FontStyle::Bold, FontStyle::Regular},  {1, FontStyle::Regular, FontStyle::Italic},
      {2, FontStyle::Regular, FontStyle::Bold},  {3, FontStyle::Regular, FontStyle::BoldItalic},
      {5, FontStyle::Bold, FontStyle::Bold},     {-1, FontStyle::Italic, FontStyle::Italic},
  };
  for (const Case& k : cases) {
    DrawSim s;
    s->NumberMode = 1;
    TBlock& note = Place(*s, 130, 'N', 50, 60);
    note.Comment = "Two words";
    note.State = k.state;
    RecordingCanvas c;
    c.font.style = k.before;
    DrawBlock(*s, c, 130);
    ASSERT_EQ(c.ops.size(), 1u) << "a note has no number line";
    EXPECT_EQ(c.ops[0].text, "Two words");
    EXPECT_EQ(c.ops[0].points[0], (Point{50, 60}));
    EXPECT_EQ(c.ops[0].brush, kWhite);
    EXPECT_EQ(c.ops[0].font.style, k.drawn) << "State " << k.state;
    EXPECT_EQ(c.font.style, FontStyle::Regular);
  }
}

TEST(DiagramNote, EmptyCommentShowsTheLabelOnButtonFace) {
  DrawSim s;
  Place(*s, 130, 'N', 50, 60, "memo");
  RecordingCanvas c;
  DrawBlock(*s, c, 130);
  ASSERT_EQ(c.ops.size(), 1u);
  EXPECT_EQ(c.ops[0].text, "memo ");
  EXPECT_EQ(c.ops[0].brush, kButtonFace);
  EXPECT_EQ(c.ops[0].font.colour, kBlack);
}

TEST(DiagramSwitch, LabelNamesTheSelectedInputInItsColour) {
  struct Case {
    double aa;
    const char* label;  // nullptr: no label
    Rgb colour;
  };
  const Case cases[] = {
      {0, "alpha ", kRed},  {1.4, "beta ", kBlue},  {2, "switch ", kGreen},  // C unconnected keeps the own name
      {3, "delta ", kBlack}, {4, "pi ", kFuchsia}, {4.5, "pi ", kFuchsia},   // 4.5 rounds to 4
      {7, nullptr, {}},      {-1, nullptr, {}},
  };
  for (const Case& k : cases) {
    DrawSim s;
    s->NumberMode = 1;
    Place(*s, 101, 'C', 0, 0, "alpha");
    Place(*s, 102, 'C', 0, 0, "beta");
    Place(*s, 103, 'C', 0, 0, "delta");
    Place(*s, 104, 'C', 0, 0, "pi");
    TBlock& w = Place(*s, 120, 'W', 300, 100, "switch");
    w.An = 101;
    w.Bn = 102;
    w.Dn = 103;
    w.Pn = 104;
    w.aa = k.aa;
    RecordingCanvas c;
    DrawBlock(*s, c, 120);
    std::vector<std::string> expected;
    if (k.label) expected.push_back(k.label);
    expected.push_back("          ");
    expected.push_back("W120");
    EXPECT_EQ(c.Texts(), expected) << "aa " << k.aa;
    if (k.label) {
      EXPECT_EQ(c.ops[0].brush, kSilver);
      EXPECT_EQ(c.ops[0].font.colour, k.colour) << "aa " << k.aa;
    }
    EXPECT_EQ(w.Name, "switch");
  }
}

TEST(DiagramShapes, ContainerEllipseBeforeItsLinesWithTheLabelInStyleDisplMinusTen) {
  DrawSim s;
  Place(*s, 101, 'C', 100, 50);
  TBlock& box = Place(*s, 112, 'C', 200, 100);
  box.State = 2;
  box.Displ = 12;
  box.An = 101;
  RecordingCanvas c;
  c.pen.style = PenStyle::Dotted;  // as the grid leaves it
  DrawBlock(*s, c, 112);
  ASSERT_FALSE(c.ops.empty());
  const DrawOp& ellipse = c.ops[0];
  EXPECT_EQ(ellipse.kind, DrawKind::Ellipse);
  EXPECT_EQ(ellipse.points, (std::vector<Point>{{198, 93}, {225, 120}}));
  EXPECT_EQ(ellipse.pen.colour, kRed);
  EXPECT_EQ(ellipse.pen.style, PenStyle::Solid);
  EXPECT_EQ(ellipse.brush, kGreen);
  EXPECT_EQ(c.Of(DrawKind::Line).size(), 2u);
  EXPECT_EQ(c.Texts(), std::vector<std::string>{"C112 "});
  EXPECT_EQ(box.Displ, 12);
}

TEST(DiagramShapes, IntegratorPolygonAfterItsLines) {
  DrawSim s;
  Place(*s, 101, 'C', 100, 50);
  TBlock& in = Place(*s, 113, 'I', 300, 100, "int");
  in.Displ = 13;
  in.An = 101;
  RecordingCanvas c;
  c.pen.style = PenStyle::Dashed;
  DrawBlock(*s, c, 113);
  ASSERT_EQ(c.ops.size(), 5u);  // move, stub, line, polygon, label
  const DrawOp& polygon = c.ops[3];
  EXPECT_EQ(polygon.kind, DrawKind::Polygon);
  EXPECT_EQ(polygon.points, (std::vector<Point>{{300, 92}, {307, 92}, {325, 107}, {307, 121}, {300, 121}}));
  EXPECT_EQ(polygon.brush, kBlack);
  EXPECT_EQ(polygon.pen.colour, kRed);
  EXPECT_EQ(polygon.pen.style, PenStyle::Solid);
  EXPECT_EQ(c.ops[4].text, "int ");
  EXPECT_EQ(in.Displ, 13);

  in.Displ = 11;  // the shape, and the label in style 1: the type letter
  c.Clear();
  DrawBlock(*s, c, 113);
  EXPECT_EQ(c.Of(DrawKind::Polygon).size(), 1u);
  EXPECT_EQ(c.Texts(), std::vector<std::string>{"I"});

  // No shape at 10 and below, nor on other types.
  for (const char type : {'I', 'C', 'X'}) {
    TBlock& b = Place(*s, 114, type, 400, 100, "plain");
    b.Displ = TypeOfLetter(type) == BlockType::Multiplier ? 12 : 10;
    c.Clear();
    DrawBlock(*s, c, 114);
    EXPECT_TRUE(c.Of(DrawKind::Polygon).empty());
    EXPECT_TRUE(c.Of(DrawKind::Ellipse).empty());
    EXPECT_EQ(c.Texts(), std::vector<std::string>{"plain "}) << type;
  }
}

TEST(DiagramPick, LowestIdWhoseSquareHoldsThePoint) {
  testing::TestSim s;  // the system blocks keep their places near the left edge
  s->HighestBlock = 149;
  Place(*s, 101, 'C', 500, 500);
  Place(*s, 102, 'C', 505, 505);
  Place(*s, 103, 'C', 0, 700).XX = 0;  // not placed, still picked
  Place(*s, 150, 'C', 800, 800);       // beyond HighestBlock
  struct Case {
    int32_t x, y, id;
  };
  const Case cases[] = {
      {510, 510, 101},  // both squares: the lower ID wins
      {517, 517, 102},  // 101's square ends at 512
      {500, 500, 101},  {512, 512, 101}, {513, 500, -1},
      {6, 706, 103},    {806, 806, -1},
      {12, 12, 0},      // block 0 at (0, 0) comes first, over block 2 at (10, 10)
      {13, 13, 2},      {900, 100, -1},
  };
  for (const Case& k : cases) EXPECT_EQ(BlockAtPoint(*s, k.x, k.y), k.id) << k.x << "," << k.y;
}

TEST(DiagramNumbers, NumberLineByMode) {
  struct Case {
    int mode;
    std::vector<std::string> texts;
  };
  const Case cases[] = {
      {0, {"X110 "}},
      {1, {"X110 ", "          ", "X110"}},
      {2, {"X110 ", "          ", "3"}},
      {3, {"X110 ", "          ", "    3.1416"}},
      {7, {"X110 "}},
  };
  for (const Case& k : cases) {
    DrawSim s;
    s->NumberMode = k.mode;
    TBlock& b = Place(*s, 110, 'X', 200, 100);
    b.Displ = 2;
    b.Value = 3.14159;
    RecordingCanvas c;
    DrawBlock(*s, c, 110);
    EXPECT_EQ(c.Texts(), k.texts) << "mode " << k.mode;
    for (size_t i = 1; i < c.ops.size(); ++i) {
      EXPECT_EQ(c.ops[i].points[0], (Point{200, 113}));
      EXPECT_EQ(c.ops[i].brush, kButtonFace);
      EXPECT_EQ(c.ops[i].font.colour, kBlack);
    }
  }
}

TEST(DiagramNumbers, FormatBlockNumber) {
  struct Case {
    int mode;
    double origin, factor, x;
    const char* text;
  };
  const Case cases[] = {
      {2, 0, 1, 2.5, "2"},       {2, 0, 1, 3.5, "4"},           {2, 0, 1, -2.5, "-2"},
      {2, 0, 0, 123.4, "0"},     {2, 10, 2, -5, "-30"},         {2, 0, 1, 5e15, "5000000000000000"},
      {3, 0, 1, 3.14159, "    3.1416"}, {3, 0, 1, -12345678.9, "-12345678.9000"},
      {0, 0, 1, 3.5, ""},        {1, 0, 1, 3.5, ""},
  };
  for (const Case& k : cases) {
    DrawSim s;
    s->NumberMode = k.mode;
    s->ScaleOrgn = k.origin;
    s->ScaleFactr = k.factor;
    EXPECT_EQ(FormatBlockNumber(*s, k.x), k.text) << k.mode << " " << k.x;
  }
  DrawSim s;
  s->NumberMode = 2;
  EXPECT_THROW(FormatBlockNumber(*s, 1e300), FloatError);
  EXPECT_THROW(FormatBlockNumber(*s, std::numeric_limits<double>::quiet_NaN()), FloatError);
}

TEST(DiagramGrid, DottedLinesCoordinatesAndTheClickMarker) {
  DrawSim s;
  s->GridFlag = true;
  s->LastX = 333;
  s->LastY = 444;
  RecordingCanvas c;
  RedrawDiagram(*s, c);
  const auto lines = c.Of(DrawKind::Line);
  ASSERT_EQ(lines.size(), 55u);
  EXPECT_EQ(lines.front().points, (std::vector<Point>{{50, 10}, {50, 900}}));
  EXPECT_EQ(lines[29].points, (std::vector<Point>{{1500, 10}, {1500, 900}}));
  EXPECT_EQ(lines[30].points, (std::vector<Point>{{10, 50}, {1350, 50}}));
  EXPECT_EQ(lines.back().points, (std::vector<Point>{{10, 1250}, {1350, 1250}}));
  for (const DrawOp& l : lines) {
    EXPECT_EQ(l.pen.style, PenStyle::Dotted);
    EXPECT_EQ(l.pen.colour, kBlack);
  }
  const auto texts = c.Of(DrawKind::Text);
  ASSERT_EQ(texts.size(), 26u + 20u + 1u);
  EXPECT_EQ(texts[0].text, "100");
  EXPECT_EQ(texts[0].points[0], (Point{90, 3}));
  EXPECT_EQ(texts[1].points[0], (Point{90, 907}));
  EXPECT_EQ(texts[25].text, "1300");
  EXPECT_EQ(texts[25].points[0], (Point{1290, 907}));
  EXPECT_EQ(texts[44].text, "1000");
  EXPECT_EQ(texts[44].points[0], (Point{100, 993}));
  EXPECT_EQ(texts[45].points[0], (Point{1270, 993}));
  EXPECT_EQ(texts[0].brush, kWhite);
  EXPECT_EQ(texts.back().text, " * ");
  EXPECT_EQ(texts.back().points[0], (Point{333, 444}));
  EXPECT_EQ(texts.back().brush, kButtonFace);
}

TEST(DiagramRedraw, ClearsThenDrawsWithLinksAndLeavesLinksOff) {
  DrawSim s;
  Place(*s, 101, 'C', 100, 50);
  Place(*s, 110, 'X', 300, 200).An = 101;
  RecordingCanvas c;
  RedrawDiagram(*s, c);
  ASSERT_FALSE(c.ops.empty());
  EXPECT_EQ(c.ops[0].kind, DrawKind::Rectangle);
  EXPECT_EQ(c.ops[0].points, (std::vector<Point>{{1399, 999}, {1, 1}}));
  EXPECT_EQ(c.ops[0].brush, kWhite);
  EXPECT_EQ(c.ops[0].pen.colour, kWhite);
  EXPECT_EQ(c.ops[0].pen.width, 1);
  EXPECT_EQ(c.Of(DrawKind::Line).size(), 2u);  // no grid, the link of 110
  EXPECT_FALSE(s->LinksFlag);

  // Animation afterwards draws over the picture without the lines.
  c.Clear();
  DrawAllBlocks(*s, c);
  EXPECT_TRUE(c.Of(DrawKind::Line).empty());
  EXPECT_EQ(c.Texts().size(), 2u);
}

TEST(DiagramErrors, AnIdOutOfRangeStopsThePaint) {
  for (const int32_t bad : {5000, -1001, 1001}) {
    DrawSim s;
    Place(*s, 101, 'X', 100, 100, "first").An = bad;
    Place(*s, 102, 'X', 200, 200, "second");
    RecordingCanvas c;
    EXPECT_THROW(RedrawDiagram(*s, c), RangeError) << bad;
    for (const std::string& t : c.Texts()) EXPECT_NE(t, "second ");
  }
  // A channel of the scope beyond the table.
  DrawSim s;
  Place(*s, 110, 'O', 300, 200);
  s->TapeChannelIDs[4] = 1001;
  RecordingCanvas c;
  s->LinksFlag = true;
  EXPECT_THROW(DrawBlock(*s, c, 110), RangeError);
}

TEST(DiagramErrors, CoordinatesBeyondThirtyTwoBitsOverflow) {
  DrawSim s;
  Place(*s, 101, 'C', std::numeric_limits<int32_t>::max() - 2, 50);
  Place(*s, 102, 'X', 100, 100).An = 101;
  RecordingCanvas c;
  s->LinksFlag = true;
  // The error names the block drawn and, when its own corner is what lies at the edge, that field.
  const auto overflow = [&](int id) {
    try {
      DrawBlock(*s, c, id);
    } catch (const OverflowError& e) {
      return std::string(e.what());
    }
    return std::string("(no overflow)");
  };
  // A link names the block at the end that lies beyond, the one to mend.
  EXPECT_EQ(overflow(102), "Integer overflow in block 101 while drawing the link from block 101 to block 102: its "
                           "XX = 2147483645 is too near the end of the 32-bit range");
  TBlock& low = Place(*s, 103, 'X', 100, std::numeric_limits<int32_t>::max() - 5);
  s->NumberMode = 1;
  s->LinksFlag = false;
  // its number line lies 13 pixels lower
  EXPECT_EQ(overflow(103), "Integer overflow in block 103 while drawing it: its YY = 2147483642 is too near the end "
                           "of the 32-bit range");
  low.YY = 0;
  EXPECT_NO_THROW(DrawBlock(*s, c, 103));
}

// The batch runner draws on a canvas that paints nothing and skips composing texts
// there; what drawing computes and raises must not change with it.
TEST(DiagramNullCanvas, SameErrorsAndValuesAsAPaintingCanvas) {
  enum class Raised { None, Range, Float, Overflow };
  const auto raised = [](Sim& s, Canvas& c) {
    try {
      RedrawDiagram(s, c);
    } catch (const RangeError&) {
      return Raised::Range;
    } catch (const FloatError&) {
      return Raised::Float;
    } catch (const OverflowError&) {
      return Raised::Overflow;
    }
    return Raised::None;
  };
  struct Case {
    const char* what;
    int number_mode;
    double value;
    int32_t an;
    Raised expected;
  };
  const Case cases[] = {
      {"scaled number beyond 64 bits", 2, 1e300, 0, Raised::Float},
      {"scaled number fits", 2, 1e15, 0, Raised::None},
      {"fixed number of any size", 3, 1e300, 0, Raised::None},
      {"ids", 1, 0, 0, Raised::None},
      {"connection beyond the table", 0, 0, 1001, Raised::Range},
  };
  for (const Case& k : cases) {
    for (const bool paints : {true, false}) {
      DrawSim s;
      s->NumberMode = k.number_mode;
      TBlock& b = Place(*s, 110, 'X', 200, 100);
      b.Value = k.value;
      b.An = k.an;
      Place(*s, 112, 'C', 0, 0).Value = 1e15;
      TBlock& vis = Place(*s, 111, 'V', 300, 300);
      vis.An = 112;
      vis.pp = 4e15;
      RecordingCanvas recording;
      NullCanvas null;
      Canvas& c = paints ? static_cast<Canvas&>(recording) : null;
      EXPECT_EQ(raised(*s, c), k.expected) << k.what << (paints ? " painting" : " not painting");
      if (k.expected == Raised::None) {
        EXPECT_EQ(vis.Value, 25) << k.what;
      }
    }
  }
}

TEST(Colours, PercentToScaleEntry) {
  const std::pair<int64_t, int> cases[] = {{0, 0},   {2, 0},    {3, 1},   {7, 1},   {8, 2},  {10, 2},  {50, 10},
                                           {100, 20}, {250, 20}, {-5, 0}, {-100, 0}, {62, 12}, {63, 13}};
  for (const auto& [percent, entry] : cases) EXPECT_EQ(ColourIndexForPercent(percent), entry) << percent;
  EXPECT_EQ(ColourForPercent(50), (Rgb{255, 169, 0}));
  EXPECT_EQ(ColourForPercent(100), (Rgb{255, 255, 255}));
  EXPECT_EQ(ColourForPercent(95), (Rgb{255, 255, 224}));
  EXPECT_EQ(kChannelColours[5], (Rgb{212, 0, 0}));
  EXPECT_EQ(kChannelColours[6], (Rgb{255, 126, 0}));
}

}  // namespace
}  // namespace trevolan
