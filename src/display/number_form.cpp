#include "display/number_form.h"

#include "editing/field_edit.h"
#include "model/numbers.h"

namespace trevolan {

namespace {

std::array<ColourPanel, 21> LegendPanels() {
  std::array<ColourPanel, 21> panels{};
  for (size_t k = 0; k < panels.size(); ++k) {
    const int tall = k % 5 == 0 ? 33 : 21;  // entries 0, 5, 10, 15 and 20 stand out
    panels[k] = {24 + 20 * static_cast<int>(k), 24, 17, tall, kColourScale[k]};
  }
  panels[19].colour = Rgb{255, 255, 228};  // the legend's panel differs from entry 19
  return panels;
}

// A field's text as the dialog reads it: at most 255 characters.
double FieldNumber(const EditField& field) { return EditToFloat(field.text.substr(0, 255)); }

}  // namespace

TNumberDatFm::TNumberDatFm()
    : Caption("Number Display Controls"),
      Panels(LegendPanels()),
      Label1{"Colour sequence is based on increasing red, then green then blue. May depend on monitor"},
      Label2{"Minimum"},
      Label3{"Maximum"},
      Label4{"ANIMATION COLOURS"},
      Label5{"Display = (Value -- Origin)*ScaleFactor"},
      Label6{"Origin"},
      Label7{"Scale Factor"},
      Label8{"SCALED VALUES (integer display)"},
      ApplyBtn{"Apply Changes"},
      CancelBtn{"Cancel"},
      DefaultsBtn{"Restore Defaults", "This WILL happen!"} {}

void TNumberDatFm::FormActivate(const Sim& s) {
  closed = false;
  for (const NumberEdit& e : NumberFormLayout()) {
    (this->*e.edit).text = FormatEdit(std::get<double>(ReadField(s, {.global = e.field})));
  }
}

void TNumberDatFm::ApplyBtnClick(Sim& s) {
  GlobalValues values;
  try {
    for (const NumberEdit& e : NumberFormLayout()) values.emplace_back(e.field, FieldNumber(this->*e.edit));
  } catch (const SimError&) {
    // A field that does not convert stops Apply there: the fields before it are taken
    // and the system blocks are not brought up to date.
    WriteGlobals(s, values, Repairs::kRepair);
    throw;
  }
  EditNumbers(s, values, Repairs::kRepair);
}

void TNumberDatFm::CancelBtnClick() { closed = true; }

void TNumberDatFm::DefaultsBtnClick(Sim& s) {
  // The defaults routine of the system blocks keeps each program default in pp.
  const auto restore = [&s](double& setting, int id) {
    TBlock& b = s.block(id);
    setting = b.pp;
    b.Value = setting;
  };
  restore(s.ColourMin, 12);
  restore(s.ColourMax, 13);
  restore(s.ScaleOrgn, 10);
  restore(s.ScaleFactr, 11);
  FormActivate(s);
}

std::span<const NumberEdit> NumberFormLayout() {
  static const NumberEdit kLayout[] = {{FindGlobalField("ColourMin"), &TNumberDatFm::Edit1},
                                       {FindGlobalField("ColourMax"), &TNumberDatFm::Edit2},
                                       {FindGlobalField("ScaleOrgn"), &TNumberDatFm::Edit3},
                                       {FindGlobalField("ScaleFactr"), &TNumberDatFm::Edit4}};
  return kLayout;
}

}  // namespace trevolan
