#include "app/widgets.h"

#include <algorithm>
#include <cmath>

#include <QMouseEvent>
#include <QPalette>

namespace trevolan {

void Show(QLineEdit* edit, const EditField& field) {
  edit->setText(Q(field.text));
  edit->setCursorPosition(0);
  edit->setToolTip(Q(field.hint));
  edit->setVisible(field.visible);
}

void Show(QLabel* label, const LabelField& field) {
  label->setText(Q(field.caption));
  label->setToolTip(Q(field.hint));
  label->setVisible(field.visible);
  label->adjustSize();
}

void Show(QPushButton* button, const ButtonField& field) {
  button->setText(Q(field.caption));
  button->setToolTip(Q(field.hint));
}

namespace {

constexpr char kDesignPlace[] = "designPlace";
constexpr int kDesignLabelHeight = 13;  // a line of the font the dialogs were drawn for

QRect DesignPlace(const QWidget* w) { return w->property(kDesignPlace).toRect(); }

// The width a control's caption needs: a label its text, a button its text and margins.
int CaptionWidth(const QWidget* w) {
  if (const auto* label = qobject_cast<const QLabel*>(w)) return label->text().isEmpty() ? 0 : label->sizeHint().width();
  if (const auto* button = qobject_cast<const QPushButton*>(w)) {
    return button->text().isEmpty() ? 0 : button->fontMetrics().horizontalAdvance(button->text()) + 12;
  }
  return 0;
}

// The least stretch across that keeps each caption clear of the controls on its right
// and of the dialog's edge, and each button as wide as its caption.
double StretchAcross(const QList<QWidget*>& controls, QSize design_size) {
  double f = 1;
  for (const QWidget* w : controls) {
    const int need = CaptionWidth(w);
    if (need == 0 || w->isHidden()) continue;
    const QRect d = DesignPlace(w);
    if (qobject_cast<const QPushButton*>(w)) {
      f = std::max(f, static_cast<double>(need) / d.width());
      continue;
    }
    f = std::max(f, static_cast<double>(need + 2) / std::max(design_size.width() - d.left(), 1));
    for (const QWidget* other : controls) {
      const QRect o = DesignPlace(other);
      if (other == w || other->isHidden() || o.left() <= d.left()) continue;
      const int other_height = qobject_cast<const QLabel*>(other) ? kDesignLabelHeight : o.height();
      if (o.top() >= d.top() + kDesignLabelHeight || d.top() >= o.top() + other_height) continue;  // another row
      f = std::max(f, static_cast<double>(need + 2) / (o.left() - d.left()));
    }
  }
  return f;
}

}  // namespace

QPoint PlaceBeside(QRect target, QSize size, QRect screen) {
  constexpr int kGap = 16;
  int x = target.right() + 1 + kGap;
  if (x + size.width() > screen.right() + 1) x = target.left() - kGap - size.width();
  x = std::clamp(x, screen.left(), std::max(screen.left(), screen.right() + 1 - size.width()));
  const int y = std::clamp(target.top(), screen.top(), std::max(screen.top(), screen.bottom() + 1 - size.height()));
  return QPoint(x, y);
}

void SetDesignPlace(QWidget* control, QRect place) {
  control->setProperty(kDesignPlace, place);
  control->setGeometry(place);
}

QLabel* PlacedLabel(QWidget* parent, int left, int top, const char* name) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setProperty(kDesignPlace, QRect(left, top, 0, kDesignLabelHeight));
  label->move(left, top);
  return label;
}

QLineEdit* PlacedEdit(QWidget* parent, int left, int top, int width, const char* name) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  SetDesignPlace(edit, QRect(left, top, width, 21));
  return edit;
}

QPushButton* PlacedButton(QWidget* parent, int left, int top, int width, const char* name) {
  auto* button = new QPushButton(parent);
  button->setObjectName(QString::fromLatin1(name));
  SetDesignPlace(button, QRect(left, top, width, 25));
  button->setAutoDefault(false);
  return button;
}

void FitDesign(QWidget* dialog, QSize design_size) {
  QList<QWidget*> controls;
  for (QWidget* w : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (w->property(kDesignPlace).isValid()) controls.push_back(w);
  }
  const double across = StretchAcross(controls, design_size);
  // Down: as far as an edit field or a button of the font in use is taller than drawn.
  double down = 1;
  for (const QWidget* w : controls) {
    if (qobject_cast<const QLineEdit*>(w) || qobject_cast<const QPushButton*>(w)) {
      down = std::max(down, static_cast<double>(w->sizeHint().height()) / DesignPlace(w).height());
    }
  }
  const auto x = [across](int v) { return static_cast<int>(std::lround(v * across)); };
  const auto y = [down](int v) { return static_cast<int>(std::lround(v * down)); };
  for (QWidget* w : controls) {
    const QRect d = DesignPlace(w);
    if (auto* label = qobject_cast<QLabel*>(w)) {
      label->adjustSize();
      label->move(x(d.left()), y(d.top()));
    } else {
      w->setGeometry(x(d.left()), y(d.top()), x(d.width()), y(d.height()));
    }
  }
  dialog->setFixedSize(x(design_size.width()), y(design_size.height()));
}

MouseUpButton::MouseUpButton(QWidget* parent) : QPushButton(parent) {
  connect(this, &QPushButton::clicked, this, [this] {
    if (on_mouse_up) on_mouse_up(MouseButton::Left);
  });
}

void MouseUpButton::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    QPushButton::mousePressEvent(event);
  } else {
    event->accept();  // so that its release comes here
  }
}

void MouseUpButton::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    QPushButton::mouseReleaseEvent(event);
    return;
  }
  event->accept();
  if (!rect().contains(event->position().toPoint()) || !on_mouse_up) return;
  if (event->button() == Qt::RightButton) on_mouse_up(MouseButton::Right);
  if (event->button() == Qt::MiddleButton) on_mouse_up(MouseButton::Middle);
}

Panel::Panel(QWidget* parent) : QFrame(parent) {}

void Panel::mousePressEvent(QMouseEvent* event) { event->accept(); }

void Panel::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  if (!rect().contains(event->position().toPoint())) return;
  if (event->button() == Qt::LeftButton && on_click) on_click();
  if (event->button() == Qt::RightButton && on_right_up) on_right_up();
}

void Panel::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  if (on_resize) on_resize();
}

void SetBackground(QWidget* widget, QColor colour) {
  QPalette p = widget->palette();
  p.setColor(QPalette::Window, colour);
  widget->setPalette(p);
  widget->setAutoFillBackground(true);
}

void SetTextColour(QWidget* widget, QColor colour) {
  QPalette p = widget->palette();
  p.setColor(QPalette::WindowText, colour);
  p.setColor(QPalette::ButtonText, colour);
  widget->setPalette(p);
}

}  // namespace trevolan
