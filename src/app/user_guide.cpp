#include "app/user_guide.h"

#include <utility>
#include <vector>

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "model/catalogue.h"

namespace trevolan {

namespace {

constexpr int kPictureWidth = 760;  // wider pictures are shown at this width

// The type whose section a heading opens: one that ends with its letter, "Sum (&)".
const BlockTypeInfo* HeadingType(const QString& heading) {
  static const QRegularExpression letter(QStringLiteral("\\((.)\\)\\s*$"));
  const QRegularExpressionMatch m = letter.match(heading);
  if (!m.hasMatch()) return nullptr;
  const QChar c = m.captured(1).front();
  return c.unicode() < 128 ? FindBlockType(static_cast<BlockType>(c.toLatin1())) : nullptr;
}

// Calls `each` with every fragment of the document.
template <typename Each>
void ForEachFragment(const QTextDocument& document, Each each) {
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) each(it.fragment());
  }
}

// A browser that reads a Markdown page as HTML made from it with the headings' anchors
// (a document changed after it was read would be read again at every link).
class GuideBrowser : public QTextBrowser {
 public:
  using QTextBrowser::QTextBrowser;

 protected:
  QVariant loadResource(int type, const QUrl& name) override {
    if (type != QTextDocument::HtmlResource || !name.isLocalFile() || !name.path().endsWith(QStringLiteral(".md")))
      return QTextBrowser::loadResource(type, name);
    QFile file(name.toLocalFile());
    if (!file.open(QIODevice::ReadOnly)) return QVariant();
    QTextDocument page;
    page.setBaseUrl(name.adjusted(QUrl::RemoveFragment));
    page.setMarkdown(QString::fromUtf8(file.readAll()));
    PrepareGuidePage(page);
    return page.toHtml();
  }
};

}  // namespace

QString HeadingAnchor(const QString& heading) {
  QString anchor;
  for (const QChar c : heading.toLower()) {
    if (c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_')) anchor += c;
    else if (c == QLatin1Char(' ')) anchor += QLatin1Char('-');
  }
  return anchor;
}

QString TypeAnchor(BlockType type) { return QStringLiteral("type-") + QChar::fromLatin1(static_cast<char>(type)); }

void PrepareGuidePage(QTextDocument& document) {
  QTextCursor cursor(&document);
  document.setDocumentMargin(12);
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    // Room between paragraphs and above headings, which Qt's Markdown reader leaves out.
    QTextBlockFormat spacing;
    const bool heading = block.blockFormat().headingLevel() > 0;
    const bool code = block.blockFormat().nonBreakableLines();
    spacing.setTopMargin(heading ? 14 : 0);
    spacing.setBottomMargin(heading ? 6 : code || block.textList() ? 2 : 6);
    cursor.setPosition(block.position());
    cursor.mergeBlockFormat(spacing);
    if (!heading || block.text().isEmpty()) continue;
    // One name a stretch of text: HTML keeps one name an anchor. A type's section has
    // its type's anchor on its first letter, its heading's on the rest.
    const auto name = [&cursor, &block](int from, const QString& anchor_name) {
      cursor.setPosition(block.position() + from);
      cursor.setPosition(block.position() + block.length() - 1, QTextCursor::KeepAnchor);
      QTextCharFormat anchor;
      anchor.setAnchor(true);
      anchor.setAnchorNames({anchor_name});
      cursor.mergeCharFormat(anchor);
    };
    const BlockTypeInfo* info = block.length() > 2 ? HeadingType(block.text()) : nullptr;
    if (info) name(0, TypeAnchor(info->type));
    name(info ? 1 : 0, HeadingAnchor(block.text()));
  }
  // Pictures as wide as the diagram's whole picture are scaled down to fit (found
  // first, then changed, as a change may split or join the fragments).
  std::vector<std::pair<int, QTextImageFormat>> wide;
  ForEachFragment(document, [&](const QTextFragment& fragment) {
    QTextImageFormat image = fragment.charFormat().toImageFormat();
    if (!image.isValid()) return;
    const QVariant resource = document.resource(QTextDocument::ImageResource, QUrl(image.name()));
    const QSize size = resource.value<QImage>().size();
    if (size.width() <= kPictureWidth) return;
    image.setWidth(kPictureWidth);
    image.setHeight(static_cast<double>(size.height()) * kPictureWidth / size.width());
    wide.emplace_back(fragment.position(), image);
  });
  for (const auto& [position, image] : wide) {
    cursor.setPosition(position);
    cursor.setPosition(position + 1, QTextCursor::KeepAnchor);  // an image is one character
    cursor.setCharFormat(image);
  }
}

