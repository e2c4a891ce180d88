#include <gtest/gtest.h>

#include <sstream>

#include "cli/batch.h"
#include "cli/script.h"
#include "support/test_support.h"

namespace trevolan::cli {
namespace {

using testing::ReadTextFile;
using testing::RunCli;
using testing::SplitLines;
using testing::TempDir;
using testing::WriteTextFile;

// Runs commands in one batch and returns what they wrote.
class EditCommands : public ::testing::Test {
 protected:
  std::string Run(const std::string& script) {
    out_.str("");
    for (const auto& c : ParseScript(script, true)) batch_.Execute(c);
    return out_.str();
  }
  Sim& s() { return batch_.sim(); }

  std::ostringstream out_;
  Batch batch_{out_};
};

TEST(EditScript, BuildsRunsSavesAndReloadsAModelFromNothing) {
  TempDir dir;
  const std::string first = dir.path("first.txt"), second = dir.path("second.txt");
  WriteTextFile(dir.path("build.script"),
                "# a tank read by an integrator; a drain inserted before the integrator\n"
                "create C 200 100\n"
                "apply 101 name=tank dd=10\n"
                "create I 200 200\n"
                "apply 102 name=level an=101 mode=0 comment=\"rises with the tank\"\n"
                "apply 19 g1.0=102       # plot and record the integrator\n"
                "insert C 102 300 100    # moves the integrator to 103\n"
                "apply 102 name=drain dd=2\n"
                "apply 103 bn=102\n"
                "timing finish=100\n"
                "reset\n"
                "finish\n"
                "print HighestBlock 103.Name 103.An 103.Bn 103.Comment 19.stored[1] TapeChannels\n"
                "print Time 103.Value tape.10.0 tape.10.1\n"
                "save " + first + "\n"
                "open " + first + "\n"
                "print HighestBlock 103.Value 101.Value\n"
                "save " + second + "\n");
  const testing::CliResult r = RunCli({"exec", "-f", dir.path("build.script")});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out,
            "103 level 101 102 rises with the tank 103 1\n"
            "100 800 100 800\n"
            "103 800 10\n");
  const auto a = SplitLines(ReadTextFile(first));
  const auto b = SplitLines(ReadTextFile(second));
  ASSERT_EQ(a.size(), b.size());
  ASSERT_GT(a.size(), 40u);
  for (size_t i = 0; i < a.size(); ++i) {
    if (i >= 1 && i <= 3) continue;  // file names and date
    EXPECT_EQ(a[i], b[i]) << "line " << i + 1;
  }
  const std::string text = ReadTextFile(first);
  EXPECT_NE(text.find("@I   103   level   200   200   "), std::string::npos);
  EXPECT_NE(text.find("@C   102   drain   300   100   "), std::string::npos);
}

TEST_F(EditCommands, CreateAtAPointAndWithAFullTable) {
  EXPECT_EQ(Run("create G 40 50; print PickedBlock HighestBlock 101.XX 101.YY 101.Pn LastX LastY"),
            "101 101 40 50 101 40 50\n");
  EXPECT_EQ(Run("create x; print PickedBlock 102.Type 102.XX"), "102 X 40\n");  // at the last click
  EXPECT_EQ(Run("create P; print HighestBlock"), "102\n");                    // "&P not assigned"
  EXPECT_EQ(Run("set HighestBlock 1000; create C; print PickedBlock"),
            "message: No room for more Blocks at   1000\nmessage: Not allowed ID number   0\n0\n");
  EXPECT_FALSE(batch_.had_error());
  for (const char* bad : {"create O", "create U", "create ?", "create CC", "create C 10", "create"}) {
    EXPECT_THROW(Run(bad), UsageError) << bad;
  }
}

TEST_F(EditCommands, ApplyTypesFieldsAndGridCells) {
  Run("create M 10 10");
  EXPECT_EQ(Run("apply 101 name=mem an=31 pp=2.5 g2.0=7 g2.1=-3 onoff=0 display=3 value=4 x=99 y=88; "
                "print 101.Name 101.An 101.pp 101.stored[13] 101.stored[2] 101.OnOff 101.Displ 101.Value 101.XX 101.YY"),
            "mem 31 2.5 7 -3 0 3 4 99 88\n");
  // A hidden field can still be typed into.
  Run("create C");
  EXPECT_EQ(Run("apply 102 an=31 pn=5 pp=1.5; print 102.An 102.Pn 102.pp"), "31 5 1.5\n");
  // A cell beyond the grid is a range error; the dialog does not apply.
  EXPECT_EQ(Run("apply 101 name=other g13.0=1; print 101.Name"), "error: Range check error\nmem\n");
  // A bad number stops Apply with the fields before it written.
  EXPECT_EQ(Run("apply 101 name=third aa=x1 value=77; print 101.Name 101.Value"),
            "error: 'x1' is not a valid floating point value\nthird 4\n");
  EXPECT_EQ(Run("apply 101 id=1; print 101.Name"), "message: Not allowed ID number   1\nthird\n");
  // NAN and INF from a model file stay while their fields are left alone; typed, they are refused.
  EXPECT_EQ(Run("set 101.aa NAN; set 101.pp -INF; set 101.stored[2] NAN; apply 101 name=fourth; "
                "print 101.Name 101.aa 101.pp 101.stored[2]"),
            "fourth NAN -INF NAN\n");
  EXPECT_EQ(Run("apply 101 aa=1.5 g2.1=2; print 101.aa 101.pp 101.stored[2]"), "1.5 -INF 2\n");
  EXPECT_EQ(Run("apply 101 value=NAN; print 101.Value"), "error: 'NAN' is not a valid floating point value\n4\n");
  const int32_t picked = s().PickedBlock;
  for (const char* bad : {"apply 101 nosuch=1", "apply 101 name", "apply 101 g0.1=2", "apply 101 g1.2=2",
                          "apply 101 gx.0=1", "apply"}) {
    EXPECT_THROW(Run(bad), UsageError) << bad;
  }
  EXPECT_EQ(s().PickedBlock, picked);  // a misspelt field opens no dialog
}

TEST_F(EditCommands, InsertCopyDeleteAndClick) {
  Run("create C; create C; create I; apply 103 an=102");
  EXPECT_EQ(Run("insert k 102 7 8; print HighestBlock 102.Type 102.XX 102.YY 104.An PickedBlock"),
            "104 K 7 8 103 0\n");
  EXPECT_EQ(Run("insert C 100"), "message: Not allowed ID number   100\n");
  EXPECT_EQ(Run("copy 104 500 1 2; print HighestBlock 105.Type 105.An 105.XX"),
            "message: Copy will go to block   105\n105 I 103 1\n");
  EXPECT_EQ(Run("copy 31 50"), "message: Can not copy into System Block   50\n");
  EXPECT_EQ(Run("copy 200 120"), "message: Can not copy from non-existant block   200\n");
  EXPECT_EQ(Run("delete 105; print HighestBlock 105.Type 105.Name"), "104 ? ?105\n");
  EXPECT_EQ(Run("delete 31; print 31.Name"), "message: Not allowed DELETE ID number   31\nPI\n");
  EXPECT_EQ(Run("click 101; print 101.OnOff; click 101; print 101.OnOff"), "0\n1\n");
  EXPECT_EQ(Run("click 1001"), "error: Range check error\n");
  EXPECT_EQ(Run("set HighestBlock 1000; insert C 500"), "message: No room for more Blocks at   1000\n");
  EXPECT_THROW(Run("insert C 110 5"), UsageError);
  EXPECT_THROW(Run("copy 31"), UsageError);
}

TEST_F(EditCommands, TimingAndNumbers) {
  EXPECT_EQ(Run("timing delt=0 finish=50 graph=50 hold=20 highest=5; print Delt FinTim GrDel HighestBlock 3.Value"),
            "1 50 20 100 1\n");
  EXPECT_EQ(Run("timing start=2 trigger=bad current=9; print Start Time RepCount"),
            "error: 'bad' is not a valid floating point value\n2 0 0\n");
  EXPECT_EQ(Run("timing-defaults; print FinTim GrDel Start"), "1000 10 0\n");
  EXPECT_EQ(Run("numbers min=-5 max=50 origin=1 factor=; print ColourMin ColourMax ScaleOrgn ScaleFactr 11.Value"),
            "-5 50 1 0 0\n");
  EXPECT_EQ(Run("numbers-defaults; print ColourMin ColourMax ScaleOrgn ScaleFactr 13.Value"), "0 100 0 1 100\n");
  EXPECT_THROW(Run("timing Delt=1"), UsageError);
  EXPECT_THROW(Run("numbers minimum=1"), UsageError);
  EXPECT_THROW(Run("numbers g1.0=1"), UsageError);
  EXPECT_THROW(Run("timing-defaults now"), UsageError);
}

}  // namespace
}  // namespace trevolan::cli
