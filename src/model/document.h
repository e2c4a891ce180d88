#pragma once
#include <chrono>
#include <cstdint>
#include <set>
#include <string>

#include "model/sim.h"

// What the window knows about the model it holds beyond the model itself: whether it
// changed since it was opened or saved, which files this session opened or wrote (a
// file it knows may be replaced without asking), when a recovery copy is due, and
// whether a loaded model still waits for its first RESET.
namespace trevolan {

class Document {
 public:
  using Clock = std::chrono::steady_clock;

  // File, New, or the program started without a model: nothing to save to yet.
  void NewModel();
  // A model read from `path`. Open gives it a save file ("SaveFile"); the load at
  // start-up leaves the save file as it was, and so gives none of its own.
  void Loaded(const std::string& path, bool with_save_file);
  // A recovery copy of a model read from `path` restored. The file may have been
  // written since the copy was kept, or be another file by now: a save over it asks.
  void Restored(const std::string& path, bool with_save_file);
  // The model written to `path` (Save Model, Save Model As).
  void Written(const std::string& path);

  // Whether the model changed since it was opened or saved.
  bool modified() const { return modified_; }
  void SetModified(bool modified);
  // An edit, an undo or a redo: the recovery copy is behind the model.
  void Edited() { ++generation_; }

  // The file Save writes to, or empty when there is none yet (Save goes through
  // Save As then).
  std::string CurrentFile(const Sim& s) const;
  // The model's name in questions: the file it was last read from or written to
  // (which need not be the file Save writes: that one is named in full beside it).
  std::string DisplayName() const;
  // The file the model was last read from or written to; empty for a new model.
  const std::string& model_file() const { return model_file_; }

  // Whether writing the model to `path` may replace what is there without asking:
  // nothing is there, or this session opened or wrote that file.
  bool MayReplace(const std::string& path) const;

  // A recovery copy is due while the model has changes the copy lacks, at most every
  // `interval`; `now` for one before a run starts.
  bool RecoveryDue(Clock::time_point now, Clock::duration interval) const;
  bool RecoveryBehind() const { return modified_ && written_generation_ != generation_; }
  void RecoveryWritten(Clock::time_point now);

  // RESET pressed: the model starts from its initial values.
  void ResetPressed() { awaiting_reset_ = false; }
  // RUN pressed: true once for a model that was loaded and never reset since.
  bool TakeFirstRunHint();

  // The absolute, normal form of a path, by which this session knows its files.
  static std::string Key(const std::string& path);

 private:
  bool modified_ = false;
  bool save_file_ = false;  // Save goes to SaveFileName
  bool awaiting_reset_ = false, hint_given_ = false;
  std::string model_file_;
  std::set<std::string> known_;
  uint64_t generation_ = 0, written_generation_ = 0;
  Clock::time_point last_recovery_{};
  bool recovery_written_ = false;
};

// A recovery copy: the model's text, and what the window needs to go on where it was.
struct RecoveryCopy {
  std::string model_file;  // the file the copy belongs to; empty for a new model
  std::string data_file, save_file, caption;
  bool save_target = false;  // Save went to save_file
  std::string model_text;
};

// The text of a recovery copy of the model as it stands, recorded at `recorded`.
std::string RecoveryText(const Sim& s, const Document& d, const std::string& recorded);
// A recovery copy read back; IoError when the text is not one.
RecoveryCopy ParseRecoveryText(const std::string& text);
// Puts the copy's model in place of the one held, as Open would read it, with the file
// names and caption it had; the document counts it as changed and not yet saved.
void RestoreRecovery(Sim& s, Document& d, const RecoveryCopy& copy);

// The line that opens every recovery copy.
inline constexpr const char* kRecoveryFirstLine = "Trevolan recovery copy";

}  // namespace trevolan
