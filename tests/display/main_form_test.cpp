#include "display/main_form.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "editing/new_block.h"
#include "model/file_commands.h"
#include "support/test_support.h"

namespace trevolan {
namespace {

using testing::TestSim;

TEST(StatusTexts, DayClockAndTimeLabel) {
  struct Case {
    double time;
    int mode;
    const char* day_clock;
    const char* time_label;  // null: the label keeps its text
  };
  const Case cases[] = {
      {90061.5, 0, "1::1:1:2 ", "Time 90061.5000 "},  // 90061.5 rounds to the even 90062
      {0, 0, "0::0:0:0 ", "Time     0.0000 "},
      {2.5, 2, "0::0:0:2 ", "Time     2.5000 "},
      {3.5, 3, "0::0:0:4 ", "Time     3.5000 "},
      {86399, 0, "0::23:59:59 ", "Time 86399.0000 "},
      {86400, 0, "1::0:0:0 ", "Time 86400.0000 "},
      {-3661, 0, "0::-1:-1:-1 ", "Time -3661.0000 "},  // divisions truncate toward zero
      {1234567.25, 0, "14::6:56:7 ", "Time 1234567.2500 "},  // wider than 10 characters
      {100, 1, "0::0:1:40 ", "ID Nos. displayed"},
      {100, 4, "0::0:1:40 ", nullptr},
      {100, -1, "0::0:1:40 ", nullptr},
  };
  for (const Case& c : cases) {
    TestSim s;
    s->Time = c.time;
    s->NumberMode = c.mode;
    const StatusText t = StatusTexts(*s);
    EXPECT_EQ(t.DayClock, c.day_clock) << c.time;
    EXPECT_EQ(t.TimeLbChanged, c.time_label != nullptr) << c.mode;
    if (c.time_label) {
      EXPECT_EQ(t.TimeLb, c.time_label) << c.time;
    }
  }
}

TEST(StatusTexts, AClockBeyondItsRangeIsAnError) {
  TestSim s;
  for (double t : {std::numeric_limits<double>::quiet_NaN(), 1e19, -std::numeric_limits<double>::infinity()}) {
    s->Time = t;
    EXPECT_THROW(StatusTexts(*s), FloatError) << t;
  }
}

TEST(MainForm, ShowStatusKeepsTheTimeLabelForAnUnknownNumberMode) {
  TestSim s;
  MainForm form;
  s->Time = 61;
  form.ShowStatus(*s);
  EXPECT_EQ(s->ClockSeconds, 61);
  EXPECT_EQ(form.DayClock.caption, "0::0:1:1 ");
  EXPECT_EQ(form.TimeLb.caption, "Time    61.0000 ");
  s->NumberMode = 7;
  s->Time = 62;
  form.TimeLb.visible = false;
  form.ShowStatus(*s);
  EXPECT_EQ(form.DayClock.caption, "0::0:1:2 ");
  EXPECT_EQ(form.TimeLb.caption, "Time    61.0000 ");
  EXPECT_FALSE(form.TimeLb.visible);
  s->NumberMode = 1;
  form.ShowStatus(*s);
  EXPECT_EQ(form.TimeLb.caption, "ID Nos. displayed");
  EXPECT_TRUE(form.TimeLb.visible);
}

TEST(MainForm, ControlBarCaptionsAndHints) {
  const MainForm form;
  const std::pair<const ButtonField*, std::pair<const char*, const char*>> buttons[] = {
      {&form.RunBtn, {"RUN", "Run or Hold Simulation"}},
      {&form.StepBtn, {"STEP", "Step one Delta Time"}},
      {&form.ResetBtn, {"RESET", "Reset to INITIAL conditions"}},
      {&form.NumbersBtn, {"Number", "Display Block IDs or values or nothing"}},
      {&form.AnimBtn, {"Anim?", "Animation on or off while running"}},
      {&form.GridBtn, {"Grid?", "Display or hide grid (with IDs)"}},
      {&form.GraphBtn, {"Graph?", "Show or hide oscilloscope graph"}},
      {&form.Button1, {"Excel Link", "Connection to Excel "}},
  };
  for (const auto& [button, texts] : buttons) {
    EXPECT_EQ(button->caption, texts.first);
    EXPECT_EQ(button->hint, texts.second);
  }
  EXPECT_EQ(form.TimeLb.caption, "Time");
  EXPECT_EQ(form.TimeLb.hint, "Simulated Time during run");
  EXPECT_EQ(form.TickPnl.hint, "Simulated Time");
  EXPECT_EQ(form.DayClock.caption, "Clock ");
  EXPECT_EQ(form.DayClock.hint, "Time of Day clock");
  EXPECT_EQ(form.ClockPnl.hint, "Set up Timing Parameters");
  EXPECT_EQ(form.AnimBtnFont, colour::kButtonFace);
}

TEST(MainForm, NumberButtonCyclesOnTheLeftAndOpensTheDialogOnTheRight) {
  TestSim s;
  MainForm form;
  int dialogs = 0;
  const auto dialog = [&] { ++dialogs; };
  for (int expected : {1, 2, 3, 0, 1}) {
    form.NumbersBtnMouseUp(*s, MouseButton::Left, dialog);
    EXPECT_EQ(s->NumberMode, expected);
  }
  form.NumbersBtnMouseUp(*s, MouseButton::Right, dialog);
  form.NumbersBtnMouseUp(*s, MouseButton::Middle, dialog);
  EXPECT_EQ(s->NumberMode, 1);
  EXPECT_EQ(dialogs, 1);
  EXPECT_EQ(s.ui.form_paints, 7);  // every release repaints
  s->NumberMode = 9;               // set from outside: the cycle starts over
  form.NumbersBtnMouseUp(*s, MouseButton::Left, dialog);
  EXPECT_EQ(s->NumberMode, 0);
}

TEST(MainForm, AnimButtonShowsTheStateInItsCaptionAndColour) {
  TestSim s;
  MainForm form;
  ASSERT_TRUE(s->AnimFlag);
  form.AnimBtnClick(*s);
  EXPECT_FALSE(s->AnimFlag);
  EXPECT_EQ(form.AnimBtn.caption, "Anim?");
  EXPECT_EQ(form.AnimBtnFont, colour::kBlack);
  form.AnimBtnClick(*s);
  EXPECT_TRUE(s->AnimFlag);
  EXPECT_EQ(form.AnimBtn.caption, "anim?");
  EXPECT_EQ(form.AnimBtnFont, colour::kRed);
  EXPECT_EQ(s.ui.redraws, 2);
  EXPECT_EQ(s.ui.plot_preps, 2);
  EXPECT_EQ(s.ui.time_plots, 2);
  EXPECT_EQ(s.ui.form_paints, 0);
}

TEST(MainForm, GridButtonTurningTheGridOnShowsTheIDs) {
  TestSim s;
  MainForm form;
  s->NumberMode = 3;
  form.GridBtnClick(*s);
  EXPECT_TRUE(s->GridFlag);
  EXPECT_EQ(s->NumberMode, 1);
  s->NumberMode = 2;
  form.GridBtnClick(*s);
  EXPECT_FALSE(s->GridFlag);
  EXPECT_EQ(s->NumberMode, 2);  // turning it off leaves the number lines alone
  EXPECT_EQ(s.ui.form_paints, 2);
}

TEST(MainForm, GraphAndExcelLinkButtons) {
  TestSim s;
  MainForm form;
  std::vector<int> dialog_on;
  const auto block_dialog = [&] { dialog_on.push_back(s->PickedBlock); };
  int link_window_toggles = 0;
  const auto toggle = [&] { ++link_window_toggles; };

  form.GraphBtnMouseUp(*s, MouseButton::Left, block_dialog);
  EXPECT_TRUE(s->PlotFlag);
  form.GraphBtnMouseUp(*s, MouseButton::Left, block_dialog);
  EXPECT_FALSE(s->PlotFlag);
  form.GraphBtnMouseUp(*s, MouseButton::Right, block_dialog);
  EXPECT_FALSE(s->PlotFlag);
  form.Button1MouseUp(*s, MouseButton::Left, toggle, block_dialog);
  form.Button1MouseUp(*s, MouseButton::Left, toggle, block_dialog);
  form.Button1MouseUp(*s, MouseButton::Right, toggle, block_dialog);
  form.Button1MouseUp(*s, MouseButton::Middle, toggle, block_dialog);

  EXPECT_EQ(dialog_on, (std::vector<int>{19, 20}));
  EXPECT_EQ(link_window_toggles, 2);
  EXPECT_EQ(s.ui.form_paints, 7);
  EXPECT_FALSE(form.TimePlotChecked);  // the buttons leave the menu's mark alone
}

TEST(MainForm, TimePlotMenuItemMovesItsMarkAndThePlotTogether) {
  TestSim s;
  MainForm form;
  form.TimePlotClick(*s);
  EXPECT_TRUE(form.TimePlotChecked);
  EXPECT_TRUE(s->PlotFlag);
  s->PlotFlag = false;  // Graph? hid the panel; the mark stays
  form.TimePlotClick(*s);
  EXPECT_FALSE(form.TimePlotChecked);
  EXPECT_FALSE(s->PlotFlag);
}

TEST(MainForm, CreateMenuItemsOpenTheBlockDialogOnTheNewBlock) {
  TestSim s;
  MainForm form;
  s->LastX = 250;
  s->LastY = 170;
  int dialog_on = -1;
  const auto dialog = [&] { dialog_on = s->PickedBlock; };
  form.CreateItemClick(*s, BlockType::Integrator, dialog);
  EXPECT_EQ(dialog_on, 101);
  EXPECT_EQ(s->block(101).Type, BlockType::Integrator);
  EXPECT_EQ(s->block(101).XX, 250);
  EXPECT_EQ(s->block(101).YY, 170);

  dialog_on = -1;
  form.CreateItemClick(*s, BlockType::Pid, dialog);  // not assigned: nothing at all
  EXPECT_EQ(dialog_on, -1);
  EXPECT_EQ(s->block(102).Type, BlockType::Empty);

  s->HighestBlock = 1000;
  form.CreateItemClick(*s, BlockType::Container, dialog);
  EXPECT_EQ(dialog_on, 0);  // no room: the dialog opens on block 0
  EXPECT_EQ(s.ui.messages, (std::vector<std::string>{"No room for more Blocks at   1000"}));
}

// A model of two Containers: 101 at (100, 100) and 102 at (200, 100).
void TwoBlocks(Sim& s) {
  NewBlock(s, BlockType::Container, 101, 100, 100);
  NewBlock(s, BlockType::Container, 102, 200, 100);
  s.HighestBlock = 102;
}

TEST(MainForm, MouseClickTogglesRightClickEditsAndDragMoves) {
  TestSim s;
  TwoBlocks(*s);
  MainForm form;
  std::vector<int> dialog_on;
  const auto dialog = [&] { dialog_on.push_back(s->PickedBlock); };
  const int on = s->block(101).OnOff;

  form.GraphBxMouseDown(*s, 105, 105);
  EXPECT_EQ(s->PickedBlock, 101);
  form.GraphBxMouseUp(*s, MouseButton::Left, 106, 104, dialog);  // within one pixel: a click
  EXPECT_NE(s->block(101).OnOff, on);
  EXPECT_EQ(s.ui.redraws, 1);  // the toggle computes and redraws
  EXPECT_EQ(s->PickedBlock, 0);

  form.GraphBxMouseDown(*s, 203, 103);
  form.GraphBxMouseUp(*s, MouseButton::Right, 203, 103, dialog);
  EXPECT_EQ(dialog_on, (std::vector<int>{102}));

  form.GraphBxMouseDown(*s, 105, 105);
  form.GraphBxMouseUp(*s, MouseButton::Left, 107, 105, dialog);  // two pixels: a drag
  EXPECT_EQ(s->block(101).XX, 107);
  EXPECT_EQ(s->block(101).YY, 105);
  EXPECT_EQ(s->block(101).OnOff, on == 0 ? 1 : 0);  // not toggled again

  form.GraphBxMouseDown(*s, 300, 400);  // empty space: only the place is recorded
  EXPECT_EQ(s->PickedBlock, 0);
  form.GraphBxMouseUp(*s, MouseButton::Right, 350, 420, dialog);
  EXPECT_EQ(s->LastX, 350);
  EXPECT_EQ(s->LastY, 420);
  EXPECT_EQ(dialog_on.size(), 1u);

  form.GraphBxMouseDown(*s, 203, 103);
  form.GraphBxMouseUp(*s, MouseButton::Middle, 203, 103, dialog);  // nothing for other buttons
  EXPECT_EQ(dialog_on.size(), 1u);
  EXPECT_EQ(s.ui.form_paints, 5);
}

TEST(MainForm, BlockZeroCannotBePicked) {
  TestSim s;
  MainForm form;
  ASSERT_EQ(s->block(0).XX, 0);
  form.GraphBxMouseDown(*s, 3, 3);
  EXPECT_EQ(s->PickedBlock, 0);
  form.GraphBxMouseUp(*s, MouseButton::Left, 40, 40, nullptr);
  EXPECT_EQ(s->block(0).XX, 0);
}

TEST(MainForm, FirstActivationLoadsTheModelOfASingleArgument) {
  TestSim s;
  MainForm form;
  s->PlotFlag = true;
  s->HighestBlock = 140;
  const std::string model = testing::ExamplePath("damped_oscillator.txt");
  form.FormActivate(*s, {model});
  EXPECT_TRUE(form.activated);
  EXPECT_FALSE(s->PlotFlag);
  EXPECT_EQ(s->DataFileName, model);
  EXPECT_EQ(s->WindowCaption, "Trevolan4");  // unlike Open, the caption stays
  EXPECT_GT(s->block(101).XX, 0);
  const int paints = s.ui.form_paints;
  EXPECT_GE(paints, 1);

  s->PlotFlag = true;
  form.FormActivate(*s, {model});  // later activations do nothing
  EXPECT_TRUE(s->PlotFlag);
  EXPECT_EQ(s.ui.form_paints, paints);
}

TEST(MainForm, ActivationWithoutOrWithTwoArgumentsLoadsNothing) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{}, std::vector<std::string>{"a.txt", "b.txt"}}) {
    TestSim s;
    MainForm form;
    form.FormActivate(*s, args);
    EXPECT_EQ(s->DataFileName, "datafile.txt");
    EXPECT_EQ(s.ui.form_paints, 1);
  }
}

