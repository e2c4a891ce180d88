#pragma once
#include <string>
#include <utility>

// The pieces a dialog's form object is made of. A form holds every text a dialog shows;
// the window only copies these to and from its widgets.
namespace trevolan {

// An edit field: its text, whether it is shown, and its tooltip.
struct EditField {
  EditField() = default;
  EditField(std::string text_, bool visible_, std::string hint_)
      : text(std::move(text_)), visible(visible_), hint(std::move(hint_)) {}
  std::string text;
  bool visible = true;
  std::string hint;
};

// A label: its caption, its tooltip, and whether it is shown.
struct LabelField {
  LabelField() = default;
  explicit LabelField(std::string caption_, std::string hint_ = {})
      : caption(std::move(caption_)), hint(std::move(hint_)) {}
  std::string caption;
  std::string hint;
  bool visible = true;
};

// A push button's caption and tooltip.
struct ButtonField {
  ButtonField() = default;
  explicit ButtonField(std::string caption_, std::string hint_ = {})
      : caption(std::move(caption_)), hint(std::move(hint_)) {}
  std::string caption;
  std::string hint;
};

}  // namespace trevolan
