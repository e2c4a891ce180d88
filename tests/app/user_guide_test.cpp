// The user guide in the window: F1 and the about box open it, every internal link and
// picture of it resolves, and F1 in the block dialog opens it at the block's type.
#include <algorithm>
#include <vector>

#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QWindow>
#include <QScrollBar>
#include <QTextBrowser>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>

#include "app/data_folders.h"
#include "app/paint_box.h"
#include "app/user_guide.h"
#include "model/catalogue.h"
#include "window_support.h"

namespace trevolan::testing {

namespace {

using Guide = WindowTest;

// The document's pictures as placed in it.
std::vector<QTextImageFormat> Pictures(const QTextDocument& document) {
  std::vector<QTextImageFormat> pictures;
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextImageFormat image = it.fragment().charFormat().toImageFormat();
      if (image.isValid()) pictures.push_back(image);
    }
  }
  return pictures;
}

// The widest white margin of a picture, on any side.
int WidestMargin(const QImage& image) {
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  int left = rgb.width(), right = rgb.width(), top = rgb.height(), bottom = rgb.height();
  for (int y = 0; y < rgb.height(); ++y) {
    for (int x = 0; x < rgb.width(); ++x) {
      if (qGray(rgb.pixel(x, y)) > 245) continue;
      left = std::min(left, x);
      right = std::min(right, rgb.width() - 1 - x);
      top = std::min(top, y);
      bottom = std::min(bottom, rgb.height() - 1 - y);
    }
  }
  return std::max({left, right, top, bottom});
}

TEST(GuidePictures, BesideADialogRightLeftOrOverTheSideWithMoreRoom) {
  const QRect screen(0, 0, 1920, 1080);
  const QSize guide(860, 700);
  const std::pair<QRect, QPoint> cases[] = {
      {QRect(100, 100, 600, 500), QPoint(700, 100)},      // right of it
      {QRect(1200, 100, 600, 500), QPoint(340, 100)},     // left of it
      {QRect(700, 600, 600, 400), QPoint(0, 380)},        // neither: over the side with more room
      {QRect(300, 900, 500, 300), QPoint(800, 380)},      // low on the screen: moved up to fit
  };
  for (const auto& [dialog, at] : cases) {
    const QRect placed = BesideRect(dialog, guide, screen);
    EXPECT_EQ(placed.topLeft(), at) << dialog.x() << "," << dialog.y();
    EXPECT_EQ(placed.size(), guide);
  }
}

TEST(GuideAnchors, HeadingsAndTypesAsTheLinksNameThem) {
  const std::pair<const char*, const char*> cases[] = {
      {"Building a first model", "building-a-first-model"},
      {"Sum (&)", "sum-"},
      {"Files, recovery & copies", "files-recovery--copies"},
      {"The batch runner: trevolan-cli", "the-batch-runner-trevolan-cli"},
      {"Größe_2", "größe_2"},
  };
  for (const auto& [heading, anchor] : cases) EXPECT_EQ(HeadingAnchor(QString::fromUtf8(heading)).toStdString(), anchor);
  EXPECT_EQ(TypeAnchor(BlockType::Sum).toStdString(), "type-&");
}

