#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/sim.h"

// Undo and redo of edits. An edit runs through the same forms and procedures as
// always; a recorder looks at the model before and after it and keeps only what the
// edit touched: the blocks and the globals that differ, each before and after. The
// tape is never part of it: undoing an edit does not rewind a run.
namespace trevolan {

// One block an edit touched, as it was before and after.
struct BlockChange {
  int32_t id;
  TBlock before, after;
};

// One global an edit touched (a simulation global, HighestBlock or an entry of the
// tape's channel list), its values held as doubles, which hold every int32 exactly.
struct GlobalChange {
  int index;  // into the table of recorded globals
  double before, after;
};

// The record of one edit: a command object that takes the model back to the state
// before the edit and forward again. Only the fields the edit changed are written, so
// an undo after a run leaves what the run did to the other fields alone.
class ModelChange {
 public:
  ModelChange() = default;
  ModelChange(std::string name, std::vector<BlockChange> blocks, std::vector<GlobalChange> globals)
      : name_(std::move(name)), blocks_(std::move(blocks)), globals_(std::move(globals)) {}

  // What the edit was, for the Edit menu: "Apply to block 105".
  const std::string& name() const { return name_; }
  void set_name(std::string name) { name_ = std::move(name); }
  bool empty() const { return blocks_.empty() && globals_.empty(); }
  const std::vector<BlockChange>& blocks() const { return blocks_; }
  const std::vector<GlobalChange>& globals() const { return globals_; }
  // Whether the edit turned block id into an empty slot (the block dialog's Delete).
  bool Emptied(int64_t id) const;

  void Undo(Sim& s) const;
  void Redo(Sim& s) const;

 private:
  std::string name_;
  std::vector<BlockChange> blocks_;
  std::vector<GlobalChange> globals_;
};

// The model as it stood when the recorder was made; Finish compares it with the model
// as it stands then. The copy lives only while the edit runs.
class ChangeRecorder {
 public:
  explicit ChangeRecorder(const Sim& s);
  ~ChangeRecorder();
  ChangeRecorder(const ChangeRecorder&) = delete;
  ChangeRecorder& operator=(const ChangeRecorder&) = delete;

  ModelChange Finish(const Sim& s, std::string name) const;

 private:
  std::unique_ptr<std::vector<TBlock>> blocks_;
  std::vector<double> globals_;
};

// The names of the edits, as the Edit menu shows them after "Undo " and "Redo ".
std::string ApplyOrDeleteName(const ModelChange& change, int64_t id);  // the block dialog
std::string ClickName(int64_t id);
std::string MoveName(int64_t id);
std::string CreateName(int64_t id);
std::string InsertName(int64_t id);
std::string CopyName(int64_t from, int64_t to);
inline constexpr const char* kTimingChangeName = "Apply timing";
inline constexpr const char* kNumberDisplayChangeName = "Apply number display";

}  // namespace trevolan
