#include "model/model_file.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <ctime>
#include <optional>
#include <string_view>
#include <type_traits>
#include <vector>

#include "model/atomic_file.h"
#include "model/catalogue.h"
#include "model/failed_opens.h"
#include "model/field_rows.h"
#include "model/numbers.h"
#include "model/text.h"

namespace trevolan {

namespace {

constexpr size_t kMinBlockLineLength = 50;
constexpr size_t kMaxTokenLength = 255;
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

// The block line's columns: the rows of the table of fields that have a file column,
// in the column's order. Each column is read and written by the kind of its member:
// the type as "@" and its letter, the ID as the slot's number, a whole number, a
// number in the general float format, a name as one token, the list by its highest
// index (its entries follow on a data line of their own), and the last column, a
// text, as the rest of the line in quotes.
constexpr auto kHasColumn = [](const BlockField& f) { return f.file_column >= 0; };
constexpr size_t kColumnCount = table::CountRows(table::kBlockFields, kHasColumn);
constexpr auto kColumns = table::SelectRows<kColumnCount>(
    table::kBlockFields, kHasColumn, [](const BlockField& a, const BlockField& b) { return a.file_column < b.file_column; });

template <size_t Row>
constexpr const BlockField& kRow = table::kBlockFields[Row];
template <size_t Row>
using ColumnKind = table::BlockKind<Row>;
template <size_t Row>
constexpr bool kIsID = [] {
  if constexpr (std::is_same_v<ColumnKind<Row>, int32_t>) return table::kBlockMember<Row> == &TBlock::ID;
  return false;
}();
template <size_t Row>
constexpr bool kIsRestOfLine = static_cast<size_t>(kRow<Row>.file_column) == kColumnCount - 1;

constexpr bool ColumnsAreInOrder() {
  for (size_t c = 0; c < kColumnCount; ++c) {
    if (table::kBlockFields[kColumns[c]].file_column != static_cast<int>(c)) return false;
  }
  return true;
}
static_assert(ColumnsAreInOrder(), "the file columns are 0, 1, 2, ... without a gap");
static_assert(std::is_same_v<ColumnKind<kColumns[0]>, BlockType> && kIsID<kColumns[1]>,
              "a block line begins with the type and the ID, which name its slot");
static_assert(std::is_same_v<ColumnKind<kColumns[kColumnCount - 1]>, std::string>,
              "a block line ends with a text, the rest of the line");

bool IsDelimiter(char c) { return static_cast<unsigned char>(c) <= 32 || c == ','; }

// The next line of the reader without its line break; advances past the break. A line
// ends in CR LF, LF or CR alone: a file whose lines end in CR alone (as older Macs
// wrote them) would otherwise be one long line that holds no block, an empty model.
std::string_view TakeLine(std::string_view data, size_t& cursor) {
  size_t end = data.find_first_of("\r\n", cursor);
  if (end == std::string::npos) end = data.size();
  const std::string_view line = data.substr(cursor, end - cursor);
  cursor = end;
  if (cursor < data.size() && data[cursor++] == '\r' && cursor < data.size() && data[cursor] == '\n') ++cursor;
  return line;
}

std::string_view TakeLine(ModelReader& r) {
  r.line_start = r.cursor;
  return TakeLine(r.data, r.cursor);
}

// The reading ends at a range error: its detail says where, after what was beyond.
[[noreturn]] void RethrowAtLine(const Sim& s, const ModelReader& r, RangeError& e) {
  const auto line = std::count(r.data.begin(), r.data.begin() + static_cast<std::ptrdiff_t>(r.line_start), '\n') + 1;
  e.detail = (e.detail.empty() ? "" : e.detail + "; ") + "line " + std::to_string(line) + " of " + s.DataFileName +
             ", where the reading stopped";
  throw e;
}

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
std::string NameForFile(const std::string& name, size_t max_length) {
  std::string out = FitText(name, max_length);
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

std::string CommentForFile(const std::string& comment, size_t max_length) {
  return OneLine(FitText(comment, max_length));
}

// The type column: "@" and the letter of a block type.
bool IsTypeToken(std::string_view t) { return t.size() >= 2 && t[0] == '@' && IsBlockType(t[1]); }

// A line the reader would take for a block: long enough, "@" and a block type, an ID.
bool IsBlockLine(std::string_view line) {
  if (line.size() < kMinBlockLineLength) return false;
  size_t pos = 1;
  return IsTypeToken(NextToken(line, pos)) && ParseFileInteger(NextToken(line, pos)).has_value();
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

// One block line as read, before any of it reaches the table: each column's token
// checked and parsed, by column, nothing converted yet.
struct BlockLineRead {
  char type;
  int32_t id;
  double number[kColumnCount];            // the number columns as read
  std::string_view text[kColumnCount];    // the text columns: a token, or the rest of the line
};

// Reads the column of the row from the line. False when the line is no block line
// after all (a bad type or ID, a line too short: skipped in silence) or has a column
// that is no number (the program's message, and the line is skipped).
template <size_t Row>
bool ReadColumn(ModelReader& reader, std::string_view line, size_t& pos, std::string_view first, BlockLineRead& r) {
  using Kind = ColumnKind<Row>;
  constexpr size_t c = static_cast<size_t>(kRow<Row>.file_column);
  if constexpr (std::is_same_v<Kind, BlockType>) {
    if (!IsTypeToken(first)) return false;  // the first token, taken before the columns
    r.type = first[1];
  } else if constexpr (kIsID<Row>) {
    const auto id = ParseFileInteger(NextToken(line, pos));
    if (!id) return false;
    r.id = *id;
  } else if constexpr (std::is_same_v<Kind, std::string>) {
    if constexpr (kIsRestOfLine<Row>) {
      r.text[c] = pos <= line.size() ? line.substr(pos - 1) : std::string_view();
    } else {
      r.text[c] = NextToken(line, pos);
    }
  } else {
    if (pos > line.size()) return false;
    const auto v = ParseFileNumber(NextToken(line, pos));
    // NAN and INF are numbers of the file, but no integer: in an integer field (or the
    // list's length) they are as bad as any other text that is no number.
    if (!v || (!std::is_same_v<Kind, double> && !std::isfinite(*v))) {
      reader.Problem("Problem in reading data for Block   " + std::to_string(r.id));
      return false;
    }
    r.number[c] = *v;
  }
  return true;
}

// The row's field of the block from what was read, converted before any field is
// written: an integer beyond 32 bits (the list's length too) ends the reading here.
template <size_t Row>
void ConvertColumn(const BlockLineRead& r, int32_t (&whole)[kColumnCount]) {
  constexpr size_t c = static_cast<size_t>(kRow<Row>.file_column);
  if constexpr (!kIsID<Row> && (std::is_same_v<ColumnKind<Row>, int32_t> ||
                                std::is_same_v<ColumnKind<Row>, std::vector<double>>)) {
    try {
      whole[c] = ToInt32(r.number[c]);
    } catch (RangeError& e) {
      const BlockField& f = kRow<Row>;
      e.detail = "block " + std::to_string(r.id) + ", field " + (f.file_name ? f.file_name : f.name) + " = " +
                 FormatGeneral(r.number[c]) + ": beyond the 32-bit integer range";
      throw;
    }
  }
}

template <size_t Row>
void WriteColumn(TBlock& b, const BlockLineRead& r, const int32_t (&whole)[kColumnCount]) {
  using Kind = ColumnKind<Row>;
  constexpr auto m = table::kBlockMember<Row>;
  constexpr size_t c = static_cast<size_t>(kRow<Row>.file_column);
  if constexpr (std::is_same_v<Kind, BlockType>) {
    b.*m = TypeOfLetter(r.type);
  } else if constexpr (kIsID<Row>) {
    b.*m = r.id;
  } else if constexpr (std::is_same_v<Kind, int32_t>) {
    b.*m = whole[c];
  } else if constexpr (std::is_same_v<Kind, double>) {
    b.*m = r.number[c];
  } else if constexpr (std::is_same_v<Kind, std::string>) {
    std::string_view text = r.text[c];
    if constexpr (kIsRestOfLine<Row>) {  // in quotes
      if (!text.empty() && text[0] == '"') text = text.size() >= 2 ? text.substr(1, text.size() - 2) : "";
    }
    b.*m = CutToCharacters(text, kRow<Row>.max_length);
  }
  // The list: its entries follow on the data line.
}

// Writes one block line's fields into the slot. Every conversion is made before the
// slot is touched, so a failing line never leaves a half-written block behind.
void StoreBlockLine(Sim& s, const BlockLineRead& r) {
  if (r.id < 0 || r.id > kMaxBlockID) {
    RangeError e;
    e.detail = "block ID " + std::to_string(r.id) + ": an ID is in 0.." + std::to_string(kMaxBlockID);
    throw e;
  }
  TBlock& b = s.block(r.id);
  int32_t whole[kColumnCount];
  table::ForRows<kColumns>([&](auto row) { ConvertColumn<decltype(row)::value>(r, whole); });
  table::ForRows<kColumns>([&](auto row) { WriteColumn<decltype(row)::value>(b, r, whole); });
}

// The list's column: its length in the line, its entries on the data line after it.
template <size_t Row>
constexpr bool kIsList = std::is_same_v<ColumnKind<Row>, std::vector<double>>;
constexpr size_t kListRow = [] {
  size_t list = 0, lists = 0;
  table::ForRows<kColumns>([&](auto row) {
    if (kIsList<decltype(row)::value>) list = decltype(row)::value, ++lists;
  });
  return lists == 1 ? list : throw "a block line has one list";
}();
constexpr auto kListMember = table::kBlockMember<kListRow>;
constexpr size_t kListColumn = static_cast<size_t>(kRow<kListRow>.file_column);

std::string LocalDateTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buf[64];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &local);
  return buf;
}

// The paint after each line shows the model as it loads; what it computes is not the
// model's. A Visualizer's paint writes its Value (and, on a wrong source, its Name,
// Displ and State) from blocks that may not be read yet: those fields are put back as
// read, and only the paint of the whole model after the reading sets them. A block that
// cannot be drawn yet (a Visualizer whose full-scale block comes later in the file)
// ends only that paint, not the reading; the paint after the reading reports what still
// fails. So a model reads the same whatever the order of its lines, and reads back as
// it was saved, which writes them by ID.
void DrawWhileLoading(Sim& s) {
  const PaintedFields as_read(s);
  try {
    s.NotifyDrawAllBlocks();
  } catch (const SimError&) {
  }
  as_read.Restore(s);
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
  if (line.size() < kMinBlockLineLength) return;
  size_t pos = 1;
  const std::string_view first = NextToken(line, pos);
  if (first == "zzz" || first == "ZZZ") {
    r.ModelEnd = true;
    return;
  }
  BlockLineRead read;
  if (!table::ForRowsWhile<kColumns>(
          [&](auto row) { return ReadColumn<decltype(row)::value>(r, line, pos, first, read); })) {
    return;
  }
  try {
    StoreBlockLine(s, read);
  } catch (RangeError& e) {
    RethrowAtLine(s, r, e);
  }
  // The block counts as read before its stored data: should that fail, the block is
  // still within HighestBlock, never hidden above it where the next Create would
  // silently overwrite it.
  if (read.id > s.HighestBlock) s.HighestBlock = read.id;
  const int32_t list_high = ToInt32(read.number[kListColumn]);
  if (list_high > 0) s.block(read.id).*kListMember = ReadStoredNumbers(r, int64_t{list_high} + 1, read.id);
  DrawWhileLoading(s);
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
  // The problems found are shown however the reading ends.
  struct ShowProblems {
    Sim& s;
    ModelReader& r;
    ~ShowProblems() {
      if (r.problems.empty() || !s.frontend) return;
      s.frontend->ShowProblems(r.problems, r.more_problems == 0 ? std::string()
                                                               : "and " + std::to_string(r.more_problems) +
                                                                     " more problems in " + s.DataFileName);
    }
  } show{s, r};
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

template <size_t Row>
void AppendColumn(std::string& out, const TBlock& b, int id) {
  using Kind = ColumnKind<Row>;
  constexpr auto m = table::kBlockMember<Row>;
  if constexpr (kRow<Row>.file_column > 0) out += kIsRestOfLine<Row> ? std::string_view(" ") : std::string_view("   ");
  if constexpr (std::is_same_v<Kind, BlockType>) {
    out += '@';
    out += TypeLetter(b.*m);
  } else if constexpr (kIsID<Row>) {
    AppendInt(out, id);
  } else if constexpr (std::is_same_v<Kind, int32_t>) {
    AppendInt(out, b.*m);
  } else if constexpr (std::is_same_v<Kind, double>) {
    AppendGeneral(out, b.*m);
  } else if constexpr (std::is_same_v<Kind, std::vector<double>>) {
    AppendInt(out, static_cast<int64_t>((b.*m).size()) - 1);
  } else if constexpr (kIsRestOfLine<Row>) {
    out += '"';
    out += CommentForFile(b.*m, kRow<Row>.max_length);
    out += '"';
  } else {
    out += NameForFile(b.*m, kRow<Row>.max_length);
  }
}

// The block line and its stored-data line, appended to the text being written without
// a string of its own for every field.
void AppendBlockLine(std::string& out, const Sim& s, int id) {
  const TBlock& b = s.block(id);
  table::ForRows<kColumns>([&](auto row) { AppendColumn<decltype(row)::value>(out, b, id); });
  out += kLineEnd;
  const std::vector<double>& list = b.*kListMember;
  if (list.size() > 1) {
    for (const double v : list) {
      const std::string t = FormatFixed(v, 4, 12);
      if (t[0] != ' ') out += ' ';  // a number filling its field would touch its neighbour
      out += t;
    }
    out += kLineEnd;
  }
}

// The line that names the columns: each row's name in the file, or its own name.
std::string ColumnDesignations() {
  std::string line;
  for (const size_t row : kColumns) {
    const BlockField& f = table::kBlockFields[row];
    if (!line.empty()) line += ' ';
    line += f.file_name ? f.file_name : f.name;
  }
  return line;
}

// A model larger than the reader takes would be written and then refused at the next
// open: it is refused before anything is written, naming the limit they share.
void RefuseLargerThan(const Sim& s, size_t limit) {
  IoError e = IoError::FromErrno(EFBIG, s.SaveFileName);
  e = IoError(std::string(e.what()) + ": the model would take more than " + std::to_string(limit) +
              " bytes, the most a model file may hold to be read back; nothing was written");
  e.code = EFBIG;
  e.path = s.SaveFileName;
  throw e;
}

// Each stored number takes a field of 12 characters at least: a list too long for the
// file is refused before its text is made.
void CheckStoredNumbersFit(const Sim& s, size_t limit) {
  size_t least = 0;
  for (int64_t id = 0; id <= s.HighestBlock; ++id) {
    if (IsBlockType(s.block(id).Type)) least += (s.block(id).*kListMember).size() * 12;
  }
  if (least > limit) RefuseLargerThan(s, limit);
}

}  // namespace

std::string WriteBlockLine(const Sim& s, int id) {
  std::string line;
  AppendBlockLine(line, s, id);
  return line;
}

std::string ModelFileText(const Sim& s, const std::string& recorded, size_t limit) {
  CheckStoredNumbersFit(s, limit);
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
  static const std::string columns = ColumnDesignations();
  put(columns);
  put("");
  for (int64_t id = 0; id <= s.HighestBlock; ++id) {
    if (IsBlockType(s.block(id).Type)) AppendBlockLine(text, s, static_cast<int>(id));
    if (text.size() > limit) RefuseLargerThan(s, limit);
  }
  put("ZZZ");
  if (text.size() > limit) RefuseLargerThan(s, limit);
  return text;
}

void SaveModel(Sim& s) {
  CheckNoFailedOpen(s.SaveFileName);
  WriteFileAtomically(s.SaveFileName, ModelFileText(s, LocalDateTime()));
}

}  // namespace trevolan
