#include "app/event_guard.h"

#include "app/cpu_state.h"
#include "model/errors.h"

#include <exception>
#include <new>

#include <QApplication>
#include <QMessageBox>

namespace trevolan {

bool EventGuard::Catch(const Handler& f, std::string& error) const {
  try {
    ClearAvxUpperState();  // the handler comes from Qt's event code and may compute
    f();
    return true;
  } catch (const RangeError& e) {
    error = e.what();
    const std::string detail = !e.detail.empty() ? e.detail : range_detail_ ? range_detail_() : "";
    if (!detail.empty()) error += "\n\n" + detail;
  } catch (const std::bad_alloc&) {
    error = "Out of memory";
  } catch (const std::exception& e) {
    error = e.what();
  }
  return false;
}

void EventGuard::ShowError(QWidget* parent, const std::string& text) {
  QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), QString::fromStdString(text),
                  QMessageBox::Ok, parent);
  box.exec();
}

void EventGuard::Report(QWidget* parent, const std::string& error) {
  error_shown_ = true;
  error_ = error;
  error_generation_ = generation_;
  ShowError(parent, error);
}

void EventGuard::Run(QWidget* parent, const Handler& handler) {
  ++generation_;
  std::string error;
  if (!Catch(handler, error)) Report(parent, error);
  // Bringing the widgets in line only copies texts; if even that fails, say so once.
  if (after_each_ && !Catch(after_each_, error)) ShowError(parent, error);
}

void EventGuard::Repaint(QWidget* parent, const Handler& repaint) {
  std::string error;
  if (Catch(repaint, error)) return;
  if (error_shown_ && error == error_ && error_generation_ == generation_) return;
  Report(parent, error);
}

}  // namespace trevolan
