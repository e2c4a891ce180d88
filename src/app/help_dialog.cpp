#include "app/help_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/data_folders.h"
#include "trevolan_version.h"

namespace trevolan {

THelpFm::THelpFm(QWidget* parent, std::function<void()> show_guide) : QDialog(parent) {
  setObjectName(QStringLiteral("HelpFm"));
  setModal(true);
  setWindowTitle(QStringLiteral("About Trevolan"));
  auto* layout = new QVBoxLayout(this);
  auto* title = new QLabel(QStringLiteral("Trevolan4"), this);
  title->setObjectName(QStringLiteral("ProductLb"));
  QFont bold = title->font();
  bold.setBold(true);
  bold.setPixelSize(bold.pixelSize() > 0 ? bold.pixelSize() * 2 : 22);
  title->setFont(bold);
  layout->addWidget(title);
  auto* text = new QLabel(
      QStringLiteral("Analogue and Petri-Net Simulator, version %1\n\n"
                     "Block diagrams that mix continuous models (integrators, flows, arithmetic\n"
                     "and function blocks) with Petri nets and discrete material flow.\n\n"
                     "Left click on a block: on or off.  Right click: its properties.\n"
                     "Drag a block to move it.  Create blocks from the Create menu at the last click.")
          .arg(QString::fromLatin1(kVersion)),
      this);
  text->setObjectName(QStringLiteral("CommentsLb"));
  layout->addWidget(text);
  // Where the help beyond this box is: the examples that ship with the program, the
  // manual pages and the batch runner's own help.
  const QString examples = QString::fromStdString(ExamplesFolder());
  auto* more = new QLabel(
      (examples.isEmpty() ? QString() : QStringLiteral("Example models: %1\n").arg(examples)) +
          QStringLiteral("Manual: man trevolan, man trevolan-cli.  Commands of the batch runner: trevolan-cli help"),
      this);
  more->setObjectName(QStringLiteral("PathsLb"));
  more->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(more);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  QPushButton* guide = buttons->addButton(QStringLiteral("User Guide (F1)"), QDialogButtonBox::HelpRole);
  guide->setObjectName(QStringLiteral("GuideBtn"));
  connect(guide, &QPushButton::clicked, this, [this, show_guide] {
    accept();
    show_guide();
  });
  layout->addWidget(buttons);
}

}  // namespace trevolan
