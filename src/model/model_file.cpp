#include "model/model_file.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <ctime>
#include <optional>
#include <string_view>
#include <vector>

#include "model/catalogue.h"
#include "model/atomic_file.h"
#include "model/numbers.h"
#include "model/text.h"

namespace trevolan {

namespace {

constexpr size_t kMinBlockLineLength = 50;
constexpr size_t kMaxTokenLength = 255;
constexpr int kNumbersPerLine = 17;
constexpr int kIntegerFields = 11;  // XX .. Pn and #stored, before the five coefficients and Value
const char* const kHeaderLine = "Dorvanek-Consulting:Analogue and Petri-Net Simulator: Trevolan4";
const char* const kLineEnd = "\r\n";

constexpr const char* kReferenceLines[] = {
    "A: Activity/Actor for Petri Nets. Has Time of action",
    "B: Belt (conveyor) for Petri Nets, can also record values for later delivery",
    "C  Container (can serve as constants. Up to #17, are visible system parameters",
    "D: Division/Difference",
    "E: Exponents",
    "F: Flux transfer from A to B (moves material if A, B are Integrators or Containers",
    "G: function Generator. Piecewise linear",
    "H: Hysteresis (Friction, lossy mtl). I/P=a, O/P goes 0 to 1 over b to c, hysteresis=d",
    "I: Integrator, INT{(a-b)*c}dt+d, uses bb as \"max load\" or for rotation behaviour ",
    "J: Inductor, d(Current)/dt=(a-b-v*c)/d, from A to B",
    "K: Logic, OR, NOR, AND, NAD, XOR depends on mode 0 to 4",
    "L: Logarithm e^x, 10^x a^x",
    "M: Memory (delay if base is time)",
    "N: Note. Only comment appears, font controlled by mode.",
    "O: Oscilloscope: One only, #19, lists 10 input links for graph",
    "P: not assigned",
    "Q: Quantizer",
    "R: Relay passes on logic decisions to switch blocks on/off",
    "S: Sine or ArcSine or ArcTan(x,y)",
    "T: Timer",
    "U: User block: One only, #20, lists 10 input links for user",
    "V: Visual VoltMeter: ",
    "W: Witch Switch: ",
    "X: Multiplier, ",
    "Z: Random Fuzz generator. ",
    "&: Signed summation. ",
    "%: Divide (and difference)",
    "@: Access/change any data item",
};

bool IsDelimiter(char c) { return static_cast<unsigned char>(c) <= 32 || c == ','; }

// The next line of the reader without its line break; advances past the break.
std::string_view TakeLine(std::string_view data, size_t& cursor) {
  size_t end = data.find('\n', cursor);
  if (end == std::string::npos) end = data.size();
  std::string_view line = data.substr(cursor, end - cursor);
  cursor = end < data.size() ? end + 1 : end;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

std::string_view TakeLine(ModelReader& r) { return TakeLine(r.data, r.cursor); }

// A token quoted in an error message: short and free of control characters.
std::string Printable(std::string_view token) {
  std::string out(token.substr(0, 40));
  for (char& c : out) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 32 || u == 127) c = '?';
  }
  return out;
}

// The stored data of a block: count free-format numbers from the reader's cursor,
// across line ends. The list grows as numbers arrive, so a count larger than the file
// holds costs nothing up front.
std::vector<double> ReadStoredNumbers(ModelReader& r, int64_t count, int id) {
  std::vector<double> values;
  const std::string& d = r.data;
  while (static_cast<int64_t>(values.size()) < count) {
    while (r.cursor < d.size() && static_cast<unsigned char>(d[r.cursor]) <= 32) ++r.cursor;
    if (r.cursor >= d.size()) {
      throw IoError("I/O error 100: the file ends inside the stored data of block " + std::to_string(id));
    }
    const size_t start = r.cursor;
    while (r.cursor < d.size() && static_cast<unsigned char>(d[r.cursor]) > 32) ++r.cursor;
    const std::string_view token = std::string_view(d).substr(start, r.cursor - start);
    const auto v = ParseFileNumber(token);
    if (!v) {
      throw IoError("I/O error 106: '" + Printable(token) + "' is not a number in the stored data of block " +
                    std::to_string(id));
    }
    values.push_back(*v);
  }
  return values;
}

// Name and comment as they must be written to read back whole: a name has no blanks,
// commas or control characters (they would shift the line's tokens) and is never empty;
// a comment has no line breaks.
std::string NameForFile(const std::string& name) {
  std::string out = FitText(name, kMaxNameLength);
  for (char& c : out) {
    if (IsDelimiter(c)) c = '_';
  }
  return out.empty() ? "_" : out;
}

// A text on one line of the file: line breaks become blanks.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

std::string CommentForFile(const std::string& comment) { return OneLine(FitText(comment, kMaxCommentLength)); }

// A line the reader would take for a block: long enough, "@" and a block type, an ID.
bool IsBlockLine(std::string_view line) {
  if (line.size() < kMinBlockLineLength) return false;
  size_t pos = 1;
  const std::string_view t = NextToken(line, pos);
  return t.size() >= 2 && t[0] == '@' && IsBlockType(t[1]) && ParseFileInteger(NextToken(line, pos)).has_value();
}

// Whether the lines that carry names and comments, those beginning with '@', are UTF-8:
// they alone tell the file's encoding. The header's file names are paths, which may hold
// any bytes (an older save wrote them unchanged), and the reader skips them anyway.
bool BlockLinesAreUtf8(std::string_view text) {
  if (IsValidUtf8(text)) return true;
  for (size_t cursor = 0; cursor < text.size();) {
    const std::string_view line = TakeLine(text, cursor);
    size_t pos = 1;
    if (NextToken(line, pos).starts_with('@') && !IsValidUtf8(line)) return false;
  }
  return true;
}

// Writes one block line's fields into the slot. Every conversion is made before the
// slot is touched, so a failing line never leaves a half-written block behind.
void StoreBlockLine(Sim& s, int32_t id, char type, const std::string& name, const double (&n)[kNumbersPerLine],
                    std::string comment) {
  TBlock& b = s.block(id);
  const int32_t XX = ToInt32(n[0]), YY = ToInt32(n[1]), OnOff = ToInt32(n[2]), Displ = ToInt32(n[3]),
                State = ToInt32(n[4]), An = ToInt32(n[5]), Bn = ToInt32(n[6]), Cn = ToInt32(n[7]),
                Dn = ToInt32(n[8]), Pn = ToInt32(n[9]);
  (void)ToInt32(n[10]);  // #stored, used by the caller; a count beyond 32 bits ends the reading here
  b.ID = id;
  b.Name = name;
  b.Type = TypeOfLetter(type);
  b.XX = XX;
  b.YY = YY;
  b.OnOff = OnOff;
  b.Displ = Displ;
  b.State = State;
  b.An = An;
  b.Bn = Bn;
  b.Cn = Cn;
  b.Dn = Dn;
  b.Pn = Pn;
  b.aa = n[11];
  b.bb = n[12];
  b.cc = n[13];
  b.dd = n[14];
  b.pp = n[15];
  b.Value = n[16];
  if (!comment.empty() && comment[0] == '"') comment = comment.size() >= 2 ? comment.substr(1, comment.size() - 2) : "";
  b.Comment = CutToCharacters(comment, kMaxCommentLength);
}

std::string LocalDateTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buf[64];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &local);
  return buf;
}

}  // namespace