TEST(MainForm, CancelledFileDialogs) {
  TestSim s;
  MainForm form;
  form.OpenClick(*s, std::nullopt);
  EXPECT_EQ(s.ui.form_paints, 1);
  form.SaveAsClick(*s, std::nullopt);
  form.SaveTapeAsClick(*s, std::nullopt);
  EXPECT_EQ(s->SaveFileName, "savefile.txt");
  EXPECT_EQ(s->TapeFileName, "tapefile.txt");
  EXPECT_EQ(s.ui.form_paints, 1);
}

TEST(MainForm, FileDialogsWithAChosenFile) {
  TestSim s;
  testing::TempDir dir;
  MainForm form;
  form.OpenClick(*s, testing::ExamplePath("damped_oscillator.txt"));
  EXPECT_EQ(s->WindowCaption, "Trevolan SaveFile");
  const std::string saved = dir.path("copy.txt");
  form.SaveAsClick(*s, saved);
  EXPECT_EQ(s->WindowCaption, "copy.txt Trevolan");
  EXPECT_NE(testing::ReadTextFile(saved).find("@I "), std::string::npos);
  const std::string tape = dir.path("tape.txt");
  form.SaveTapeAsClick(*s, tape);
  EXPECT_EQ(s->TapeFileName, tape);
  EXPECT_FALSE(testing::ReadTextFile(tape).empty());
}

}  // namespace
}  // namespace trevolan
