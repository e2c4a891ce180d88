#pragma once
#include <ostream>
#include <string>
#include <vector>

#include "display/recording_canvas.h"
#include "support/test_support.h"

namespace trevolan::testing {

// A fresh Sim whose system blocks are taken off the diagram, so that a drawing shows
// only the blocks a test places, with room for blocks up to ID 200.
struct DrawSim : TestSim {
  DrawSim() {
    for (int id = 0; id <= 31; ++id) sim->block(id).XX = 0;
    sim->HighestBlock = 200;
  }
};

// Puts a block of a type on the diagram at (x, y), switched on, labelled by name.
inline TBlock& Place(Sim& s, int id, char type, int x, int y, const std::string& name = "") {
  TBlock& b = s.block(id);
  b.ID = id;
  b.Type = TypeOfLetter(type);
  b.XX = x;
  b.YY = y;
  b.OnOff = 1;
  b.Displ = 3;
  b.Name = name.empty() ? std::string(1, type) + std::to_string(id) : name;
  return b;
}

// A line as drawn: its ends and the pen's colour and width.
struct LineSeen {
  Point from, to;
  Rgb colour;
  int32_t width;
  friend bool operator==(const LineSeen&, const LineSeen&) = default;
};

inline std::vector<LineSeen> LinesOf(const RecordingCanvas& c) {
  std::vector<LineSeen> out;
  for (const DrawOp& op : c.Of(DrawKind::Line)) out.push_back({op.points[0], op.points[1], op.pen.colour, op.pen.width});
  return out;
}

inline std::ostream& operator<<(std::ostream& os, const LineSeen& l);

}  // namespace trevolan::testing

namespace trevolan {

// Readable failures.
inline std::ostream& operator<<(std::ostream& os, const Point& p) { return os << '(' << p.x << ',' << p.y << ')'; }
inline std::ostream& operator<<(std::ostream& os, const Rgb& c) {
  return os << "rgb(" << int{c.r} << ',' << int{c.g} << ',' << int{c.b} << ')';
}

}  // namespace trevolan

inline std::ostream& trevolan::testing::operator<<(std::ostream& os, const LineSeen& l) {
  return os << l.from << "-" << l.to << ' ' << l.colour << " w" << l.width;
}
