#pragma once
#include <span>

#include "editing/form_fields.h"
#include "model/fields.h"
#include "model/sim.h"

namespace trevolan {

// The timing dialog: the clock parameters, edited on the globals directly; the system
// blocks follow when the changes are applied. Each label is numbered as its field.
struct TTimingFm {
  TTimingFm();

  std::string Caption;
  bool closed = true;

  EditField Edit1;   // Start
  EditField Edit8;   // Time
  EditField Edit2;   // FinTim
  EditField Edit4;   // Delt
  EditField Edit5;   // GrDel
  EditField Edit9;   // GrNext
  EditField Edit6;   // Holdstep
  EditField Edit7;   // Holdnext
  EditField Edit10;  // HighestBlock, shown only
  EditField Edit3;   // RepCount, the hold-trigger block
  LabelField Label1, Label8, Label2, Label4, Label5, Label9, Label6, Label7, Label10, Label3;
  ButtonField Apply, Cancel, DefaultsBtn;

  // Fills every field from the globals.
  void FormActivate(const Sim& s);
  // "Apply any Changes": parses the fields in their order and applies them
  // (EditTiming): the time steps repaired, the globals stored into the system blocks,
  // one compute pass. A field that does not
  // convert stops it there, with the fields before it taken and the dialog open.
  void ApplyClick(Sim& s);
  void CancelClick(Sim& s);
  // "Restore Defaults": rewrites the system blocks 0..31 and takes their timing; this
  // stays in force when the dialog is then cancelled.
  void DefaultsBtnClick(Sim& s);
};

// The dialog's layout: which edit field shows which global, in the order Apply takes
// them (HighestBlock is shown only).
struct TimingEdit {
  const GlobalField* field;
  EditField TTimingFm::*edit;
};
std::span<const TimingEdit> TimingFormLayout();

}  // namespace trevolan
