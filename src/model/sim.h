#pragma once
#include <array>
#include <memory>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "model/block.h"
#include "model/errors.h"
#include "model/frontend.h"
#include "model/step_hook.h"

namespace trevolan {

class Workbook;  // the spreadsheet link's workbook

inline constexpr int kTapeColumns = 11;     // time and ten channels
inline constexpr int kTapeRows = 10001;     // rows 0..10000
inline constexpr int kMaxTapeChannels = 10;

// The model a file holds: the block table and the model's globals. A value: copying it
// copies the model, and a second model in memory is a second one of these.
struct ModelState {
  // Simulation globals, each mirroring the Value of a system block (2..17). These and
  // the three below start from the system blocks, which hold their defaults (the
  // table of fields, model/field_rows.h): the Sim loads them when it is made.
  double Time{}, Delt{}, Start{}, FinTim{};
  double GrDel{}, GrNext{}, Holdstep{}, Holdnext{};
  double ScaleOrgn{}, ScaleFactr{}, ColourMin{}, ColourMax{};
  double GrMinT{}, GrMaxT{}, GrMinY{}, GrMaxY{};
  double TimeTol = 0.001;
  int32_t RepCount{};   // ID of the hold-trigger block, mirrors block 18's Dn
  int32_t VertIntv{};   // block 19's Value, rounded: intervals of the plot's value axis
  int32_t HorizIntv{};  // block 19's pp, rounded: intervals of the plot's time axis
  int32_t HighestBlock = 100;  // bound of every loop over the table

  // The channels the tape records (from the Graphs block's list).
  int32_t TapeChannels = 0;   // channels recorded, 0..10; 0 records nothing
  std::array<int32_t, kTapeColumns> TapeChannelIDs{};  // entry 0 is the Time block

  std::string DataFileName = "datafile.txt";
  std::string SaveFileName = "savefile.txt";
  std::string TapeFileName = "tapefile.txt";

 protected:
  std::array<TBlock, kBlockSlots> blocks_;  // reached through Sim::block
};

// The state of the run: the clock's flags, the steps taken, the tape's last row and the
// random generator with the blocks' own streams. The tape's cells are the Sim's own.
struct RunState {
  bool HoldFlag = true;
  bool RunBusy = false;        // keeps a second run loop from starting inside the first
  int64_t StepsTaken = 0;      // steps run since the program started
  int32_t TapeIndex = -1;      // last row of the tape written, -1 when empty

  // One generator for every random draw, seeded the same way at every start (unless
  // the blocks draw from streams of their own, block_streams).
  static constexpr uint64_t kSeed = 5489u;
  std::mt19937_64 rng{kSeed};
  // The state of every block's own stream of common random numbers (model/seed.h),
  // indexed by block ID; empty while every block draws from rng, as it does unless a
  // seed asks for the streams. Part of the generator's position: a copy of the run
  // state draws on from where the original stands.
  std::vector<uint64_t> block_streams;

  // Set by the run loop for a run whose frontend paints nothing and lets nobody edit,
  // while no links are drawn, no number is scaled and every block lies well inside the
  // plane: a placed block's drawing then matters by its type alone, and the many state
  // changes of a discrete model cost one test each. An Access block that moves a block
  // or sets a Sine's phase link clears it. DrawsByType: some placed block's type draws.
  bool QuietDrawing = false;
  bool DrawsByType = false;
};

// What the window shows of the model: the picked block, the flags of the display, the
// captions, the plot's geometry and where the mouse was last.
struct ViewState {
  bool AnimFlag = true;
  bool LinksFlag = true;       // true only while a full redraw is in progress
  bool GridFlag = false;
  bool PlotFlag = false;
  int32_t NumberMode = 0;
  int32_t PickedBlock = 0;
  int32_t LastX = 100, LastY = 100;
  int64_t ClockSeconds = 0;
  std::string WindowCaption = "Trevolan4";
  std::string RunCaption = "RUN";