TEST_F(Guide, OpensOnF1AndEveryLinkPictureAndTypeResolves) {
  Open({ExamplePath("damped_oscillator.txt")});
  ASSERT_FALSE(GuideFile().empty()) << "the build tree has no guide";
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  QTest::keyClick(window.get(), Qt::Key_F1);
  auto* guide = window->findChild<UserGuide*>(QStringLiteral("UserGuide"));
  ASSERT_NE(guide, nullptr);
  EXPECT_TRUE(guide->isVisible());
  QTextBrowser* browser = guide->browser();
  const QTextDocument* document = browser->document();
  ASSERT_GT(document->blockCount(), 100);

  // Every link within the guide leads to a heading, and following it stays in the guide.
  const QStringList anchors = DocumentAnchors(*document);
  const QStringList links = InternalLinks(*document);
  EXPECT_GT(links.size(), 10);
  const QUrl page = browser->source();
  for (const QString& link : links) {
    SCOPED_TRACE(link.toStdString());
    EXPECT_TRUE(anchors.contains(link));
    QUrl at = page;
    at.setFragment(link);
    browser->setSource(at);
    EXPECT_EQ(browser->document(), document);
    EXPECT_EQ(browser->source().fragment(), link);
    EXPECT_GT(browser->verticalScrollBar()->value(), 0);
  }
  // Every picture is there, drawn with as many pixels as it is shown with on this
  // screen; the diagrams are cut to what they draw. Every block type has its section.
  const std::vector<QTextImageFormat> pictures = Pictures(*document);
  EXPECT_GT(pictures.size(), 5u);
  const double ratio = browser->devicePixelRatioF();
  int diagrams = 0;
  for (const QTextImageFormat& picture : pictures) {
    SCOPED_TRACE(picture.name().toStdString());
    const QImage image = document->resource(QTextDocument::ImageResource, QUrl(picture.name())).value<QImage>();
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width(), qRound(picture.width() * ratio));
    EXPECT_LE(picture.width(), 760);
    const bool diagram = picture.name().startsWith(QStringLiteral("pictures/")) && !picture.name().endsWith(QStringLiteral("_plot.png"));
    if (!diagram) continue;
    ++diagrams;
    EXPECT_LE(WidestMargin(image), 40 * ratio);
  }
  EXPECT_GT(diagrams, 5);
  // A model far from the drawing area's corner is cut to on every side: 20 shown pixels
  // around it, 40 of a picture drawn at twice the screen's resolution.
  QImage far(1400, 1000, QImage::Format_RGB32);
  far.fill(Qt::white);
  far.setDotsPerMeterX(qRound(192 / 0.0254));
  far.setDotsPerMeterY(qRound(192 / 0.0254));
  QPainter(&far).fillRect(QRect(600, 400, 100, 50), Qt::black);
  const QImage cut = GuidePicture(far);
  EXPECT_EQ(cut.size(), QSize(180, 130));
  EXPECT_EQ(WidestMargin(cut), 40);
  EXPECT_EQ(PictureShownSize(cut), QSizeF(90, 65));
  for (const BlockTypeInfo& info : BlockTypes()) EXPECT_TRUE(anchors.contains(TypeAnchor(info.type))) << info.block;
  guide->close();

  // Ctrl+F finds text, the next place at each Enter, and says when there is none.
  guide->show();
  guide->windowHandle()->requestActivate();
  ASSERT_TRUE(QTest::qWaitFor([guide] { return QApplication::activeWindow() == guide; }, 3000));
  QTest::keyClick(browser, Qt::Key_F, Qt::ControlModifier);
  auto* find = Child<QLineEdit>(guide, "FindEdit");
  ASSERT_TRUE(find && find->isVisible());
  find->setText(QStringLiteral("integrator"));
  QTest::keyClick(find, Qt::Key_Return);
  const int first = browser->textCursor().position();
  EXPECT_EQ(browser->textCursor().selectedText().toLower().toStdString(), "integrator");
  QTest::keyClick(find, Qt::Key_Return);
  EXPECT_GT(browser->textCursor().position(), first);
  find->setText(QStringLiteral("no such words in the guide"));
  EXPECT_FALSE(guide->FindNext());
  EXPECT_EQ(Child<QLabel>(guide, "FindStatus")->text().toStdString(), "Not found");
  guide->close();

  // F1 in the block dialog opens the guide beside it at the block's type, and the
  // dialog still takes input.
  Modals modals;
  QString fragment;
  int scrolled = -1;
  modals.Then([&](QWidget* dialog) {
    QTest::keyClick(dialog, Qt::Key_F1);
    EXPECT_TRUE(guide->isVisible());
    EXPECT_FALSE(guide->isModal());
    EXPECT_EQ(QApplication::activeModalWidget(), dialog);
    EXPECT_EQ(guide->parentWidget(), dialog);  // a window of the modal dialog's own takes input too
    fragment = browser->source().fragment();
    scrolled = browser->verticalScrollBar()->value();
    Press(dialog, "CancelBtn");
  });
  const TBlock& b = s().block(102);
  QTest::mouseClick(window->diagram_box(), Qt::RightButton, {}, QPoint(b.XX + 2, b.YY + 2));
  EXPECT_EQ(fragment.toStdString(), TypeAnchor(BlockType::Integrator).toStdString());
  EXPECT_GT(scrolled, 0);
  EXPECT_EQ(guide->parentWidget(), window.get());  // home again once the dialog closed
  EXPECT_TRUE(guide->isVisible());
  guide->close();

  // The about box's button opens it too.
  modals.Then([&](QWidget* about) { Press(about, "GuideBtn"); });
  Item("HelpItem")->trigger();
  EXPECT_TRUE(guide->isVisible());
}

}  // namespace

}  // namespace trevolan::testing
