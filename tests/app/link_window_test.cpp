#include <QFileDialog>
#include <QLabel>

#include "app/user_link_window.h"
#include "window_support.h"

namespace trevolan::testing {
namespace {

using LinkWindow = WindowTest;

TEST_F(LinkWindow, ExcelLinkShowsAndHidesTheWindow) {
  Open();
  auto* link = Find<UserLinkWindow>("User1");
  EXPECT_FALSE(link->isVisible());
  Click("Button1");
  EXPECT_TRUE(link->isVisible());
  EXPECT_EQ(link->windowTitle().toStdString(), "UserBlock Control Panel: USER1");
  EXPECT_GE(link->width(), 368);  // its design size at least, more where the font needs it
  EXPECT_GE(link->height(), 196);
  EXPECT_EQ(Child<QPushButton>(link, "LoadXLBtn")->text().toStdString(), "Load  MS Excel File");
  EXPECT_EQ(Child<QLineEdit>(link, "Edit33")->text().toStdString(), "Filename");
  Click("Button1");
  EXPECT_FALSE(link->isVisible());
}

TEST_F(LinkWindow, RightClickOpensTheBlockDialogOnBlock20) {
  Open();
  Modals modals;
  std::string title, id;
  modals.Then([&](QWidget* dialog) {
    title = dialog->windowTitle().toStdString();
    id = Text(dialog, "Edit1");
    Press(dialog, "CancelBtn");
  });
  Click("Button1", Qt::RightButton);
  EXPECT_EQ(title, "User access to MS EXCEL");
  EXPECT_EQ(id, "20");
  EXPECT_FALSE(Find<UserLinkWindow>("User1")->isVisible());
}

TEST_F(LinkWindow, LoadsAWorkbookChosenInItsDialog) {
  Open();
  auto* link = Find<UserLinkWindow>("User1");
  Click("Button1");
  const std::string book = std::string(TREVOLAN_TESTS_DIR) + "/link/data/doubling.fods";
  Modals modals;
  QStringList filters;
  modals.Then([&](QWidget* w) {  // cancelled with nothing loaded yet: the container is empty
    auto* dialog = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(dialog, nullptr);
    filters = dialog->nameFilters();
    dialog->reject();
  });
  modals.ThenMessage();
  modals.Then([&](QWidget* w) { ChooseFile(w, book); });
  link->LoadXLBtnClick();
  EXPECT_EQ(modals.messages, (std::vector<std::string>{"Operation not allowed on an empty OLE container"}));
  EXPECT_FALSE(s().SpreadsheetLinked);
  ASSERT_GE(filters.size(), 2);
  EXPECT_EQ(filters[0].toStdString(), "Excel (*.xls)");
  EXPECT_NE(filters[1].indexOf(QStringLiteral("*.ods")), -1);
  EXPECT_NE(filters[1].indexOf(QStringLiteral("*.xlsx")), -1);

  link->LoadXLBtnClick();
  EXPECT_TRUE(s().SpreadsheetLinked);
  ASSERT_NE(workbook, nullptr);
  EXPECT_TRUE(workbook->IsRunning());
  EXPECT_EQ(Child<QLineEdit>(link, "Edit33")->text().toStdString(), book);
  EXPECT_EQ(link->windowTitle().toStdString(), "Trevolan Excel Link, USER1, to doubling.fods");
  EXPECT_EQ(Child<QLabel>(link, "OleName")->text().toStdString(), "doubling.fods");
}

}  // namespace
}  // namespace trevolan::testing
