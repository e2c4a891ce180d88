#include "model/text.h"

#include <gtest/gtest.h>

#include <string>

#include "editing/block_form.h"
#include "editing/new_block.h"
#include "model/file_commands.h"
#include "model/model_file.h"
#include "support/test_support.h"

namespace trevolan {
namespace {

using testing::ReadTextFile;
using testing::TempDir;
using testing::TestSim;

TEST(Text, CutsByCharactersNeverInsideOne) {
  const struct {
    const char* text;
    size_t max;
    const char* cut;
  } cases[] = {
      {"Wärmefluss", 10, "Wärmefluss"},           // 10 characters in 11 bytes
      {"aééééééééé", 10, "aééééééééé"},           // 10 in 19
      {"aéééééééééé", 10, "aééééééééé"},          // 11 cut to 10
      {"Wärmefluss!", 10, "Wärmefluss"},
      {"€uro", 1, "€"},                           // three bytes
      {"\xF0\x9F\x99\x82ok", 2, "\xF0\x9F\x99\x82o"},  // four bytes
      {"abc", 0, ""},
      {"", 5, ""},
      {"a\xE9z", 2, "a\xE9"},                     // a stray byte counts as one character
      {"\xE2\x82", 1, "\xE2"},                    // a sequence cut short: its bytes one by one
  };
  for (const auto& c : cases) EXPECT_EQ(CutToCharacters(c.text, c.max), c.cut) << c.text << " to " << c.max;
}

TEST(Text, ValidUtf8AndWindows1252) {
  const struct {
    const char* text;
    bool valid;
  } cases[] = {
      {"plain", true},          {"Wärme €", true},     {"\xF4\x8F\xBF\xBF", true},  // U+10FFFF
      {"W\xE4rme", false},      {"\xC0\xAF", false},   // overlong
      {"\xED\xA0\x80", false},  // a surrogate
      {"\xF4\x90\x80\x80", false},  // above U+10FFFF
      {"\xE2\x82", false},      {"\x80", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsValidUtf8(c.text), c.valid) << c.text;
  EXPECT_EQ(Windows1252ToUtf8("W\xE4rme \x80 \x93q\x94 \x81\xFF"), "Wärme € “q” \xC2\x81ÿ");
  EXPECT_EQ(AsUtf8("Wärme"), "Wärme");
  EXPECT_EQ(AsUtf8("W\xE4rme"), "Wärme");
  EXPECT_EQ(FitText("W\xE4rmefluss-Ende", 10), "Wärmefluss");
}

// A name and a comment typed into the block dialog keep their whole characters, are
// saved as UTF-8 and read back unchanged; an old single-byte file reads as Windows-1252.
TEST(Text, NamesAndCommentsThroughTheDialogTheFileAndBack) {
  const std::string comment = std::string(254, 'x') + "éé";  // 256 characters
  TestSim s;
  NewBlock(*s, BlockType::Container, 101, 50, 60);
  NewBlock(*s, BlockType::Container, 102, 50, 60);
  s->HighestBlock = 102;
  for (const auto& [id, name] : {std::pair{101, "Wärmefluss"}, std::pair{102, "aéééééééééé"}}) {
    TBlockFm form;
    s->PickedBlock = id;
    form.FormActivate(*s);
    form.Edit2.text = name;
    form.Edit13.text = comment;
    form.ApplyBtnClick(*s);
  }
  EXPECT_EQ(s->block(101).Name, "Wärmefluss");
  EXPECT_EQ(s->block(102).Name, "aééééééééé");
  EXPECT_EQ(s->block(101).Comment, std::string(254, 'x') + "é");
  const std::string file = ModelFileText(*s, "now");
  EXPECT_TRUE(IsValidUtf8(file));

  TestSim back;
  ReadModelText(*back, file);
  for (const int id : {101, 102}) {
    EXPECT_EQ(back->block(id).Name, s->block(id).Name);
    EXPECT_EQ(back->block(id).Comment, s->block(id).Comment);
  }

  // The same file as an old program wrote it, in Windows-1252.
  std::string old = file;
  for (const auto& [utf8, single] : {std::pair<std::string, std::string>{"ä", "\xE4"}, {"é", "\xE9"}}) {
    for (size_t at = old.find(utf8); at != std::string::npos; at = old.find(utf8, at)) old.replace(at, 2, single);
  }
  ASSERT_FALSE(IsValidUtf8(old));
  TestSim legacy;
  ReadModelText(*legacy, old);
  EXPECT_EQ(legacy->block(101).Name, "Wärmefluss");
  EXPECT_EQ(legacy->block(102).Name, "aééééééééé");
  EXPECT_EQ(legacy->block(102).Comment, s->block(102).Comment);

  // A path that is no UTF-8 (a Latin-1 byte) is saved to and opened as it is; its header
  // lines carry U+FFFD for the byte, and the names stay whole through every cycle.
  TempDir dir;
  const std::string latin1 = dir.path("mod\xE8le.txt");
  for (int cycle = 0; cycle < 3; ++cycle) {
    FileSaveAs(*s, latin1);
    const std::string saved = ReadTextFile(latin1);
    EXPECT_TRUE(IsValidUtf8(saved));
    EXPECT_NE(saved.find("This file is " + dir.path("mod\xEF\xBF\xBDle.txt") + "\r\n"), std::string::npos);
    FileOpen(*s, latin1);
    EXPECT_EQ(s->DataFileName, latin1);
    EXPECT_EQ(s->block(101).Name, "Wärmefluss") << cycle;
    EXPECT_EQ(s->block(102).Comment, std::string(254, 'x') + "é") << cycle;
  }
  // As an older save wrote it, with the raw byte in its header: still read as UTF-8.
  std::string raw = ReadTextFile(latin1);
  for (size_t at = raw.find("\xEF\xBF\xBD"); at != std::string::npos; at = raw.find("\xEF\xBF\xBD")) raw.replace(at, 3, "\xE8");
  ASSERT_FALSE(IsValidUtf8(raw));
  TestSim older;
  ReadModelText(*older, raw);
  EXPECT_EQ(older->block(101).Name, "Wärmefluss");
  EXPECT_EQ(ReplaceInvalidUtf8("a\xE8\xE2\x82z\xC3\xA4"), "a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDzä");
}

}  // namespace
}  // namespace trevolan