std::string_view NextToken(std::string_view line, size_t& pos) {
  const char* const end = line.data() + line.size();
  const char* p = line.data() + std::min(pos - 1, line.size());  // pos counts from 1
  while (p != end && IsDelimiter(*p)) ++p;
  const char* const start = p;
  while (p != end && !IsDelimiter(*p)) ++p;
  const std::string_view token(start, std::min(static_cast<size_t>(p - start), kMaxTokenLength));
  if (p != end) ++p;  // the one delimiter that ended the token
  pos = static_cast<size_t>(p - line.data()) + 1;
  return token;
}

void ReadModelLine(Sim& s, ModelReader& r) {
  const std::string_view line = TakeLine(r);
  const size_t len = line.size();
  if (len < kMinBlockLineLength) return;
  size_t pos = 1;
  const std::string_view t = NextToken(line, pos);
  if (t == "zzz" || t == "ZZZ") {
    r.ModelEnd = true;
    return;
  }
  if (t.size() < 2 || t[0] != '@') return;
  const char type = t[1];
  const auto id = ParseFileInteger(NextToken(line, pos));
  if (!id) return;
  const std::string name = CutToCharacters(NextToken(line, pos), kMaxNameLength);
  if (!IsBlockType(type)) return;

  double n[kNumbersPerLine];
  for (int k = 0; k < kNumbersPerLine; ++k) {
    if (pos > len) return;
    const auto v = ParseFileNumber(NextToken(line, pos));
    // NAN and INF are numbers of the file, but no integer: in an integer field they are
    // as bad as any other text that is no number.
    if (!v || (k < kIntegerFields && !std::isfinite(*v))) {
      ShowNumberMessage(s, "Problem in reading data for Block ", *id);
      return;
    }
    n[k] = *v;
  }
  StoreBlockLine(s, *id, type, name, n, pos <= len ? std::string(line.substr(pos - 1)) : std::string());
  // The block counts as read before its stored data: should that fail, the block is
  // still within HighestBlock, never hidden above it where the next Create would
  // silently overwrite it.
  if (*id > s.HighestBlock) s.HighestBlock = *id;
  const int32_t stored_high = ToInt32(n[kIntegerFields - 1]);
  if (stored_high > 0) s.block(*id).stored = ReadStoredNumbers(r, int64_t{stored_high} + 1, *id);
  s.NotifyDrawAllBlocks();
}

