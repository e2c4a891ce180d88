#include "app/user_link_window.h"

#include <QApplication>
#include <QEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "app/file_dialogs.h"
#include "app/widgets.h"

namespace trevolan {

UserLinkWindow::UserLinkWindow(QWidget* main_window, EventGuard& guard, std::function<Sim&()> sim,
                               WorkbookFactory make_workbook)
    : QWidget(main_window, Qt::Window),
      guard_(guard),
      sim_(std::move(sim)),
      make_workbook_(std::move(make_workbook)),
      OleContainer1(new QFrame(this)),
      OleIcon(new QLabel(OleContainer1)),
      OleName(new QLabel(OleContainer1)),
      LoadXLBtn(new QPushButton(this)),
      Edit33(new QLineEdit(this)) {
  setObjectName(QStringLiteral("User1"));
  LoadXLBtn->setObjectName(QStringLiteral("LoadXLBtn"));
  LoadXLBtn->setAutoDefault(false);
  Edit33->setObjectName(QStringLiteral("Edit33"));
  Edit33->setMinimumWidth(341);
  OleContainer1->setObjectName(QStringLiteral("OleContainer1"));
  OleContainer1->setFixedSize(105, 69);
  OleContainer1->setFrameShape(QFrame::Box);
  auto* layout = new QVBoxLayout(OleContainer1);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(1);
  OleIcon->setObjectName(QStringLiteral("OleIcon"));
  OleIcon->setAlignment(Qt::AlignCenter);
  OleName->setObjectName(QStringLiteral("OleName"));
  OleName->setAlignment(Qt::AlignCenter);
  layout->addWidget(OleIcon, 1);
  layout->addWidget(OleName);
  Edit33->setReadOnly(true);
  LoadXLBtn->setText(QStringLiteral("Load  MS Excel File"));
  connect(LoadXLBtn, &QPushButton::clicked, this, [this] { LoadXLBtnClick(); });
  // Laid out from the font's metrics, so that the button's caption shows whole; the
  // window keeps at least its design size.
  auto* window_layout = new QVBoxLayout(this);
  window_layout->addWidget(OleContainer1, 0, Qt::AlignHCenter);
  window_layout->addWidget(LoadXLBtn, 0, Qt::AlignHCenter);
  window_layout->addWidget(Edit33);
  window_layout->addStretch();
  window_layout->activate();
  setFixedSize(sizeHint().expandedTo(QSize(368, 196)));
  FormToWidgets();
}

void UserLinkWindow::FormToWidgets() {
  setWindowTitle(Q(form_.Caption));
  Edit33->setText(Q(form_.Edit33));
  Edit33->setCursorPosition(0);
  // The embedded workbook as an icon with its file name under it.
  const bool linked = !form_.OleContainer1.empty();
  const int icon = style()->pixelMetric(QStyle::PM_LargeIconSize);
  OleIcon->setPixmap(linked ? style()->standardIcon(QStyle::SP_FileIcon).pixmap(icon, icon) : QPixmap());
  OleName->setText(linked ? OleName->fontMetrics().elidedText(Q(form_.OleContainer1), Qt::ElideMiddle, 99) : QString());
  OleContainer1->setToolTip(Q(form_.OleContainer1));
}

void UserLinkWindow::FormActivate() {
  guard_.Run(this, [this] { form_.FormActivate(sim_()); });
  FormToWidgets();
}

void UserLinkWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (parentWidget()) move(parentWidget()->geometry().center() - rect().center());
  FormActivate();
}

void UserLinkWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
}

void UserLinkWindow::LoadXLBtnClick() {
  guard_.Run(this, [this] {
    const std::optional<std::string> path = ChooseWorkbookFile(this);
    // Starting the spreadsheet application can take a while.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const struct RestoreCursor {
      ~RestoreCursor() { QApplication::restoreOverrideCursor(); }
    } restore;
    form_.LoadXLBtnClick(sim_(), path.value_or(std::string()), path ? make_workbook_() : nullptr);
  });
  FormToWidgets();
}

}  // namespace trevolan
