#include "editing/timing_form.h"

#include "editing/field_edit.h"
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

namespace {

// A global as its edit shows it: integers in decimal, numbers in the general float
// format with the locale's separator.
std::string GlobalText(const Sim& s, const GlobalField* g) {
  const FieldValue v = ReadField(s, {.global = g});
  if (const auto* d = std::get_if<double>(&v)) return FormatEdit(*d);
  return FormatFieldValue(v);
}

}  // namespace

void TTimingFm::FormActivate(const Sim& s) {
  closed = false;
  for (const TimingEdit& e : TimingFormLayout()) (this->*e.edit).text = GlobalText(s, e.field);
}

void TTimingFm::ApplyClick(Sim& s) {
  GlobalValues values;
  try {
    for (const TimingEdit& e : TimingFormLayout()) {
      // HighestBlock is shown only: what is typed there is not taken.
      if (e.field->effect != FieldEffect::kTiming) continue;
      const std::string& text = (this->*e.edit).text;
      if (std::holds_alternative<int32_t Sim::*>(e.field->member)) {
        values.emplace_back(e.field, int64_t{EditToInt(text)});
      } else {
        values.emplace_back(e.field, EditToFloat(text));
      }
    }
  } catch (const SimError&) {
    // A field that does not convert stops Apply there, with the fields before it taken.
    WriteGlobals(s, values, Repairs::kRepair);
    throw;
  }
  closed = true;
  EditTiming(s, values, Repairs::kRepair);
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
  using F = TTimingFm;
  // In the order Apply takes them; HighestBlock is shown only.
  static const TimingEdit kLayout[] = {
      {FindGlobalField("Start"), &F::Edit1},    {FindGlobalField("FinTim"), &F::Edit2},
      {FindGlobalField("RepCount"), &F::Edit3}, {FindGlobalField("Delt"), &F::Edit4},
      {FindGlobalField("GrDel"), &F::Edit5},    {FindGlobalField("GrNext"), &F::Edit9},
      {FindGlobalField("Holdstep"), &F::Edit6}, {FindGlobalField("Holdnext"), &F::Edit7},
      {FindGlobalField("Time"), &F::Edit8},     {FindGlobalField("HighestBlock"), &F::Edit10}};
  return kLayout;
}

}  // namespace trevolan
