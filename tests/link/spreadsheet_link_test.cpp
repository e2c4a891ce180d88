#include "link/spreadsheet_link.h"

#include <gtest/gtest.h>

#include "engine/run_loop.h"
#include "link/memory_workbook.h"
#include "model/numbers.h"
#include "support/test_support.h"

namespace trevolan {
namespace {

using testing::TestSim;

// A model whose user block is switched on and linked to an in-memory workbook whose
// row 2 copies row 1 unless a test says otherwise.
struct Linked {
  Linked() : book(std::make_shared<MemoryWorkbook>()) {
    s->block(20).OnOff = 1;
    book->recalculate = [this](MemoryWorkbook& w) {
      for (char c = 'B'; c <= 'Q'; ++c) w.cell(std::string(1, c) + "2") = w.cell(std::string(1, c) + "1");
      times.push_back(EditToFloat(w.cell("A1")));
      if (formulas) formulas(w);
    };
    TUser1 window;
    window.LoadXLBtnClick(*s, "book.ods", book);
  }
  // Runs from the defaults (no RESET, which would move the first exchange to the
  // user block's initial time) and holds at `time`.
  void RunTo(double time) {
    s->Holdnext = time;
    RunButton(*s);
  }
  TestSim s;
  std::shared_ptr<MemoryWorkbook> book;
  std::vector<double> times;                      // A1 at every exchange
  std::function<void(MemoryWorkbook&)> formulas;  // row 2 after the copy
};

TEST(SpreadsheetLink, ExchangesEveryPeriodWithTheNextTimeInG1) {
  Linked l;
  ASSERT_TRUE(l.s->SpreadsheetLinked);
  std::vector<std::string> g1;
  l.formulas = [&](MemoryWorkbook& w) { g1.push_back(w.cell("G1")); };
  l.RunTo(35);
  EXPECT_EQ(l.times, (std::vector<double>{10, 20, 30}));
  EXPECT_EQ(g1, (std::vector<std::string>{"20", "30", "40"}));
  EXPECT_EQ(l.s->block(20).Value, 40);
}

TEST(SpreadsheetLink, RowTwoSteersTheNextExchangeAndThePeriod) {
  Linked later;
  later.formulas = [](MemoryWorkbook& w) { w.cell("G2") = FormatEdit(EditToFloat(w.cell("G1")) + 15); };
  later.RunTo(60);
  EXPECT_EQ(later.times, (std::vector<double>{10, 35, 60}));  // a larger G2 postpones the next

  Linked period;
  period.formulas = [](MemoryWorkbook& w) { w.cell("F2") = "5"; };
  period.RunTo(36);
  // The exchange at 20 was set before F2 came back; from then on every 5.
  EXPECT_EQ(period.times, (std::vector<double>{10, 20, 25, 30, 35}));
  EXPECT_EQ(period.s->block(20).pp, 5);
  EXPECT_EQ(period.s->block(20).cc, 0);  // D2 copies D1 = Vc + cc
}

TEST(SpreadsheetLink, WritesTheOutputsAndLinkedValuesAndReadsBackTheInputs) {
  Linked l;
  TestSim& s = l.s;
  s->block(101).Type = BlockType::Container;
  s->block(101).Value = 7.5;
  s->block(101).dd = 7.5;
  s->HighestBlock = 101;
  s->block(20).aa = 1.25;
  s->block(20).stored = {0, 101, 31, 0, 0, 0, 0, 0, 0, 0, 2};
  l.formulas = [](MemoryWorkbook& w) {
    for (char c = 'H'; c <= 'Q'; ++c) w.cell(std::string(1, c) + "2") = std::to_string(c - 'H' + 1) + ".5";
  };
  l.RunTo(10);
  EXPECT_EQ(l.book->cell("B1"), "1.25");
  EXPECT_EQ(l.book->cell("H1"), "7.5");
  EXPECT_EQ(l.book->cell("I1"), "3.14159265358979");
  EXPECT_EQ(l.book->cell("J1"), "0");  // a stored ID of 0 writes block 0
  EXPECT_EQ(l.book->cell("Q1"), "10");  // block 2, the time
  for (int k = 1; k <= 10; ++k) EXPECT_EQ(s->block(20 + k).Value, k + 0.5) << k;
}

TEST(SpreadsheetLink, AnyUserBlockExchangesBlock20) {
  Linked l;
  l.s->block(20).Type = BlockType::Container;  // block 20 keeps its fields but is no longer dispatched
  l.s->block(150).Type = BlockType::User;
  l.s->HighestBlock = 150;
  l.RunTo(10);
  EXPECT_EQ(l.times, (std::vector<double>{10}));
  EXPECT_EQ(l.s->block(150).Value, 0);
}

TEST(SpreadsheetLink, FailuresHoldTheRunAndApplyNothing) {
  {
    Linked l;
    l.s->block(20).stored[3] = 1001;
    EXPECT_THROW(l.RunTo(50), RangeError);
    EXPECT_EQ(l.book->writes, 0);  // nothing written
    EXPECT_TRUE(l.s->HoldFlag);
    EXPECT_EQ(l.s->RunCaption, "RUN");
    EXPECT_EQ(l.s->Time, 10);
    EXPECT_EQ(l.s->block(20).Value, 20);  // the next time moved on first
  }
  for (const char* bad : {"abc", ""}) {
    Linked l;
    l.formulas = [bad](MemoryWorkbook& w) {
      w.cell("H2") = "4";
      w.cell("N2") = bad;
    };
    EXPECT_THROW(l.RunTo(50), ConversionError) << bad;
    EXPECT_EQ(l.s->block(21).Value, 0);  // nothing read is applied
    EXPECT_EQ(l.s->block(20).pp, 10);
    EXPECT_EQ(l.book->writes, 1);
    EXPECT_TRUE(l.s->HoldFlag);
  }
}

TEST(SpreadsheetLink, NotLinkedHoldsWithTheProgramsMessage) {
  TestSim s;
  s->block(20).OnOff = 1;
  s->Holdnext = 50;
  RunButton(*s);
  EXPECT_EQ(s->Time, 10);
  EXPECT_EQ(s.ui.messages, std::vector<std::string>{"XL not Running. on HOLD. Check Block   20"});
  EXPECT_EQ(s->block(20).Value, 20);
  s->block(20).OnOff = 0;  // idle: no exchange, no message
  RunButton(*s);
  EXPECT_EQ(s->Time, 50);
  EXPECT_EQ(s.ui.messages.size(), 1u);
}

TEST(LinkWindow, CaptionsAndTheEmptyContainer) {
  TestSim s;
  TUser1 window;
  EXPECT_EQ(window.Caption, "Excel Link Control (block20)");
  window.FormActivate(*s);
  EXPECT_EQ(window.Caption, "UserBlock Control Panel: USER1");
  s->block(20).Name = "controller";
  window.FormActivate(*s);
  EXPECT_EQ(window.Caption, "UserBlock Control Panel: controller");
  try {
    window.LoadXLBtnClick(*s, "", std::make_shared<MemoryWorkbook>());
    FAIL();
  } catch (const SimError& e) {
    EXPECT_STREQ(e.what(), "Operation not allowed on an empty OLE container");
  }
  EXPECT_FALSE(s->SpreadsheetLinked);
  EXPECT_EQ(window.Caption, "Trevolan Excel Link, controller, to ");
  EXPECT_EQ(window.OleContainer1, "");
  auto book = std::make_shared<MemoryWorkbook>();
  window.LoadXLBtnClick(*s, "/home/user/models/plant.ods", book);
  EXPECT_EQ(window.Caption, "Trevolan Excel Link, controller, to plant.ods");
  EXPECT_EQ(window.Edit33, "/home/user/models/plant.ods");
  EXPECT_EQ(window.OleContainer1, "plant.ods");
  EXPECT_TRUE(book->IsRunning());
  EXPECT_TRUE(s->SpreadsheetLinked);
  s->block(20).Name = "a_long_name";
  window.LoadXLBtnClick(*s, "", nullptr);  // cancelled: the running workbook stays
  EXPECT_EQ(window.Caption, "Trevolan Excel Link, a_long_nam, to ");
  EXPECT_EQ(window.Edit33, "");
  EXPECT_EQ(window.OleContainer1, "plant.ods");  // the container still holds the workbook
  EXPECT_EQ(s->workbook, book);
}

}  // namespace
}  // namespace trevolan
