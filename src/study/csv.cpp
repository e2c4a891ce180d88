#include "study/csv.h"

#include "model/numbers.h"

namespace trevolan::study {

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + '"';
}

std::string CsvLine(const std::vector<std::string>& fields) {
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i) line += ',';
    line += CsvField(fields[i]);
  }
  return line + "\r\n";
}

namespace {

int ChannelCount(const Sim& s) {
  if (s.TapeChannels < 0 || s.TapeChannels >= kTapeColumns) throw RangeError();
  return s.TapeChannels;
}

}  // namespace

TapeCsvWriter::TapeCsvWriter(const Sim& s, const std::string& path) : file_(path) {
  std::vector<std::string> names{s.block(kTimeBlock).Name};
  for (int c = 1; c <= ChannelCount(s); ++c) names.push_back(s.block(s.TapeChannelIDs[static_cast<size_t>(c)]).Name);
  file_.Append(CsvLine(names));
}

void TapeCsvWriter::WriteRow(const Sim& s) {
  line_.clear();
  for (int c = 0; c <= ChannelCount(s); ++c) {
    if (c) line_ += ',';
    line_ += FormatGeneral(s.TapeCell(c, s.TapeIndex));
  }
  line_ += "\r\n";
  file_.Append(line_);
}

void TapeCsvWriter::Commit() { file_.Commit(); }

}  // namespace trevolan::study
