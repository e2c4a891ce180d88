// The user guide in the window: F1 and the about box open it, every internal link and
// picture of it resolves, and F1 in the block dialog opens it at the block's type.
#include <QFileInfo>
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

// The file names of the document's pictures.
QStringList Pictures(const QTextDocument& document) {
  QStringList names;
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextImageFormat image = it.fragment().charFormat().toImageFormat();
      if (image.isValid()) names << image.name();
    }
  }
  return names;
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
  // Every picture is there and is an image; every block type has its section.
  const QStringList pictures = Pictures(*document);
  EXPECT_GT(pictures.size(), 5);
  for (const QString& name : pictures) {
    SCOPED_TRACE(name.toStdString());
    const QImage image = document->resource(QTextDocument::ImageResource, QUrl(name)).value<QImage>();
    EXPECT_FALSE(image.isNull());
  }
  for (const BlockTypeInfo& info : BlockTypes()) EXPECT_TRUE(anchors.contains(TypeAnchor(info.type))) << info.block;
  guide->close();

  // F1 in the block dialog opens the guide over it at the block's type.
  Modals modals;
  QString fragment;
  int scrolled = -1;
  modals.Then([&](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_F1); });
  modals.Then([&](QWidget* shown) {
    EXPECT_EQ(shown, guide);
    fragment = browser->source().fragment();
    scrolled = browser->verticalScrollBar()->value();
    guide->close();
  });
  modals.Then([&](QWidget* dialog) { Press(dialog, "CancelBtn"); });
  const TBlock& b = s().block(102);
  QTest::mouseClick(window->diagram_box(), Qt::RightButton, {}, QPoint(b.XX + 2, b.YY + 2));
  EXPECT_EQ(fragment.toStdString(), TypeAnchor(BlockType::Integrator).toStdString());
  EXPECT_GT(scrolled, 0);

  // The about box's button opens it too.
  modals.Then([&](QWidget* about) { Press(about, "GuideBtn"); });
  Item("HelpItem")->trigger();
  EXPECT_TRUE(guide->isVisible());
}

}  // namespace

}  // namespace trevolan::testing
