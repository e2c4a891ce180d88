#include "model/document.h"

#include <filesystem>
#include <system_error>

#include "model/file_commands.h"
#include "model/model_file.h"

namespace trevolan {

namespace {

namespace fs = std::filesystem;

constexpr const char* kModelKey = "model: ";
constexpr const char* kDataKey = "data: ";
constexpr const char* kSaveKey = "save: ";
constexpr const char* kCaptionKey = "caption: ";
constexpr const char* kTargetKey = "save file chosen: ";

// A name on one header line, whole: a backslash, CR and LF are escaped as \\, \r and
// \n, so that a file named with a line break is restored to that name, not another.
std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      out += c;
    }
  }
  return out;
}

std::string Unescaped(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char c = text[++i];
    out += c == 'n' ? '\n' : c == 'r' ? '\r' : c;
  }
  return out;
}

// What follows the first line in copies whose names are escaped; older copies, whose
// names lost their line breaks, have nothing there and are read as they are.
constexpr const char* kEscapedMark = ", names escaped";

// The value of the header line `key` at `pos`, which moves past it; IoError when the
// line is another.
std::string HeaderValue(const std::string& text, size_t& pos, const std::string& key) {
  const size_t end = text.find('\n', pos);
  if (end == std::string::npos || text.compare(pos, key.size(), key) != 0) {
    throw IoError("I/O error: not a recovery copy");
  }
  std::string value = text.substr(pos + key.size(), end - pos - key.size());
  pos = end + 1;
  return value;
}

}  // namespace

std::string Document::Key(const std::string& path) {
  std::error_code error;
  const fs::path absolute = fs::absolute(fs::path(path), error);
  return error ? path : absolute.lexically_normal().string();
}

void Document::NewModel() {
  SetModified(false);
  save_file_ = false;
  awaiting_reset_ = false;
  model_file_.clear();
}

void Document::Loaded(const std::string& path, bool with_save_file) {
  SetModified(false);
  save_file_ = with_save_file;
  awaiting_reset_ = true;
  hint_given_ = false;
  model_file_ = path;
  known_.insert(Key(path));
}

void Document::Restored(const std::string& path, bool with_save_file) {
  Loaded(path, with_save_file);
  known_.erase(Key(path));
}

void Document::Written(const std::string& path) {
  SetModified(false);
  save_file_ = true;
  model_file_ = path;
  known_.insert(Key(path));
}

void Document::SetModified(bool modified) {
  if (modified == modified_) return;
  modified_ = modified;
  ++generation_;
  // A model without changes needs no copy; the next change starts the interval anew.
  if (!modified) recovery_written_ = false;
}

std::string Document::CurrentFile(const Sim& s) const { return save_file_ ? s.SaveFileName : std::string(); }

std::string Document::DisplayName() const {
  if (!model_file_.empty()) return FilePart(model_file_);
  return "the new model";
}

bool Document::MayReplace(const std::string& path) const {
  std::error_code error;
  if (!fs::exists(fs::path(path), error) && !error) return true;
  return known_.count(Key(path)) != 0;
}

bool Document::RecoveryDue(Clock::time_point now, Clock::duration interval) const {
  if (!RecoveryBehind()) return false;
  return !recovery_written_ || now - last_recovery_ >= interval;
}

void Document::RecoveryWritten(Clock::time_point now) {
  written_generation_ = generation_;
  last_recovery_ = now;
  recovery_written_ = true;
}

bool Document::TakeFirstRunHint() {
  if (!awaiting_reset_ || hint_given_) return false;
  hint_given_ = true;
  return true;
}

std::string RecoveryText(const Sim& s, const Document& d, const std::string& recorded) {
  // The files as absolute paths: a copy restored from another working folder must still
  // name the files it came from, and Save must still write where it would have.
  const auto absolute = [](const std::string& path) { return path.empty() ? path : Document::Key(path); };
  std::string text = std::string(kRecoveryFirstLine) + kEscapedMark + "\n";
  text += kModelKey + Escaped(absolute(d.model_file())) + "\n";
  text += kDataKey + Escaped(absolute(s.DataFileName)) + "\n";
  text += kSaveKey + Escaped(absolute(s.SaveFileName)) + "\n";
  text += kCaptionKey + Escaped(s.WindowCaption) + "\n";
  text += std::string(kTargetKey) + (d.CurrentFile(s).empty() ? "0" : "1") + "\n";
  return text + ModelFileText(s, recorded);
}

RecoveryCopy ParseRecoveryText(const std::string& text) {
  size_t pos = 0;
  const std::string mark = HeaderValue(text, pos, kRecoveryFirstLine);
  if (!mark.empty() && mark != kEscapedMark) throw IoError("I/O error: not a recovery copy");
  const auto name = [&](const char* key) {
    const std::string value = HeaderValue(text, pos, key);
    return mark.empty() ? value : Unescaped(value);
  };
  RecoveryCopy copy;
  copy.model_file = name(kModelKey);
  copy.data_file = name(kDataKey);
  copy.save_file = name(kSaveKey);
  copy.caption = name(kCaptionKey);
  copy.save_target = HeaderValue(text, pos, kTargetKey) == "1";
  copy.model_text = text.substr(pos);
  return copy;
}

void RestoreRecovery(Sim& s, Document& d, const RecoveryCopy& copy) {
  ClearBlockTable(s);
  SetSystemDefaults(s);
  LoadTimingGlobals(s);
  s.HighestBlock = 100;
  s.TapeChannels = 0;
  ReadModelText(s, copy.model_text);
  LoadTimingGlobals(s);
  CheckTiming(s);
  s.DataFileName = copy.data_file;
  s.SaveFileName = copy.save_file;
  s.WindowCaption = copy.caption;
  if (copy.model_file.empty()) {
    d.NewModel();
  } else {
    d.Restored(copy.model_file, copy.save_target);
  }
  d.SetModified(true);
  s.NotifyFormPaint();
}

}  // namespace trevolan
