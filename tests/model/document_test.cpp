// The window's knowledge of its model: changes, known files, recovery copies, the
// first-run hint.
#include "model/document.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "model/file_commands.h"
#include "model/model_file.h"
#include "support/test_support.h"

namespace trevolan {
namespace {

using testing::ExamplePath;
using testing::ReadTextFile;
using testing::TempDir;
using testing::WriteTextFile;
using namespace std::chrono_literals;

TEST(Document, ReplacesOnlyFilesItKnowsWithoutAsking) {
  TempDir dir;
  Document d;
  const std::string opened = dir.path("opened.txt"), other = dir.path("SaveFile"), fresh = dir.path("new.txt");
  WriteTextFile(opened, "x");
  WriteTextFile(other, "x");
  d.Loaded(opened, true);
  EXPECT_TRUE(d.MayReplace(opened));
  EXPECT_TRUE(d.MayReplace(dir.path("sub/../opened.txt")));  // the same file by another path
  EXPECT_FALSE(d.MayReplace(other));
  EXPECT_TRUE(d.MayReplace(fresh));
  d.Written(other);
  EXPECT_TRUE(d.MayReplace(other));
}

TEST(Document, SaveFileNameAndRecoveryInterval) {
  auto s = std::make_unique<Sim>();
  Document d;
  d.NewModel();
  EXPECT_EQ(d.CurrentFile(*s), "");  // Save goes through Save As
  EXPECT_EQ(d.DisplayName(), "the new model");
  d.Loaded("/m/model.txt", false);  // the load at start-up
  EXPECT_EQ(d.CurrentFile(*s), "");
  EXPECT_EQ(d.DisplayName(), "model.txt");
  s->SaveFileName = "SaveFile";
  d.Loaded("/m/model.txt", true);  // Open
  EXPECT_EQ(d.CurrentFile(*s), "SaveFile");
  EXPECT_EQ(d.DisplayName(), "model.txt");  // the model, not its save file

  const auto t0 = Document::Clock::time_point{} + 1h;
  EXPECT_FALSE(d.RecoveryDue(t0, 60s));  // nothing changed
  d.SetModified(true);
  EXPECT_TRUE(d.RecoveryDue(t0, 60s));   // the first copy at once
  d.RecoveryWritten(t0);
  EXPECT_FALSE(d.RecoveryDue(t0 + 70s, 60s));  // nothing new since
  d.Edited();
  EXPECT_FALSE(d.RecoveryDue(t0 + 30s, 60s));
  EXPECT_TRUE(d.RecoveryDue(t0 + 60s, 60s));
  EXPECT_TRUE(d.RecoveryBehind());  // before a run: written whatever the interval
  d.SetModified(false);
  EXPECT_FALSE(d.RecoveryBehind());
}

TEST(Document, TheFirstRunHintComesOnceForALoadedModelNeverReset) {
  Document d;
  EXPECT_FALSE(d.TakeFirstRunHint());  // no model loaded
  d.Loaded("a.txt", true);
  EXPECT_TRUE(d.TakeFirstRunHint());
  EXPECT_FALSE(d.TakeFirstRunHint());
  d.Loaded("b.txt", true);
  d.ResetPressed();
  EXPECT_FALSE(d.TakeFirstRunHint());
}

TEST(Document, ARecoveryCopyRestoresTheModelItsNamesAndCaption) {
  auto s = std::make_unique<Sim>();
  FileOpen(*s, ExamplePath("damped_oscillator.txt"));
  Document d;
  d.Loaded(s->DataFileName, true);
  s->block(103).Name = "edited";
  s->block(103).XX = 470;
  s->block(5).Value = 250;  // FinTim, a system block
  LoadTimingGlobals(*s);
  d.SetModified(true);
  const std::string text = RecoveryText(*s, d, "today");
  ASSERT_EQ(text.rfind(kRecoveryFirstLine, 0), 0u);

  auto restored = std::make_unique<Sim>();
  Document d2;
  RestoreRecovery(*restored, d2, ParseRecoveryText(text));
  // The files come back as absolute paths, so that Save writes where it would have
  // whatever the working folder of the session that restores the copy.
  EXPECT_EQ(restored->SaveFileName, Document::Key("SaveFile"));
  s->SaveFileName = Document::Key("SaveFile");
  EXPECT_EQ(ModelFileText(*restored, "x"), ModelFileText(*s, "x"));
  EXPECT_EQ(restored->FinTim, 250);
  EXPECT_EQ(restored->block(103).Name, "edited");
  EXPECT_EQ(restored->WindowCaption, "Trevolan SaveFile");
  EXPECT_TRUE(d2.modified());
  EXPECT_EQ(d2.model_file(), s->DataFileName);
  EXPECT_EQ(d2.CurrentFile(*restored), Document::Key("SaveFile"));
  EXPECT_THROW(ParseRecoveryText("Dorvanek-Consulting:Analogue\n"), IoError);
  EXPECT_THROW(ParseRecoveryText(text.substr(0, 40)), IoError);
}

// Names with line breaks or backslashes come back whole from a copy, so that Save writes
// the file the copy recorded and no other; and a restored copy's file, which may have
// been written since, is not replaced without asking. An older copy (no mark after its
// first line) is read as it was written.
TEST(Document, ARecoveryCopyKeepsEveryNameWholeAndItsSaveAsks) {
  TempDir dir;
  for (const std::string name : {"nl/a\nb.txt", "cr\r.txt", "back\\nslash.txt", "plain.txt"}) {
    SCOPED_TRACE(name);
    std::filesystem::create_directories(std::filesystem::path(dir.path(name)).parent_path());
    WriteTextFile(dir.path(name), ReadTextFile(ExamplePath("integrators.txt")));
    auto s = std::make_unique<Sim>();
    FileOpen(*s, dir.path(name));
    Document d;
    d.Loaded(s->DataFileName, true);
    s->SaveFileName = dir.path(name);
    s->WindowCaption = name;
    d.SetModified(true);
    ASSERT_TRUE(d.MayReplace(dir.path(name)));
    const RecoveryCopy copy = ParseRecoveryText(RecoveryText(*s, d, "today"));
    EXPECT_EQ(copy.model_file, dir.path(name));
    EXPECT_EQ(copy.data_file, dir.path(name));
    EXPECT_EQ(copy.save_file, dir.path(name));
    EXPECT_EQ(copy.caption, name);
    auto restored = std::make_unique<Sim>();
    Document d2;
    RestoreRecovery(*restored, d2, copy);
    EXPECT_EQ(d2.CurrentFile(*restored), dir.path(name));
    EXPECT_FALSE(d2.MayReplace(dir.path(name)));
  }
  const RecoveryCopy old = ParseRecoveryText(std::string(kRecoveryFirstLine) +
                                             "\nmodel: /m\\n.txt\ndata: /d.txt\nsave: /s.txt\ncaption: c\nsave file "
                                             "chosen: 1\nmodel text");
  EXPECT_EQ(old.model_file, "/m\\n.txt");
  EXPECT_EQ(old.model_text, "model text");
}

}  // namespace
}  // namespace trevolan
