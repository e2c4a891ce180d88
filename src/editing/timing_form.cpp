#include "editing/timing_form.h"

#include "blocks/compute.h"
#include "model/numbers.h"

namespace trevolan {

TTimingFm::TTimingFm()
    : Caption("Timing Data for Simulation"),
      Label1{"Start Time"},
      Label8{"Current Time"},
      Label2{"Finish Time"},
      Label4{"Delta Time (delt)"},
      Label5{"Graph (clock) Step"},
      Label9{"Graph Next"},
      Label6{"Hold Step"},
      Label7{"Hold Next"},
      Label10{"Blocks: Highest No."},
      Label3{"Block to trigger Hold"},
      Apply{"Apply any Changes"},
      Cancel{"Cancel"},
      DefaultsBtn{"Restore Defaults"} {}

void TTimingFm::FormActivate(const Sim& s) {
  closed = false;
  Edit1.text = FormatEdit(s.Start);
  Edit8.text = FormatEdit(s.Time);
  Edit2.text = FormatEdit(s.FinTim);
  Edit4.text = FormatEdit(s.Delt);
  Edit5.text = FormatEdit(s.GrDel);
  Edit9.text = FormatEdit(s.GrNext);
  Edit6.text = FormatEdit(s.Holdstep);
  Edit7.text = FormatEdit(s.Holdnext);
  Edit10.text = std::to_string(s.HighestBlock);
  Edit3.text = std::to_string(s.RepCount);
}

void TTimingFm::ApplyClick(Sim& s) {
  s.Start = EditToFloat(Edit1.text);
  s.FinTim = EditToFloat(Edit2.text);
  s.RepCount = EditToInt(Edit3.text);
  s.block(kRepCountBlock).Dn = s.RepCount;
  s.Delt = EditToFloat(Edit4.text);
  s.GrDel = EditToFloat(Edit5.text);
  s.GrNext = EditToFloat(Edit9.text);
  s.Holdstep = EditToFloat(Edit6.text);
  s.Holdnext = EditToFloat(Edit7.text);
  s.Time = EditToFloat(Edit8.text);
  // Edit10 (HighestBlock) is shown only: what is typed there is not taken.
  closed = true;
  ApplyTimingRules(s);
}

void ApplyTimingRules(Sim& s) {
  CheckTiming(s);
  StoreTimingGlobals(s);
  ComputeAllBlocks(s);
  s.NotifyRedrawDiagram();
  s.NotifyDrawTimePlot();
}

void TTimingFm::CancelClick(Sim& s) {
  closed = true;
  s.NotifyRedrawDiagram();
  s.NotifyDrawTimePlot();
}

void TTimingFm::DefaultsBtnClick(Sim& s) {
  SetSystemDefaults(s);
  LoadTimingGlobals(s);
  FormActivate(s);
}

std::span<const TimingEdit> TimingFormLayout() {
  using S = Sim;
  using F = TTimingFm;
  static constexpr TimingEdit kLayout[] = {
      {&S::Start, &F::Edit1},    {&S::Time, &F::Edit8},     {&S::FinTim, &F::Edit2},       {&S::Delt, &F::Edit4},
      {&S::GrDel, &F::Edit5},    {&S::GrNext, &F::Edit9},   {&S::Holdstep, &F::Edit6},     {&S::Holdnext, &F::Edit7},
      {&S::RepCount, &F::Edit3}, {&S::HighestBlock, &F::Edit10}};
  return kLayout;
}

}  // namespace trevolan
