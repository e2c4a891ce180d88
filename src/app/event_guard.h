#pragma once
#include <cstdint>
#include <functional>
#include <string>

class QWidget;

namespace trevolan {

// The one wrapper every handler of the window and its dialogs runs in. The core's
// errors are exceptions that nothing inside it catches: here their text is shown in a
// modal box and the program goes on with the state as far as the handler got.
class EventGuard {
 public:
  using Handler = std::function<void()>;

  // `after_each` runs after every handler, also a failed one: it brings the widgets in
  // line with the state (captions, check marks, the plot panel).
  void SetAfterEach(Handler after_each) { after_each_ = std::move(after_each); }

  // Says which value of the model went beyond its bounds; shown below the text of a
  // range error, which stays the program's own message.
  void SetRangeDetail(std::function<std::string()> detail) { range_detail_ = std::move(detail); }

  // Runs a handler of a button, a menu item, a mouse event or a dialog.
  void Run(QWidget* parent, const Handler& handler);

  // Runs a repaint that no handler asked for (a paint box shown or resized). Its error
  // is shown once: the same error again is not shown until a handler has run since,
  // so a model that cannot be drawn does not bring its box back at every repaint.
  void Repaint(QWidget* parent, const Handler& repaint);

  // Handlers run so far; a drawing error is shown again once this has moved on.
  uint64_t generation() const { return generation_; }

  // Shows one error in a modal box (the application's title, an OK button).
  static void ShowError(QWidget* parent, const std::string& text);

 private:
  // Runs `f`; false with the text of the error it raised.
  bool Catch(const Handler& f, std::string& error) const;
  // Shows an error and remembers it, before the box opens: repaints while it is open
  // are repaints of the same picture.
  void Report(QWidget* parent, const std::string& error);

  Handler after_each_;
  std::function<std::string()> range_detail_;
  uint64_t generation_ = 0;
  bool error_shown_ = false;
  uint64_t error_generation_ = 0;  // the handlers run when it was shown
  std::string error_;
};

}  // namespace trevolan