QStringList DocumentAnchors(const QTextDocument& document) {
  QStringList anchors;
  ForEachFragment(document, [&](const QTextFragment& f) { anchors << f.charFormat().anchorNames(); });
  return anchors;
}

QStringList InternalLinks(const QTextDocument& document) {
  QStringList links;
  ForEachFragment(document, [&](const QTextFragment& f) {
    const QString href = f.charFormat().anchorHref();
    if (href.startsWith(QLatin1Char('#')) && !links.contains(href.mid(1))) links << href.mid(1);
  });
  return links;
}

UserGuide::UserGuide(QWidget* parent, QString file) : QDialog(parent), file_(std::move(file)) {
  setObjectName(QStringLiteral("UserGuide"));
  setWindowTitle(QStringLiteral("Trevolan User Guide"));
  auto* layout = new QVBoxLayout(this);
  auto* buttons = new QHBoxLayout;
  const auto button = [this, buttons](const QString& caption, const char* name) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    buttons->addWidget(b);
    return b;
  };
  QPushButton* back = button(QStringLiteral("Back"), "BackBtn");
  QPushButton* forward = button(QStringLiteral("Forward"), "ForwardBtn");
  QPushButton* contents = button(QStringLiteral("Contents"), "ContentsBtn");
  buttons->addStretch(1);
  layout->addLayout(buttons);
  browser_ = new GuideBrowser(this);
  browser_->setObjectName(QStringLiteral("GuideBrowser"));
  browser_->setOpenExternalLinks(true);
  layout->addWidget(browser_, 1);
  back->setEnabled(false);
  forward->setEnabled(false);
  connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
  connect(forward, &QPushButton::clicked, browser_, &QTextBrowser::forward);
  connect(contents, &QPushButton::clicked, this, [this] { ShowAt(QString()); });
  connect(browser_, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward, &QPushButton::setEnabled);
  resize(860, 700);
}

void UserGuide::Load() {
  if (loaded_) return;
  loaded_ = true;
  if (file_.isEmpty() || !QFileInfo(file_).isFile()) {
    browser_->setMarkdown(QStringLiteral("# The user guide is not installed\n\nIt was looked for at `%1`. "
                                         "`man trevolan` and `trevolan-cli help` describe the programs.")
                              .arg(file_.isEmpty() ? QStringLiteral("share/doc/trevolan/user-guide.md") : file_));
    return;
  }
  browser_->setSource(QUrl::fromLocalFile(file_), QTextDocument::HtmlResource);
}

void UserGuide::ShowAt(const QString& anchor) {
  Load();
  // The browser scrolls only while it is shown, so the guide is shown first.
  const auto go = [this, anchor] {
    if (anchor.isEmpty()) {
      browser_->moveCursor(QTextCursor::Start);
      browser_->ensureCursorVisible();
    } else if (!browser_->source().isEmpty()) {
      QUrl at = browser_->source();
      at.setFragment(anchor);
      browser_->setSource(at);
    }
  };
  // Over a modal dialog (F1 in the block dialog) only a modal window takes input.
  // It is that dialog's own for the while, so that the desktop keeps it on top.
  QWidget* modal = QApplication::activeModalWidget();
  if (modal && modal != this) {
    QWidget* home = parentWidget();
    setParent(modal, windowFlags());
    QTimer::singleShot(0, this, go);
    exec();
    setParent(home, windowFlags());
    return;
  }
  show();
  raise();
  activateWindow();
  go();
}

}  // namespace trevolan
