#pragma once
#include <array>
#include <span>

#include "display/colours.h"
#include "editing/form_fields.h"
#include "model/fields.h"
#include "model/sim.h"

namespace trevolan {

// One legend panel of the colour scale in the number display dialog.
struct ColourPanel {
  int left, top, width, height;
  Rgb colour;
};

// The Number Display Controls dialog: the span of the animation colours and the origin
// and factor of the scaled number display. It stays open after Apply and Restore
// Defaults; only Cancel closes it.
struct TNumberDatFm {
  TNumberDatFm();

  std::string Caption;
  int Width = 474, Height = 234;
  bool closed = true;

  std::array<ColourPanel, 21> Panels;  // the colour scale, entry 0 on the left
  EditField Edit1;  // ColourMin
  EditField Edit2;  // ColourMax
  EditField Edit3;  // ScaleOrgn
  EditField Edit4;  // ScaleFactr
  LabelField Label1, Label2, Label3, Label4, Label5, Label6, Label7, Label8;
  ButtonField ApplyBtn, CancelBtn, DefaultsBtn;

  void FormActivate(const Sim& s);
  // Takes the four fields in their order, then brings the system blocks up to date. A
  // field that does not convert stops it there: the fields before it are taken, and
  // the system blocks are not updated.
  void ApplyBtnClick(Sim& s);
  void CancelBtnClick();
  // Each setting back to the default its system block keeps in pp, written at once
  // into the block's Value; then the fields are refilled.
  void DefaultsBtnClick(Sim& s);
};

// The dialog's layout: which edit field shows which global.
struct NumberEdit {
  const GlobalField* field;
  EditField TNumberDatFm::*edit;
};
std::span<const NumberEdit> NumberFormLayout();

}  // namespace trevolan
