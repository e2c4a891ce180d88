#pragma once
#include <functional>
#include <string>

#include <QColor>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>

#include "display/colours.h"
#include "display/main_form.h"
#include "editing/form_fields.h"

// Small pieces every window of the program is made of: copying a form's texts into
// widgets and back, and the few controls that report more than Qt's own do.
namespace trevolan {

inline QString Q(const std::string& text) { return QString::fromStdString(text); }
inline std::string S(const QString& text) { return text.toStdString(); }
inline QColor ToColor(Rgb c) { return QColor(c.r, c.g, c.b); }

// Form to widget: text, visibility and tooltip.
void Show(QLineEdit* edit, const EditField& field);
void Show(QLabel* label, const LabelField& field);
void Show(QPushButton* button, const ButtonField& field);
// Widget to form: what the user typed.
inline void Take(const QLineEdit* edit, EditField& field) { field.text = S(edit->text()); }

// A label at a place of its dialog, sized to its text.
QLabel* PlacedLabel(QWidget* parent, int left, int top, const char* name);
// An edit field at a place of its dialog.
QLineEdit* PlacedEdit(QWidget* parent, int left, int top, int width, const char* name);
// A push button at a place of its dialog.
QPushButton* PlacedButton(QWidget* parent, int left, int top, int width, const char* name);
// Any other control at a place of its dialog.
void SetDesignPlace(QWidget* control, QRect place);

// The dialogs were drawn for one small font. FitDesign stretches a dialog's design, across
// and down, by the least factors that let every caption of its placed controls show whole
// at the font in use (as dialog units do), and gives the dialog the stretched size.
void FitDesign(QWidget* dialog, QSize design_size);

// Where a window of `size` goes beside `target` (both on the screen) within `screen`:
// to its right, else to its left, at its top, moved only as far as it must be to stay
// on the screen.
QPoint PlaceBeside(QRect target, QSize size, QRect screen);

// A push button that tells which mouse button was released on it: the left one as a
// click (also from the keyboard), the right and middle ones when they go up over it.
class MouseUpButton : public QPushButton {
 public:
  explicit MouseUpButton(QWidget* parent);
  std::function<void(MouseButton)> on_mouse_up;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
};

// A panel of the control bar or a docked panel: reports a left click, a right button
// released over it, and a change of its size. Labels on it pass their clicks on.
class Panel : public QFrame {
 public:
  explicit Panel(QWidget* parent);
  std::function<void()> on_click, on_right_up, on_resize;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
};

// Sets the background of a widget to a plain colour.
void SetBackground(QWidget* widget, QColor colour);
// Sets the text colour of a label or a button.
void SetTextColour(QWidget* widget, QColor colour);

}  // namespace trevolan