  // Plot geometry in pixels of the plot box; only the width ever changes.
  int32_t PlotWidth = 700, PlotHeight = 379, PlotLeft = 0, PlotTop = 0;
};

// The whole state of one simulator: the model, its run and its view (each a part that
// is copied as a whole), the tape's cells, the spreadsheet link, the frontend and the
// observers of the run's steps.
// Constructing one prepares it as the program start does; a test may hold as many
// independent ones as it likes. The fields keep their names: s.Time, s.HoldFlag,
// s.PickedBlock. Named fields are described in the table of fields (model/fields.h).
struct Sim : ModelState, RunState, ViewState {
  Sim();
  Sim(const Sim&) = delete;
  Sim& operator=(const Sim&) = delete;

  ModelState& model() { return *this; }
  const ModelState& model() const { return *this; }
  RunState& run() { return *this; }
  const RunState& run() const { return *this; }
  ViewState& view() { return *this; }
  const ViewState& view() const { return *this; }

  // The block with that ID; RangeError outside 0..1000. The only way into the table.
  // Every compute procedure calls it several times a step, so it must stay inline:
  // one unsigned comparison, with the throw kept out of line.
  [[gnu::always_inline]] TBlock& block(int64_t id) {
    if (static_cast<uint64_t>(id) > kMaxBlockID) ThrowRangeError();
    return blocks_[static_cast<size_t>(id)];
  }
  [[gnu::always_inline]] const TBlock& block(int64_t id) const {
    if (static_cast<uint64_t>(id) > kMaxBlockID) ThrowRangeError();
    return blocks_[static_cast<size_t>(id)];
  }
  // The Value of the block with that ID: Va, Vb, ... of the compute procedures.
  [[gnu::always_inline]] double V(int64_t id) const { return block(id).Value; }

  // The tape cell of column c (0 time, 1..10 channels) and row r; RangeError outside.
  double& TapeCell(int64_t c, int64_t r) {
    if (c < 0 || c >= kTapeColumns || r < 0 || r >= kTapeRows) throw RangeError();
    if (tape_.empty()) MakeTapeCells();
    return tape_[static_cast<size_t>(c * kTapeRows + r)];
  }
  double TapeCell(int64_t c, int64_t r) const {
    if (c < 0 || c >= kTapeColumns || r < 0 || r >= kTapeRows) throw RangeError();
    return tape_.empty() ? tape_fill_ : tape_[static_cast<size_t>(c * kTapeRows + r)];
  }
  // Every cell := v. The 880 KB of cells are filled only when one is first written,
  // so that a fresh or cleared Sim (a model read to be checked or copied) costs little.
  void FillTape(double v) {
    tape_fill_ = v;
    tape_.clear();  // keeps the memory for the next filling
  }

  // A uniform random number in [0, 1) from 53 random bits, drawn for block `id`: from
  // the block's own stream when the streams are set up, else from the one generator.
  [[gnu::always_inline]] double Uniform(int id) {
    if (block_streams.empty()) [[likely]] return static_cast<double>(rng() >> 11) * 0x1.0p-53;
    return StreamUniform(id);
  }

  // The spreadsheet link: set once a workbook has been loaded and started, and stays
  // set for the life of the program.
  bool SpreadsheetLinked = false;
  std::shared_ptr<Workbook> workbook;

  // Where notifications go; null means nobody listens.
  Frontend* frontend = nullptr;
  // Who reads the run after RESET and after every step, apart from the window.
  StepHook step_hook;

  // Notifications, each a single predictable branch when nobody listens.
  void ShowMessage(const std::string& text) { if (frontend) frontend->ShowMessage(text); }
  void NotifyProcessMessages() { if (frontend) frontend->ProcessMessages(); }
  [[gnu::always_inline]] void NotifyDrawBlock(int id) {
    if (!frontend) return;
    const TBlock& b = block(id);
    const bool inert = QuietDrawing ? b.XX <= 0 || TypeDrawsInert(b) : frontend->paints_nothing && DrawingIsInert(b);
    if (!inert) frontend->DrawBlock(id);
  }
  // The same for a block of a type that draws nothing that matters on a canvas that
  // paints nothing (every type but the Sine, the Visualizer and the Switch): in a quiet
  // run (QuietDrawing) it need not even be looked at.
  [[gnu::always_inline]] void NotifyDrawPlainBlock(int id) {
    if (!QuietDrawing) NotifyDrawBlock(id);
  }
  void NotifyDrawAllBlocks() { if (frontend) frontend->DrawAllBlocks(); }
  void NotifyRedrawDiagram() { if (frontend) frontend->RedrawDiagram(); }
  void NotifyGrPlotPnlPrep() { if (frontend) frontend->GrPlotPnlPrep(); }
  void NotifyDrawTimePlot() { if (frontend) frontend->DrawTimePlot(); }
  void NotifyShowStatus() { if (frontend) frontend->ShowStatus(); }
  void NotifyFormPaint() { if (frontend) frontend->FormPaint(); }
  void NotifyTapeRowRecorded() { if (frontend) frontend->TapeRowRecorded(); }

