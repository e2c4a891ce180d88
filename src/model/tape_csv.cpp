#include "model/tape_csv.h"

#include <charconv>
#include <cmath>

namespace trevolan {

namespace {

constexpr const char* kRowEnd = "\r\n";

int ChannelCount(const Sim& s) {
  if (s.TapeChannels < 0 || s.TapeChannels >= kTapeColumns) throw RangeError();
  return s.TapeChannels;
}

std::string HeaderLine(const Sim& s) {
  std::vector<std::string> names{s.block(kTimeBlock).Name};
  for (int c = 1; c <= ChannelCount(s); ++c) names.push_back(s.block(s.TapeChannelIDs[static_cast<size_t>(c)]).Name);
  return CsvLine(names);
}

void AppendRow(std::string& out, const Sim& s, int64_t row) {
  for (int c = 0; c <= ChannelCount(s); ++c) {
    if (c) out += ',';
    out += CsvNumber(s.TapeCell(c, row));
  }
  out += kRowEnd;
}

}  // namespace

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

std::string CsvLine(const std::vector<std::string>& fields) {
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i) line += ',';
    line += CsvField(fields[i]);
  }
  return line + kRowEnd;
}

std::string CsvNumber(double x) {
  if (std::isnan(x)) return "nan";  // to_chars would write "-nan" for a negative one
  char buf[32];
  return std::string(buf, std::to_chars(buf, buf + sizeof buf, x).ptr);
}

std::string TapeCsvText(const Sim& s) {
  std::string text = HeaderLine(s);
  for (int64_t r = 0; r <= s.TapeIndex; ++r) AppendRow(text, s, r);
  return text;
}

void SaveTapeCsv(const Sim& s, const std::string& path) { WriteFileAtomically(path, TapeCsvText(s)); }

TapeCsvWriter::TapeCsvWriter(const Sim& s, const std::string& path) : file_(path) { file_.Append(HeaderLine(s)); }

void TapeCsvWriter::WriteRow(const Sim& s) {
  line_.clear();
  AppendRow(line_, s, s.TapeIndex);
  file_.Append(line_);
}

void TapeCsvWriter::Commit() { file_.Commit(); }

}  // namespace trevolan
