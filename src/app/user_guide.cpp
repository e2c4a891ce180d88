#include "app/user_guide.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QShortcut>
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
constexpr double kScreenDpi = 96;    // a picture of this resolution is shown pixel for pixel
constexpr int kPictureMargin = 20;   // white kept around what a picture shows, in shown pixels

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

double PictureRatio(const QImage& image) {
  // A diagram drawn at twice the screen's resolution is marked so in its file (192 dots
  // per inch): it is shown at half its pixels, as large as the window draws it.
  return std::max(1.0, std::round(image.dotsPerMeterX() * 0.0254 / kScreenDpi));
}

// The picture without the white beyond `margin` pixels of what it shows on any side.
// A diagram is rendered from the drawing area's top-left corner, which may lie far
// from the model; shown small, that corner would take the room of the model.
QImage CroppedToDrawing(const QImage& image, int margin) {
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  int left = rgb.width(), right = -1, top = rgb.height(), bottom = -1;
  for (int y = 0; y < rgb.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    for (int x = 0; x < rgb.width(); ++x) {
      if (line[x] == qRgb(255, 255, 255)) continue;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = y;
    }
  }
  if (right < 0) return image;
  const QRect kept = QRect(QPoint(left, top), QPoint(right, bottom)).adjusted(-margin, -margin, margin, margin) & image.rect();
  if (kept == image.rect()) return image;
  return image.copy(kept);  // with the resolution the file gives
}

// The pixels a picture of the guide is drawn with on a screen of `ratio` device pixels
// to a pixel: cut to what it shows, scaled smoothly to the width it is shown at, times
// the ratio.
QImage PictureForScreen(QImage image, double ratio) {
  image = GuidePicture(image);
  const QSizeF shown = PictureShownSize(image);
  const QSize pixels = (shown * ratio).toSize();
  if (pixels != image.size()) image = image.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  image.setDevicePixelRatio(ratio);
  return image;
}

// A browser that reads a Markdown page as HTML made from it with the headings' anchors
// (a document changed after it was read would be read again at every link).
class GuideBrowser : public QTextBrowser {
 public:
  using QTextBrowser::QTextBrowser;

 protected:
  QVariant loadResource(int type, const QUrl& name) override {
    if (type == QTextDocument::ImageResource) {
      const QVariant data = QTextBrowser::loadResource(type, name);
      QImage image = data.value<QImage>();
      if (image.isNull() && !image.loadFromData(data.toByteArray())) return data;
      return PictureForScreen(image, devicePixelRatioF());
    }
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

QImage GuidePicture(const QImage& image) {
  return CroppedToDrawing(image, qRound(kPictureMargin * PictureRatio(image)));
}

QSizeF PictureShownSize(const QImage& image) {
  QSizeF shown = QSizeF(image.size()) / PictureRatio(image);
  if (shown.width() > kPictureWidth) shown *= kPictureWidth / shown.width();
  return shown;
}

QRect BesideRect(const QRect& dialog, QSize size, const QRect& screen) {
  // Right of the dialog, else left of it, else where it covers least of it.
  const int right = dialog.right() + 1, left = dialog.left() - size.width();
  int x = right;
  if (right + size.width() > screen.right() + 1) {
    x = left >= screen.left() ? left
        : screen.right() + 1 - dialog.right() > dialog.left() - screen.left() ? screen.right() + 1 - size.width()
                                                                               : screen.left();
  }
  const int y = std::clamp(dialog.top(), screen.top(), std::max(screen.top(), screen.bottom() + 1 - size.height()));
  return QRect(QPoint(x, y), size);
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
  // Every picture at the size it is shown (found first, then changed, as a change may
  // split or join the fragments).
  std::vector<std::pair<int, QTextImageFormat>> sized;
  ForEachFragment(document, [&](const QTextFragment& fragment) {
    QTextImageFormat image = fragment.charFormat().toImageFormat();
    if (!image.isValid()) return;
    const QVariant resource = document.resource(QTextDocument::ImageResource, QUrl(image.name()));
    const QImage picture = GuidePicture(resource.value<QImage>());
    if (picture.isNull()) return;
    const QSizeF shown = PictureShownSize(picture);
    image.setWidth(shown.width());
    image.setHeight(shown.height());
    sized.emplace_back(fragment.position(), image);
  });
  for (const auto& [position, image] : sized) {
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
  BuildFindRow(layout);
  back->setEnabled(false);
  forward->setEnabled(false);
  connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
  connect(forward, &QPushButton::clicked, browser_, &QTextBrowser::forward);
  connect(contents, &QPushButton::clicked, this, [this] { ShowAt(QString()); });
  connect(browser_, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward, &QPushButton::setEnabled);
  resize(860, 700);
}

void UserGuide::BuildFindRow(QVBoxLayout* layout) {
  auto* row = new QWidget(this);
  row->setObjectName(QStringLiteral("FindRow"));
  auto* line = new QHBoxLayout(row);
  line->setContentsMargins(0, 0, 0, 0);
  line->addWidget(new QLabel(QStringLiteral("Find:"), row));
  find_ = new QLineEdit(row);
  find_->setObjectName(QStringLiteral("FindEdit"));
  line->addWidget(find_, 1);
  find_status_ = new QLabel(row);
  find_status_->setObjectName(QStringLiteral("FindStatus"));
  line->addWidget(find_status_);
  layout->addWidget(row);
  row->hide();
  // Ctrl+F and F3 whatever the desktop's own keys for Find and Find Next are.
  const auto shortcut = [this](const QList<QKeySequence>& keys, auto act) {
    for (const QKeySequence& key : keys) connect(new QShortcut(key, this), &QShortcut::activated, this, act);
  };
  shortcut({QKeySequence(Qt::CTRL | Qt::Key_F)}, [this, row] {
    row->show();
    find_->setFocus();
    find_->selectAll();
  });
  shortcut({QKeySequence(Qt::Key_F3)}, [this] { FindNext(); });
  connect(find_, &QLineEdit::returnPressed, this, [this] { FindNext(); });
}

bool UserGuide::FindNext() {
  const QString text = find_->text();
  if (text.isEmpty()) return false;
  // From the place of the last find onwards, then once more from the top.
  bool found = browser_->find(text);
  if (!found) {
    browser_->moveCursor(QTextCursor::Start);
    found = browser_->find(text);
  }
  find_status_->setText(found ? QString() : QStringLiteral("Not found"));
  return found;
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
  // Beside a modal dialog (F1 in the block dialog) only the dialog's own windows take
  // input: the guide is the dialog's for the while, beside it so that it covers none of
  // the fields it explains, and both take input. It goes back to its home window when
  // the dialog closes.
  QWidget* modal = QApplication::activeModalWidget();
  if (modal && modal != this && modal != parentWidget()) {
    QWidget* home = parentWidget();
    setParent(modal, windowFlags());
    if (auto* dialog = qobject_cast<QDialog*>(modal)) {
      connect(dialog, &QDialog::finished, this, [this, home] {
        if (parentWidget() == home) return;
        const bool shown = isVisible();
        setParent(home, windowFlags());
        if (shown) show();
      }, Qt::SingleShotConnection);
    }
    if (const QScreen* screen = modal->screen())
      setGeometry(BesideRect(modal->frameGeometry(), size(), screen->availableGeometry()));
  }
  show();
  raise();
  activateWindow();
  go();
}

}  // namespace trevolan