  // Whether drawing block b outside a full redraw on a canvas that paints nothing can
  // neither raise an error nor change the model, by the rules of the diagram
  // (DrawBlock): a block that is not placed draws nothing; without links and without
  // the scaled number display (whose rounding can fail) a label and its number line
  // can fail only by coordinates at the edge of the 32-bit range; the Sine draws its
  // phase link always, the Switch reads the block it shows, the Visualizer computes
  // its Value.
  [[gnu::always_inline]] bool DrawingIsInert(const TBlock& b) const {
    if (b.XX <= 0) return true;
    if (LinksFlag || NumberMode == 2 || !IsWellInside(b)) return false;
    return TypeDrawsInert(b);
  }
  [[gnu::always_inline]] static bool IsWellInside(const TBlock& b) {
    constexpr int32_t kFarOut = 1 << 30;  // no offset of a drawing leaves 32 bits from inside this
    return b.XX < kFarOut && b.YY < kFarOut && b.YY > -kFarOut;
  }
  [[gnu::always_inline]] static bool TypeDrawsInert(const TBlock& b) {
    switch (b.Type) {
      case BlockType::Sine: return b.Pn <= 0;
      case BlockType::Visualizer:
      case BlockType::Witch: return false;
      default: return true;
    }
  }

  // Plans QuietDrawing and DrawsByType for a run.
  void PlanQuietDrawing();

  void SetRunCaption(const std::string& caption) {
    RunCaption = caption;
    if (frontend) frontend->RunCaptionChanged(caption);
  }

 private:
  [[gnu::cold, gnu::noinline]] void MakeTapeCells();
  // The draw of Uniform from block id's stream (model/seed.h); RangeError outside 0..1000.
  [[gnu::noinline]] double StreamUniform(int id);

  std::vector<double> tape_;  // empty while every cell holds tape_fill_
  double tape_fill_ = 0;
};

// Empties every slot, resets the tape's channel list and fills the tape with -1.
void ClearBlockTable(Sim& s);
// Writes the system blocks 0..31 with their defaults.
void SetSystemDefaults(Sim& s);
// System blocks -> globals.
void LoadTimingGlobals(Sim& s);
// Globals -> system blocks (and blocks 0 and 1 forced back to 0 and 1).
void StoreTimingGlobals(Sim& s);
// The time steps as the timing check leaves them: Delt above 0 (else 1), the graph
// step GrDel at most Holdstep, Delt at most GrDel.
struct TimeSteps {
  double Delt, GrDel, Holdstep;
};
TimeSteps CheckedTimeSteps(TimeSteps t);
// Repairs the time steps (CheckedTimeSteps) and sets TimeTol.
void CheckTiming(Sim& s);
// Empties the flux inlet (pp) of every Integrator.
void ClearIntegratorInlets(Sim& s);
// The fields that a paint writes into the model, as they are now: a Visualizer's Value
// (and, on a wrong source, its Name, Displ and State). A paint whose results are not
// the model's (one while a file loads, a repaint of what was drawn before) puts them
// back with Restore.
class PaintedFields {
 public:
  explicit PaintedFields(const Sim& s);
  void Restore(Sim& s) const;

 private:
  struct Shown {
    int id;
    double value;
    std::string name;
    int32_t displ, state;
  };
  std::vector<Shown> visualizers_;
};
// The program's own warning: text, two blanks, n.
void ShowNumberMessage(Sim& s, const std::string& text, int64_t n);
// A typed block ID clamped into 0..1000, telling the user when it was changed.
int32_t CheckBlockID(Sim& s, int64_t n);

// The name "?" + i + " " of an empty slot, cut to 10 characters.
std::string EmptySlotName(int i);

}  // namespace trevolan
