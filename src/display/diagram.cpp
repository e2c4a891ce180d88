#include "display/diagram.h"

#include <array>
#include <cstdlib>
#include <limits>
#include <optional>
#include <utility>

#include "display/pixels.h"
#include "display/visualizer.h"
#include "model/numbers.h"
#include "model/text.h"

namespace trevolan {

namespace {

// The corner field of a block so near the end of the 32-bit range that its picture or
// a link to it cannot fit (a hand-edited file), as a message says it.
std::optional<std::string> CornerNearTheEnd(const TBlock& b) {
  constexpr int64_t kReach = 1000;  // beyond what any block's picture spans from its corner
  for (const auto& [name, v] : {std::pair{"XX", b.XX}, std::pair{"YY", b.YY}}) {
    if (v > std::numeric_limits<int32_t>::max() - kReach || v < std::numeric_limits<int32_t>::min() + kReach) {
      return std::string(name) + " = " + std::to_string(v) + " is too near the end of the 32-bit range";
    }
  }
  return std::nullopt;
}

// A link whose end lies beyond the 32-bit range: the block at that end is the one to
// mend, not the block being drawn.
class LinkOverflow : public OverflowError {
 public:
  using OverflowError::OverflowError;
};

template <typename Draw>
void DrawingLink(const Sim& s, int from, int to, Draw&& draw) {
  try {
    draw();
  } catch (const OverflowError& e) {
    const bool at_from = CornerNearTheEnd(s.block(from)).has_value();
    throw LinkOverflow(std::string(e.what()) + " in block " + std::to_string(at_from ? from : to) +
                       " while drawing the link from block " + std::to_string(from) + " to block " +
                       std::to_string(to) + ": its " +
                       CornerNearTheEnd(s.block(at_from ? from : to)).value_or("corner lies beyond the 32-bit range"));
  }
}

}  // namespace

namespace {

using namespace colour;

// The colours of connections A, B, C, D and P: their link lines, and the text of a
// switch's label by the input it passes on.
constexpr std::array<Rgb, 5> kConnectionColours = {kRed, kBlue, kGreen, kBlack, kFuchsia};
constexpr std::string_view kBlankNumber = "          ";  // ten blanks clear the old number

struct LabelColours {
  Rgb fill, text;
};

// Colours that follow a block's State 1..3, the fourth entry for any other state.
LabelColours ByState(int32_t state, const std::array<LabelColours, 4>& table) {
  return state >= 1 && state <= 3 ? table[static_cast<size_t>(state - 1)] : table[3];
}

// Logic, timer and relay blocks light up while their output counts as true.
LabelColours ByLogicValue(const TBlock& b) {
  return b.Value >= 0.5 ? LabelColours{kLime, kBlack} : LabelColours{kMaroon, kWhite};
}

bool Placed(const Sim& s, int64_t id) { return s.block(id).XX > 0; }

// The scaled integer display of a number: (x - origin) x factor, rounded.
int64_t ScaledNumber(const Sim& s, double x) {
  const double scaled = (x - s.ScaleOrgn) * s.ScaleFactr;
  return Nearest64(scaled);
}

// The label cell of block b in style `displ`, with `name` standing for its Name.
void DrawLabelCell(Canvas& c, const TBlock& b, int32_t displ, const std::string& name, LabelColours lc) {
  c.brush = lc.fill;
  c.font.colour = lc.text;
  if (b.OnOff == 0) c.brush = kOffGrey;
  if (c.Paints()) c.TextOut(b.XX, b.YY, LabelText(b, displ, name));
}

// Input links, label and number line: the rule of most types.
void DrawPlain(Sim& s, Canvas& c, int id, LabelColours lc) {
  if (s.LinksFlag) DrawInputLinks(s, c, id);
  DrawBlockLabel(s, c, id, lc.fill, lc.text);
  DrawBlockNumber(s, c, id);
}

void DrawBeltBlock(Sim& s, Canvas& c, int id) {
  const TBlock& b = s.block(id);
  const LabelColours lc =
      ByState(b.State, {{{kNavy, kYellow}, {kSkyBlue, kBlack}, {kYellow, kPurple}, {kBlack, kGrey}}});
  if (s.LinksFlag) {
    if (b.An != 0) DrawLink(s, c, b.An, id, lc.fill);
    if (b.Bn != 0) DrawLink(s, c, id, b.Bn, lc.fill);
  }
  DrawBlockLabel(s, c, id, lc.fill, lc.text);
  DrawBlockNumber(s, c, id);
}

// A Displ above 10 on a Container or an Integrator adds an outline shape and labels the
// block in the style Displ - 10.
int32_t LabelStyle(const TBlock& b) { return b.Displ > 10 ? b.Displ - 10 : b.Displ; }

void DrawContainerBlock(Sim& s, Canvas& c, int id) {
  const TBlock& b = s.block(id);
  const LabelColours lc = ByState(
      b.State, {{{kColourScale[5], kYellow}, {kGreen, kWhite}, {kColourScale[11], kColourScale[2]}, {kBlack, kGrey}}});
  if (b.Displ > 10) {
    c.pen.colour = kRed;
    c.pen.style = PenStyle::Solid;
    c.brush = lc.fill;
    c.Ellipse(Px(b.XX - 2LL), Px(b.YY - 7LL), Px(b.XX + 25LL), Px(b.YY + 20LL));
  }
  if (s.LinksFlag) DrawInputLinks(s, c, id);
  DrawLabelCell(c, b, LabelStyle(b), b.Name, lc);
  DrawBlockNumber(s, c, id);
}

void DrawIntegratorBlock(Sim& s, Canvas& c, int id) {
  const TBlock& b = s.block(id);
  if (s.LinksFlag) DrawInputLinks(s, c, id);
  if (b.Displ > 10) {
    // A box with a pointed right side.
    c.brush = kBlack;
    c.pen.colour = kRed;
    c.pen.style = PenStyle::Solid;
    const int64_t x = b.XX, y = b.YY;
    const std::array<Point, 5> outline = {{{Px(x), Px(y - 8)},
                                           {Px(x + 7), Px(y - 8)},
                                           {Px(x + 25), Px(y + 7)},
                                           {Px(x + 7), Px(y + 21)},
                                           {Px(x), Px(y + 21)}}};
    c.Polygon(outline);
  }
  DrawLabelCell(c, b, LabelStyle(b), b.Name, {kBlack, kWhite});
  DrawBlockNumber(s, c, id);
}

void DrawAccessBlock(Sim& s, Canvas& c, int id) {
  const TBlock& b = s.block(id);
  if (s.LinksFlag) {
    if (b.An > 0) DrawLink(s, c, b.An, id, kRed);
    if (b.Cn > 0) DrawLink(s, c, b.Cn, id, kGreen);
    if (b.Displ < 4) {
      if (b.Bn > 0) DrawLink(s, c, id, b.Bn, kColourScale[11]);
      if (b.Dn > 0) DrawLink(s, c, id, b.Dn, kColourScale[11]);
    }
  }
  DrawBlockLabel(s, c, id, kYellow, kBlue);
  DrawBlockNumber(s, c, id);
}

void DrawGeneratorBlock(Sim& s, Canvas& c, int id) {
  const TBlock& b = s.block(id);
  if (s.LinksFlag) {
    if (Placed(s, b.An)) DrawLink(s, c, b.An, id, kMaroon);
    if (Placed(s, b.Bn)) DrawLink(s, c, b.Bn, id, kMaroon);
    if (Placed(s, b.Cn)) DrawLink(s, c, b.Cn, id, kGreen);
    if (b.Pn != id) DrawLink(s, c, b.Pn, id, kFuchsia);
  }
  DrawBlockLabel(s, c, id, kMaroon, kWhite);
  DrawBlockNumber(s, c, id);
}

void DrawMemoryBlock(Sim& s, Canvas& c, int id) {
  const TBlock& b = s.block(id);
  if (s.LinksFlag) {
    DrawLink(s, c, b.An, id, kBlack);
    DrawLink(s, c, b.Bn, id, kBlack);
    if (b.Cn > 0) DrawLink(s, c, b.Cn, id, kGreen);
    if (b.Pn > 0) DrawLink(s, c, b.Pn, id, kFuchsia);
  }
  DrawBlockLabel(s, c, id, kTeal, kWhite);
  DrawBlockNumber(s, c, id);
}

// The oscilloscope: a line from every plotted block in its channel's colour.
void DrawScopeBlock(Sim& s, Canvas& c, int id) {
  const TBlock& b = s.block(id);
  if (s.LinksFlag && b.Displ < 4) {
    for (size_t ch = 1; ch <= kChannelColours.size(); ++ch) {
      const int32_t from = s.TapeChannelIDs[ch];
      if (from > 0) DrawLink(s, c, from, id, kChannelColours[ch - 1]);
    }
    DrawInputLinks(s, c, id);
  }
  DrawBlockLabel(s, c, id, kNavy, kAqua);
  DrawBlockNumber(s, c, id);
}

void DrawRelayBlock(Sim& s, Canvas& c, int id) {
  const TBlock& b = s.block(id);
  if (s.LinksFlag) {
    if (Placed(s, b.An)) DrawLink(s, c, b.An, id, kRed);
    for (const int32_t target : {b.Bn, b.Cn, b.Dn}) {
      if (Placed(s, target)) DrawLink(s, c, id, target, kColourScale[11]);
    }
    if (Placed(s, b.Pn)) DrawLink(s, c, id, b.Pn, kColourScale[9]);
  }
  DrawBlockLabel(s, c, id, ByLogicValue(b).fill, ByLogicValue(b).text);
  DrawBlockNumber(s, c, id);
}

void DrawSineBlock(Sim& s, Canvas& c, int id) {
  const TBlock& b = s.block(id);
  if (s.LinksFlag) DrawInputLinks(s, c, id);
  // The phase link is drawn at every drawing of the block, full redraw or not.
  if (b.Pn > 0) DrawLink(s, c, b.Pn, id, kFuchsia);
  DrawBlockLabel(s, c, id, kAqua, kBlack);
  DrawBlockNumber(s, c, id);
}

// The user block: a line from every block it sends to the spreadsheet.
void DrawUserBlock(Sim& s, Canvas& c, int id) {
  const TBlock& b = s.block(id);
  if (s.LinksFlag && b.Displ < 4) {
    for (int64_t k = 1; k <= static_cast<int64_t>(kChannelColours.size()); ++k) {
      const int32_t from = Nearest(StoredAt(b, k));
      if (from > 0) DrawLink(s, c, from, id, kChannelColours[static_cast<size_t>(k - 1)]);
    }
    DrawInputLinks(s, c, id);
  }
  DrawBlockLabel(s, c, id, kMaroon, kAqua);
  DrawBlockNumber(s, c, id);
}

// The switch shows the name of the block it passes on, in that connection's colour.
void DrawSwitchBlock(Sim& s, Canvas& c, int id) {
  const TBlock& b = s.block(id);
  if (s.LinksFlag) DrawInputLinks(s, c, id);
  const int32_t k = Nearest(b.aa);
  if (k >= 0 && k <= 4) {
    const std::array<int32_t, 5> inputs{b.An, b.Bn, b.Cn, b.Dn, b.Pn};
    const int32_t input = inputs[static_cast<size_t>(k)];
    const std::string& name = input != 0 ? s.block(input).Name : b.Name;
    DrawLabelCell(c, b, b.Displ, CutToCharacters(name, kMaxNameLength),
                  {kSilver, kConnectionColours[static_cast<size_t>(k)]});
  }
  DrawBlockNumber(s, c, id);
}

}  // namespace

std::string LabelText(const TBlock& b, int32_t displ, const std::string& name) {
  switch (displ) {
    case 0: return "*";
    case 1: return std::string(1, TypeLetter(b.Type));
    case 2: return TypeLetter(b.Type) + std::to_string(b.ID) + " ";
    default: return CutToCharacters(name + " ", kMaxNameLength + 1);
  }
}

void RedrawDiagram(Sim& s, Canvas& c) {
  // The flag belongs to this redraw alone: one cut short by a block's error must not
  // leave the next model's reading drawing links (which can fail on a link the reading
  // has not yet reached).
  struct LinksDuringRedraw {
    Sim& s;
    explicit LinksDuringRedraw(Sim& sim) : s(sim) { s.LinksFlag = true; }
    ~LinksDuringRedraw() { s.LinksFlag = false; }
  } links(s);
  c.brush = kWhite;
  c.pen.colour = kWhite;
  c.pen.width = 1;
  c.Rectangle(1399, 999, 1, 1);
  if (s.GridFlag) DrawGrid(s, c);
  DrawAllBlocks(s, c);
}

void DrawAllBlocks(Sim& s, Canvas& c) {
  // On a canvas that paints nothing only the blocks whose drawing can fail or compute
  // something are drawn, and the second pass runs only when it has such a block: the
  // pass of a headless animation then costs one look at each block.
  const bool paints = c.Paints();
  if (!paints && s.QuietDrawing && !s.LinksFlag && !s.DrawsByType) return;  // no block would draw
  bool second_pass = paints;
  for (int id = 1; id <= s.HighestBlock; ++id) {
    const TBlock& b = s.block(id);
    if (b.XX <= 0) continue;
    const bool over = b.Type == BlockType::Integrator || b.Type == BlockType::Note || b.Type == BlockType::Visualizer;
    const bool draws = paints || !s.DrawingIsInert(b);
    if (over) second_pass = second_pass || draws;
    if (b.Type != BlockType::Integrator && b.Type != BlockType::Visualizer && draws) DrawBlock(s, c, id);
  }
  if (!second_pass) return;
  for (int id = 1; id <= s.HighestBlock; ++id) {
    const TBlock& b = s.block(id);
    if (b.XX > 0 && (b.Type == BlockType::Integrator || b.Type == BlockType::Note || b.Type == BlockType::Visualizer) &&
        (paints || !s.DrawingIsInert(b))) {
      DrawBlock(s, c, id);
    }
  }
}

namespace {

void DrawBlockOfType(Sim& s, Canvas& c, int id) {
  const TBlock& b = s.block(id);
  switch (b.Type) {
    case BlockType::Activity:
      DrawPlain(s, c, id, ByState(b.State, {{{kBlue, kWhite}, {kAqua, kBlack}, {kMaroon, kYellow}, {kBlack, kGrey}}}));
      break;
    case BlockType::Belt: DrawBeltBlock(s, c, id); break;
    case BlockType::Container:
    case BlockType::Empty: DrawContainerBlock(s, c, id); break;
    case BlockType::Diverter:
      DrawPlain(s, c, id,
                ByState(b.State, {{{kPurple, kYellow}, {kFuchsia, kYellow}, {kYellow, kPurple}, {kBlack, kGrey}}}));
      break;
    case BlockType::Divide: DrawPlain(s, c, id, {kRed, kBlack}); break;
    case BlockType::Sum: DrawPlain(s, c, id, {kRed, kWhite}); break;
    case BlockType::Access: DrawAccessBlock(s, c, id); break;
    case BlockType::Exponents: DrawPlain(s, c, id, {kYellow, kBlack}); break;
    case BlockType::Flux: DrawPlain(s, c, id, {kFuchsia, kBlack}); break;
    case BlockType::Generator: DrawGeneratorBlock(s, c, id); break;
    case BlockType::Hysteresis: DrawPlain(s, c, id, {kTeal, kYellow}); break;
    case BlockType::Integrator: DrawIntegratorBlock(s, c, id); break;
    case BlockType::Inductor: DrawPlain(s, c, id, {kFuchsia, kWhite}); break;
    case BlockType::Logic:
    case BlockType::Timer: DrawPlain(s, c, id, ByLogicValue(b)); break;
    case BlockType::Logarithm: DrawPlain(s, c, id, {kYellow, kBlack}); break;
    case BlockType::Memory: DrawMemoryBlock(s, c, id); break;
    case BlockType::Note: DrawNote(s, c, id); break;
    case BlockType::Oscilloscope: DrawScopeBlock(s, c, id); break;
    case BlockType::Pid: DrawPlain(s, c, id, {kAqua, kBlack}); break;
    case BlockType::Quantizer: DrawPlain(s, c, id, {kOlive, kLime}); break;
    case BlockType::Relay: DrawRelayBlock(s, c, id); break;
    case BlockType::Sine: DrawSineBlock(s, c, id); break;
    case BlockType::User: DrawUserBlock(s, c, id); break;
    case BlockType::Visualizer: DrawVisualizer(s, c, id); break;
    case BlockType::Witch: DrawSwitchBlock(s, c, id); break;
    case BlockType::Multiplier: DrawPlain(s, c, id, {kRed, kYellow}); break;
    case BlockType::Fuzz: DrawPlain(s, c, id, {kAqua, kMaroon}); break;
    default: break;  // a letter without a rule draws nothing
  }
}

// The text of a drawing's arithmetic fault, with the block whose numbers caused it and,
// when its corner lies so near the end of the 32-bit range that its picture cannot fit
// (a hand-edited file), the field that puts it there.
std::string InBlock(const SimError& e, const TBlock& b, int id) {
  const std::string text = std::string(e.what()) + " in block " + std::to_string(id) + " while drawing it";
  if (const auto field = CornerNearTheEnd(b)) return text + ": its " + *field;
  return text;
}

}  // namespace

void DrawBlock(Sim& s, Canvas& c, int id) {
  if (s.block(id).XX <= 0) return;
  try {
    DrawBlockOfType(s, c, id);
  } catch (const FloatError& e) {
    throw FloatError(InBlock(e, s.block(id), id));
  } catch (const LinkOverflow&) {
    throw;
  } catch (const OverflowError& e) {
    throw OverflowError(InBlock(e, s.block(id), id));
  }
}

void DrawBlockLabel(Sim& s, Canvas& c, int id, Rgb fill, Rgb text) {
  const TBlock& b = s.block(id);
  DrawLabelCell(c, b, b.Displ, b.Name, {fill, text});
}

void DrawBlockNumber(Sim& s, Canvas& c, int id) {
  const TBlock& b = s.block(id);
  c.brush = kButtonFace;
  c.font.colour = kBlack;
  if (b.XX == 0) return;
  const int32_t y = Px(b.YY + int64_t{Canvas::kLinePitch});
  switch (s.NumberMode) {
    case 1:
      c.TextOut(b.XX, y, kBlankNumber);
      if (c.Paints()) c.TextOut(b.XX, y, TypeLetter(b.Type) + std::to_string(b.ID));
      break;
    case 2:
    case 3:
      c.TextOut(b.XX, y, kBlankNumber);
      if (c.Paints()) {
        c.TextOut(b.XX, y, FormatBlockNumber(s, b.Value));
      } else if (s.NumberMode == 2) {
        ScaledNumber(s, b.Value);  // the one number text that can fail
      }
      break;
    default: break;  // mode 0 leaves whatever the line showed before
  }
}

std::string FormatBlockNumber(const Sim& s, double x) {
  switch (s.NumberMode) {
    case 2: return std::to_string(ScaledNumber(s, x));
    case 3: return FormatFixed(x, 4, 10);
    default: return "";
  }
}

void DrawInputLinks(Sim& s, Canvas& c, int id) {
  const TBlock& b = s.block(id);
  c.pen.style = PenStyle::Solid;
  const std::array<int32_t, 5> sources{b.An, b.Bn, b.Cn, b.Dn, b.Pn};
  for (size_t i = 0; i < sources.size(); ++i) {
    // Only the Sum block gives a negative connection a meaning; it draws like its positive.
    const int source = static_cast<int>(std::llabs(int64_t{sources[i]}));
    const TBlock& from = s.block(source);
    if (from.XX <= 0) continue;
    DrawingLink(s, source, id, [&] {
      const int32_t y = Px(b.YY + 3 * static_cast<int64_t>(i));
      c.pen.width = 3;
      c.pen.colour = kConnectionColours[i];
      c.MoveTo(b.XX, y);
      c.LineTo(Px(b.XX - 3LL), y);
      c.pen.width = 1;
      c.LineTo(Px(from.XX + 6LL), Px(from.YY + 6LL));
    });
  }
}

void DrawLink(Sim& s, Canvas& c, int from, int to, Rgb colour) {
  const TBlock& a = s.block(from);
  const TBlock& b = s.block(to);
  c.pen = Pen{colour, 1, PenStyle::Solid};
  DrawingLink(s, from, to, [&] {
    c.MoveTo(Px(a.XX + 6LL), Px(a.YY + 6LL));
    c.LineTo(b.XX, Px(b.YY + 6LL));
  });
}

void DrawNote(Sim& s, Canvas& c, int id) {
  const TBlock& b = s.block(id);
  if (b.Comment.empty()) {
    DrawBlockLabel(s, c, id, kButtonFace, kBlack);
    return;
  }
  switch (b.State) {
    case 0: c.font.style = FontStyle::Regular; break;
    case 1: c.font.style = FontStyle::Italic; break;
    case 2: c.font.style = FontStyle::Bold; break;
    case 3: c.font.style = FontStyle::BoldItalic; break;
    default: break;  // another mode keeps the style that is current
  }
  c.pen.colour = kBlack;
  c.brush = kWhite;
  c.TextOut(b.XX, b.YY, b.Comment);
  c.font.style = FontStyle::Regular;
}

void DrawGrid(Sim& s, Canvas& c) {
  c.pen = Pen{kBlack, 1, PenStyle::Dotted};
  c.brush = kWhite;
  c.font.colour = kBlack;
  for (int32_t i = 1; i <= 30; ++i) {
    c.MoveTo(50 * i, 10);
    c.LineTo(50 * i, 900);
  }
  for (int32_t i = 1; i <= 25; ++i) {
    c.MoveTo(10, 50 * i);
    c.LineTo(1350, 50 * i);
  }
  for (int32_t i = 1; i <= 13; ++i) {
    const std::string n = std::to_string(100 * i);
    c.TextOut(100 * i - 10, 3, n);
    c.TextOut(100 * i - 10, 907, n);
  }
  for (int32_t i = 1; i <= 10; ++i) {
    const std::string n = std::to_string(100 * i);
    c.TextOut(100, 100 * i - 7, n);
    c.TextOut(1270, 100 * i - 7, n);
  }
  // The marker of the last click, where the next new block goes.
  c.brush = kButtonFace;
  c.font.colour = kBlack;
  c.TextOut(s.LastX, s.LastY, " * ");
}

int32_t BlockAtPoint(const Sim& s, int32_t x, int32_t y) {
  for (int32_t id = 0; id <= s.HighestBlock; ++id) {
    const TBlock& b = s.block(id);
    if (std::llabs(int64_t{x} - b.XX - 6) <= 6 && std::llabs(int64_t{y} - b.YY - 6) <= 6) return id;
  }
  return -1;
}

}  // namespace trevolan
