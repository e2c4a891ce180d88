#include "app/widgets.h"

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

QLabel* PlacedLabel(QWidget* parent, int left, int top, const char* name) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  label->move(left, top);
  return label;
}

QLineEdit* PlacedEdit(QWidget* parent, int left, int top, int width, const char* name) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setGeometry(left, top, width, 21);
  return edit;
}

QPushButton* PlacedButton(QWidget* parent, int left, int top, int width, const char* name) {
  auto* button = new QPushButton(parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setGeometry(left, top, width, 25);
  button->setAutoDefault(false);
  return button;
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