std::string ReadModelFile(const std::string& path) {
  std::string text = ReadWholeFile(path);
  if (!IsModelText(text)) throw IoError(path + " is not a model file");
  return text;
}

void OpenModel(Sim& s) { ReadModelText(s, ReadModelFile(s.DataFileName)); }

void ReadModelText(Sim& s, std::string text) {
  ModelReader r;
  // An old single-byte file is Windows-1252.
  r.data = BlockLinesAreUtf8(text) ? std::move(text) : Windows1252ToUtf8(text);
  do {
    ReadModelLine(s, r);
  } while (!r.AtEnd() && !r.ModelEnd);
  const TBlock& graphs = s.block(kGraphsBlock);
  for (int c = 1; c <= kMaxTapeChannels; ++c) s.TapeChannelIDs[static_cast<size_t>(c)] = ToInt32(StoredAt(graphs, c));
  s.TapeChannels = ToInt32(StoredAt(graphs, 0));
}

bool IsModelText(const std::string& text) {
  if (text.rfind(kHeaderLine, 0) == 0) return true;
  for (size_t cursor = 0; cursor < text.size();) {
    if (IsBlockLine(TakeLine(text, cursor))) return true;
  }
  return false;
}

namespace {

void AppendInt(std::string& out, int64_t v) {
  char buf[24];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, end);
}

// The block line and its stored-data line, appended to the text being written without
// a string of its own for every field.
void AppendBlockLine(std::string& out, const Sim& s, int id) {
  const TBlock& b = s.block(id);
  constexpr std::string_view sep = "   ";
  out += '@';
  out += TypeLetter(b.Type);
  out += sep;
  AppendInt(out, id);
  out += sep;
  out += NameForFile(b.Name);
  out += sep;
  for (const int32_t v : {b.XX, b.YY, b.OnOff, b.Displ, b.State, b.An, b.Bn, b.Cn, b.Dn, b.Pn}) {
    AppendInt(out, v);
    out += sep;
  }
  AppendInt(out, StoredHigh(b));
  out += sep;
  for (const double v : {b.aa, b.bb, b.cc, b.dd, b.pp}) {
    AppendGeneral(out, v);
    out += sep;
  }
  AppendGeneral(out, b.Value);
  out += " \"";
  out += CommentForFile(b.Comment);
  out += '"';
  out += kLineEnd;
  if (StoredHigh(b) > 0) {
    for (const double v : b.stored) {
      const std::string t = FormatFixed(v, 4, 12);
      if (t[0] != ' ') out += ' ';  // a number filling its field would touch its neighbour
      out += t;
    }
    out += kLineEnd;
  }
}

}  // namespace

std::string WriteBlockLine(const Sim& s, int id) {
  std::string line;
  AppendBlockLine(line, s, id);
  return line;
}

std::string ModelFileText(const Sim& s, const std::string& recorded) {
  std::string text;
  text.reserve(8192);
  const auto put = [&text](std::string_view a, std::string_view b = {}) {
    text += a;
    text += b;
    text += kLineEnd;
  };
  put(kHeaderLine);
  // Paths whole, however long; a byte of a path that is no UTF-8 would make the file no
  // UTF-8 either, so it is written as U+FFFD (the path itself is what the user gave).
  put("DataFile was ", ReplaceInvalidUtf8(OneLine(s.DataFileName)));
  put("This file is ", ReplaceInvalidUtf8(OneLine(s.SaveFileName)));
  put("Recorded: ", recorded);
  put("");
  put("BLOCK DESCRIPTIONS:");
  static const std::string reference = [] {  // the same in every file: joined once
    std::string lines;
    for (const char* line : kReferenceLines) (lines += line) += kLineEnd;
    return lines;
  }();
  text += reference;
  put("");
  put("DATA FORMATS:");
  put("Column Designations. Except data line after A,B,D,G,M,O,U");
  put("@Type ID# Name XX YY OnOff Displ State An Bn Cn Dn Pn #stored aa bb cc dd pp Value Comment");
  put("");
  for (int64_t id = 0; id <= s.HighestBlock; ++id) {
    if (IsBlockType(s.block(id).Type)) AppendBlockLine(text, s, static_cast<int>(id));
  }
  put("ZZZ");
  return text;
}

void SaveModel(Sim& s) { WriteFileAtomically(s.SaveFileName, ModelFileText(s, LocalDateTime())); }

}  // namespace trevolan
