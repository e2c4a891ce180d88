#include "model/tape_csv.h"

#include <charconv>
#include <cmath>

#include "model/atomic_file.h"

namespace trevolan {

namespace {

constexpr const char* kRowEnd = "\r\n";

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

// The shortest text that reads back to x; "nan", "inf" and "-inf" as most readers take them.
std::string CsvNumber(double x) {
  if (std::isnan(x)) return "nan";
  char buf[32];
  const auto result = std::to_chars(buf, buf + sizeof buf, x);
  return std::string(buf, result.ptr);
}

const std::string& ChannelName(const Sim& s, int c) {
  if (c >= kTapeColumns) throw RangeError();
  return s.block(c == 0 ? 2 : s.TapeChannelIDs[static_cast<size_t>(c)]).Name;
}

}  // namespace

std::string TapeCsvText(const Sim& s) {
  std::string text;
  for (int c = 0; c <= s.TapeChannels; ++c) text += (c > 0 ? "," : "") + CsvField(ChannelName(s, c));
  text += kRowEnd;
  for (int64_t r = 0; r <= s.TapeIndex; ++r) {
    for (int c = 0; c <= s.TapeChannels; ++c) text += (c > 0 ? "," : "") + CsvNumber(s.TapeCell(c, r));
    text += kRowEnd;
  }
  return text;
}

void SaveTapeCsv(const Sim& s, const std::string& path) { WriteFileAtomically(path, TapeCsvText(s)); }

}  // namespace trevolan
