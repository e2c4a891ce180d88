#include "editing/timing_form.h"

#include <gtest/gtest.h>

#include <numbers>

#include "editing/new_block.h"
#include "engine/run_loop.h"
#include "support/test_support.h"

namespace trevolan {
namespace {

using testing::TestSim;

TEST(TimingForm, FillsEveryFieldFromTheGlobals) {
  TestSim s;
  s->Time = 12.5;
  s->HighestBlock = 345;
  s->RepCount = 31;
  TTimingFm form;
  EXPECT_EQ(form.Caption, "Timing Data for Simulation");
  form.FormActivate(*s);
  const std::vector<std::string> texts = {form.Edit1.text, form.Edit8.text, form.Edit2.text,  form.Edit4.text,
                                          form.Edit5.text, form.Edit9.text, form.Edit6.text,  form.Edit7.text,
                                          form.Edit10.text, form.Edit3.text};
  EXPECT_EQ(texts, (std::vector<std::string>{"0", "12.5", "1000", "1", "10", "10", "100", "100", "345", "31"}));
  EXPECT_EQ(form.Label4.caption, "Delta Time (delt)");
  EXPECT_EQ(form.Label10.caption, "Blocks: Highest No.");
  EXPECT_FALSE(form.closed);
}

TEST(TimingForm, ApplyTakesRepairsStoresAndComputes) {
  TestSim s;
  NewBlock(*s, BlockType::Container, 101, 0, 0);
  s->HighestBlock = 101;
  s->block(101).Value = 500;  // the compute pass refreshes its state
  TTimingFm form;
  form.FormActivate(*s);
  form.Edit1.text = "5";
  form.Edit2.text = "2000";
  form.Edit3.text = "2.5";  // rounded halves to even
  form.Edit4.text = "0";    // repaired to 1
  form.Edit5.text = "50";   // lowered to the hold step
  form.Edit9.text = "60";
  form.Edit6.text = "20";
  form.Edit7.text = "25";
  form.Edit8.text = "7";
  form.Edit10.text = "999";  // shown only
  form.ApplyClick(*s);
  EXPECT_EQ(s->Start, 5);
  EXPECT_EQ(s->FinTim, 2000);
  EXPECT_EQ(s->RepCount, 2);
  EXPECT_EQ(s->block(18).Dn, 2);
  EXPECT_EQ(s->Delt, 1);
  EXPECT_EQ(s->GrDel, 20);
  EXPECT_EQ(s->GrNext, 60);
  EXPECT_EQ(s->Holdstep, 20);
  EXPECT_EQ(s->Holdnext, 25);
  EXPECT_EQ(s->Time, 7);
  EXPECT_EQ(s->TimeTol, 0.001);
  EXPECT_EQ(s->HighestBlock, 101);
  // The system blocks show the new values, the repaired ones included.
  EXPECT_EQ(s->block(2).Value, 7);
  EXPECT_EQ(s->block(3).Value, 1);
  EXPECT_EQ(s->block(6).Value, 20);
  EXPECT_EQ(s->block(5).Value, 2000);
  EXPECT_EQ(s->block(101).State, 3);
  EXPECT_TRUE(form.closed);
  EXPECT_EQ(s.ui.redraws, 1);
  EXPECT_EQ(s.ui.time_plots, 1);
  form.FormActivate(*s);
  EXPECT_EQ(form.Edit4.text, "1");
  EXPECT_EQ(form.Edit5.text, "20");
}

TEST(TimingForm, AConversionErrorStopsApplyPartWay) {
  TestSim s;
  TTimingFm form;
  form.FormActivate(*s);
  form.Edit1.text = "3";
  form.Edit2.text = "400";
  form.Edit3.text = "31";
  form.Edit4.text = "0.5";
  form.Edit5.text = "5";
  form.Edit9.text = "ten";  // stops here
  form.Edit6.text = "50";
  form.Edit8.text = "9";
  try {
    form.ApplyClick(*s);
    FAIL() << "no error";
  } catch (const ConversionError& e) {
    EXPECT_STREQ(e.what(), "'ten' is not a valid floating point value");
  }
  EXPECT_EQ(s->Start, 3);
  EXPECT_EQ(s->FinTim, 400);
  EXPECT_EQ(s->RepCount, 31);
  EXPECT_EQ(s->Delt, 0.5);
  EXPECT_EQ(s->GrDel, 5);
  EXPECT_EQ(s->GrNext, 10);  // the failed field and those after it are not taken
  EXPECT_EQ(s->Holdstep, 100);
  EXPECT_EQ(s->Time, 0);
  EXPECT_EQ(s->TimeTol, 0.001);      // CheckTiming did not run
  EXPECT_EQ(s->block(3).Value, 1);   // nor did StoreTimingGlobals
  EXPECT_FALSE(form.closed);
  EXPECT_EQ(s.ui.redraws, 0);
}

TEST(TimingForm, RestoreDefaultsStaysInForceAfterCancel) {
  TestSim s;
  s->block(19).Name = "mine";
  s->block(31).Value = 3;
  NewBlock(*s, BlockType::Container, 101, 0, 0);
  s->HighestBlock = 101;
  TTimingFm form;
  form.FormActivate(*s);
  form.Edit2.text = "50";
  form.Edit4.text = "0.25";
  form.ApplyClick(*s);
  EXPECT_EQ(s->FinTim, 50);
  form.FormActivate(*s);
  form.DefaultsBtnClick(*s);
  EXPECT_EQ(form.Edit2.text, "1000");
  EXPECT_EQ(form.Edit4.text, "1");
  form.Edit2.text = "77";  // typed, then cancelled
  form.CancelClick(*s);
  EXPECT_EQ(s->FinTim, 1000);
  EXPECT_EQ(s->Delt, 1);
  EXPECT_EQ(s->block(19).Name, "Graphs");  // every system block is rewritten
  EXPECT_EQ(s->block(31).Value, std::numbers::pi);
  EXPECT_EQ(s->block(101).Type, BlockType::Container);  // user blocks stay
  EXPECT_TRUE(form.closed);
  EXPECT_EQ(s.ui.redraws, 2);
}

TEST(TimingForm, CurrentTimeMovesTheClockWithoutRewinding) {
  TestSim s;
  ResetButton(*s);
  TTimingFm form;
  form.FormActivate(*s);
  form.Edit8.text = "500";
  form.Edit9.text = "510";
  form.Edit7.text = "600";
  form.ApplyClick(*s);
  StepButton(*s);
  EXPECT_EQ(s->Time, 501);
  // A hold trigger on a positive block holds the next run after one step.
  form.FormActivate(*s);
  form.Edit3.text = "1";
  form.ApplyClick(*s);
  RunButton(*s);
  EXPECT_EQ(s->Time, 502);
  EXPECT_TRUE(s->HoldFlag);
}

}  // namespace
}  // namespace trevolan
