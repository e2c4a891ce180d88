#include "model/model_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <random>

#include "model/atomic_file.h"
#include "model/file_commands.h"
#include "model/numbers.h"
#include "support/test_support.h"

namespace trevolan {
namespace {

using testing::ExamplePath;
using testing::ReadTextFile;
using testing::SplitLines;
using testing::TempDir;
using testing::TestSim;
using testing::WriteTextFile;

// A model file of the given block lines after a header that the reader skips.
std::string FileWith(const std::string& body) {
  return "Dorvanek-Consulting:Analogue and Petri-Net Simulator: Trevolan4\r\nheader\r\n" + body + "ZZZ\r\n";
}

// A block line with the given fields (XX..Value) and comment, as the writer makes them.
std::string Line(const std::string& type_id_name, const std::string& numbers, const std::string& comment = "\"\"") {
  return "@" + type_id_name + "   " + numbers + " " + comment + "\r\n";
}
const std::string kContainerNumbers = "10   20   1   2   0   0   0   0   0   0   -1   0   0   100   50   0   5";

void Prepare(Sim& s) {
  ClearBlockTable(s);
  SetSystemDefaults(s);
  LoadTimingGlobals(s);
  s.HighestBlock = 100;
  s.TapeChannels = 0;
}

TEST(NextToken, SkipsRunsOfDelimitersAndConsumesOne) {
  const std::string line = "  ab,,cd\te ,";
  size_t pos = 1;
  EXPECT_EQ(NextToken(line, pos), "ab");
  EXPECT_EQ(pos, 6u);  // just behind the comma that ended it
  EXPECT_EQ(NextToken(line, pos), "cd");
  EXPECT_EQ(NextToken(line, pos), "e");
  EXPECT_EQ(NextToken(line, pos), "");
  EXPECT_GT(pos, line.size());
  const std::string long_token(300, 'x');
  pos = 1;
  EXPECT_EQ(NextToken(long_token + " y", pos).size(), 255u);
  EXPECT_EQ(NextToken(long_token + " y", pos), "y");
}

TEST(ModelWriter, HeaderReferenceAndColumnLines) {
  TestSim s;
  s->DataFileName = "in.txt";
  s->SaveFileName = "out.txt";
  const std::string text = ModelFileText(*s, "today");
  const auto lines = SplitLines(text);
  ASSERT_GE(lines.size(), 45u);
  EXPECT_EQ(lines[0], "Dorvanek-Consulting:Analogue and Petri-Net Simulator: Trevolan4");
  EXPECT_EQ(lines[1], "DataFile was in.txt");
  EXPECT_EQ(lines[2], "This file is out.txt");
  EXPECT_EQ(lines[3], "Recorded: today");
  EXPECT_EQ(lines[4], "");
  EXPECT_EQ(lines[5], "BLOCK DESCRIPTIONS:");
  EXPECT_EQ(lines[6], "A: Activity/Actor for Petri Nets. Has Time of action");
  EXPECT_EQ(lines[8], "C  Container (can serve as constants. Up to #17, are visible system parameters");
  EXPECT_EQ(lines[14], "I: Integrator, INT{(a-b)*c}dt+d, uses bb as \"max load\" or for rotation behaviour ");
  EXPECT_EQ(lines[33], "@: Access/change any data item");
  EXPECT_EQ(lines[34], "");
  EXPECT_EQ(lines[35], "DATA FORMATS:");
  EXPECT_EQ(lines[36], "Column Designations. Except data line after A,B,D,G,M,O,U");
  EXPECT_EQ(lines[37], "@Type ID# Name XX YY OnOff Displ State An Bn Cn Dn Pn #stored aa bb cc dd pp Value Comment");
  EXPECT_EQ(lines[38], "");
  EXPECT_EQ(lines[39].substr(0, 13), "@C   0   ZERO");
  EXPECT_EQ(lines.back(), "ZZZ");
  // Every line ends in CR LF.
  size_t lf = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++lf;
      ASSERT_EQ(text[i - 1], '\r');
    }
  }
  EXPECT_EQ(lf, lines.size());
}

TEST(ModelWriter, BlockAndStoredDataLines) {
  TestSim s;
  TBlock& b = s->block(101);
  b.Type = BlockType::Container;
  b.Name = "C101";
  b.XX = 10;
  b.YY = -20;
  b.OnOff = 1;
  b.Displ = 2;
  b.cc = 100;
  b.dd = 0.5;
  b.Value = 1e-7;
  b.Comment = "say \"hi\"";
  EXPECT_EQ(WriteBlockLine(*s, 101),
            "@C   101   C101   10   -20   1   2   0   0   0   0   0   0   -1   0   0   100   0.5   0   1E-7 "
            "\"say \"hi\"\"\r\n");
  b.stored = {0, 0.12345, -1.5, 1000000, -100000, 999999.99999};
  const auto lines = SplitLines(WriteBlockLine(*s, 101));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find("   5   0   0   100"), std::string::npos);
  EXPECT_EQ(lines[1], "      0.0000      0.1235     -1.5000 1000000.0000 -100000.0000 1000000.0000");
  b.stored = {7};  // one entry alone: "#stored 0" and no data line
  const auto one = SplitLines(WriteBlockLine(*s, 101));
  ASSERT_EQ(one.size(), 1u);
  EXPECT_NE(one[0].find("   0   0   0   0   0   0   0   100"), std::string::npos);
}

TEST(ModelWriter, NamesThatWouldShiftTokensAreMended) {
  TestSim s;
  for (const auto& [name, written] : std::vector<std::pair<std::string, std::string>>{
           {"", "_"}, {"a b", "a_b"}, {"x,y", "x_y"}, {"t\tab", "t_ab"}, {"ok", "ok"}}) {
    s->block(101).Type = BlockType::Logic;
    s->block(101).Name = name;
    EXPECT_EQ(WriteBlockLine(*s, 101).substr(0, 11 + written.size()), "@K   101   " + written);
  }
  s->block(101).Comment = "two\r\nlines";
  EXPECT_NE(WriteBlockLine(*s, 101).find("\"two  lines\"\r\n"), std::string::npos);
}

// A model with a block of every type, stored lists, awkward comments and values.
void BuildRichModel(Sim& s) {
  const std::string types = "ABCDEFGHIJKLMNOPQRSTUVWXZ%&@";
  int id = 101;
  for (char t : types) {
    TBlock& b = s.block(id);
    b.Type = TypeOfLetter(t);
    b.Name = std::string(1, t) + std::to_string(id);
    b.XX = 20 * (id - 100);
    b.YY = 3 * id;
    b.OnOff = id % 3 - 1;
    b.Displ = id % 5;
    b.State = id % 4;
    b.An = id - 1;
    b.Bn = -(id - 2);
    b.Pn = 31;
    b.aa = 1.0 / id;
    b.bb = -id * 1e10;
    b.cc = 2.5e-9;
    b.dd = 123456.789;
    b.pp = std::numbers::pi;
    b.Value = id * 0.1;
    b.Comment = "block of type " + std::string(1, t) + " with \"inner\" quotes";
    if (t == 'A' || t == 'B' || t == 'D' || t == 'G' || t == 'M' || t == 'O' || t == 'U') {
      for (int k = 0; k < 5 + id % 7; ++k) b.stored.push_back(k * 1.25 - 3);
    }
    ++id;
  }
  s.block(140).Type = BlockType::Note;
  s.block(140).Name = "long";
  s.block(140).XX = 300;
  s.block(140).Comment = std::string(250, 'c') + "\"end";
  s.block(141).Type = BlockType::Container;
  s.block(141).Name = "nonfinite";
  s.block(141).Value = std::numeric_limits<double>::quiet_NaN();
  s.block(141).aa = std::numeric_limits<double>::infinity();
  s.block(141).bb = -std::numeric_limits<double>::infinity();
  s.block(141).cc = std::numeric_limits<double>::max();
  s.block(141).dd = -std::numeric_limits<double>::max();
  s.block(141).stored = {1, std::numeric_limits<double>::infinity(), 2};
  s.block(19).stored = {2, 101, 105, 0, 0, 0, 0, 0, 0, 0, 0};
  s.HighestBlock = 141;
}

// Lines 2..4 name the files and the time; the rest must match.
std::vector<std::string> WithoutFileLines(const std::string& text) {
  auto lines = SplitLines(text);
  lines.erase(lines.begin() + 1, lines.begin() + 4);
  return lines;
}

TEST(ModelFile, SavedOpenedAndSavedAgainGivesTheSameFile) {
  TempDir dir;
  TestSim s;
  BuildRichModel(*s);
  FileSaveAs(*s, dir.path("a.txt"));
  FileOpen(*s, dir.path("a.txt"));
  EXPECT_TRUE(s.ui.messages.empty());
  FileSaveAs(*s, dir.path("b.txt"));
  const std::string a = ReadTextFile(dir.path("a.txt")), b = ReadTextFile(dir.path("b.txt"));
  EXPECT_EQ(WithoutFileLines(a), WithoutFileLines(b));
  // What came back is the model, not just the same text.
  EXPECT_EQ(s->HighestBlock, 141);
  EXPECT_EQ(s->block(140).Comment, std::string(250, 'c') + "\"end");
  EXPECT_EQ(s->block(105).Comment, "block of type E with \"inner\" quotes");
  EXPECT_EQ(s->block(102).Bn, -100);
  EXPECT_EQ(s->block(102).aa, std::stod(FormatGeneral(1.0 / 102)));
  EXPECT_TRUE(std::isnan(s->block(141).Value));
  EXPECT_EQ(s->block(141).bb, -std::numeric_limits<double>::infinity());
  EXPECT_EQ(s->block(141).cc, 1.79769313486231e308);  // the largest double, to fifteen digits that read back
  EXPECT_EQ(s->block(141).dd, -1.79769313486231e308);
  EXPECT_EQ(s->block(141).stored[1], std::numeric_limits<double>::infinity());
  EXPECT_EQ(s->TapeChannels, 2);
  EXPECT_EQ(s->TapeChannelIDs[2], 105);
  EXPECT_EQ(s->SaveFileName, dir.path("b.txt"));
}

TEST(ModelReader, HeaderOnlyGivesTheDefaults) {
  TestSim s;
  Prepare(*s);
  ReadModelText(*s, "just a header\r\nand nothing else\r\n");
  EXPECT_EQ(s->HighestBlock, 100);
  EXPECT_EQ(s->block(5).Value, 1000);
  ReadModelText(*s, "");
  EXPECT_EQ(s->HighestBlock, 100);
}

TEST(ModelReader, LinesThatAreIgnoredSilently) {
  const std::vector<std::string> ignored = {
      "@C 101 c 1 2 3 4 5 6 7 8 9 0 1 2 3 4 5 6 7 \"\"",                        // shorter than 50
      Line("Y   101   why", kContainerNumbers),                                 // type Y
      Line("c   101   lower", kContainerNumbers),                               // lower-case type
      Line("?   101   empty", kContainerNumbers),                               // empty slot
      Line("C   5.0   badid", kContainerNumbers),                               // ID not an integer
      "@C   101   short   10   20   1   2   0   0   0   0   0   0   -1   0   0   100   50   0\r\n",  // 16 numbers
      "@C   101   short   10   20   1   2   0   0   0   0   0   0   -1   0   0   100   50   0 \r\n",
      "note @C   101   name   10   20   1   2   0   0   0   0   0   0   -1   0   0   100   50   0   5\r\n",
  };
  ASSERT_LT(ignored[0].size(), 50u);
  for (const std::string& line : ignored) {
    TestSim s;
    Prepare(*s);
    ReadModelText(*s, FileWith(line));
    EXPECT_EQ(s->block(101).Type, BlockType::Empty) << line;
    EXPECT_EQ(s->HighestBlock, 100) << line;
    EXPECT_TRUE(s.ui.messages.empty()) << line;
  }
}

TEST(ModelReader, BadNumberSkipsOnlyItsLineWithAMessage) {
  TestSim s;
  Prepare(*s);
  const std::string sixteen_and_comment =
      "@C   101   c   10   20   1   2   0   0   0   0   0   0   -1   0   0   100   50   0 \"a comment\"\r\n";
  ReadModelText(*s, FileWith(sixteen_and_comment + Line("C   102   fine", kContainerNumbers) +
                             Line("C   103   huge", "10   20   1   2   0   0   0   0   0   0   -1   0   0   1e999   50   0   5")));
  EXPECT_EQ(s->block(101).Type, BlockType::Empty);
  EXPECT_EQ(s->block(102).Type, BlockType::Container);
  EXPECT_EQ(s->block(103).Type, BlockType::Empty);
  EXPECT_EQ(s.ui.messages, (std::vector<std::string>{"Problem in reading data for Block   101",
                                                     "Problem in reading data for Block   103"}));
  EXPECT_EQ(s->HighestBlock, 102);
  EXPECT_EQ(s.ui.draw_all, 1);
}

TEST(ModelReader, TheFirstTenProblemsAreShownAndTheRestCounted) {
  for (const int bad : {10, 11, 1000}) {
    TestSim s;
    Prepare(*s);
    s->DataFileName = "m.txt";
    std::string body;
    std::vector<std::string> expected;
    for (int id = 101; id < 101 + bad; ++id) {
      body += Line("C   " + std::to_string(id) + "   c", "10   20   1   2   0   0   0   0   0   0   -1   0   0   x   50   0   5");
      if (expected.size() < 10) expected.push_back("Problem in reading data for Block   " + std::to_string(id));
    }
    if (bad > 10) expected.push_back("and " + std::to_string(bad - 10) + " more problems in m.txt");
    // Shown also when an error ends the reading.
    EXPECT_THROW(ReadModelText(*s, FileWith(body + Line("C   1001   far", kContainerNumbers))), RangeError);
    EXPECT_EQ(s.ui.messages, expected) << bad;
  }
}

TEST(ModelReader, FieldsRoundedCommentsStrippedAndNamesCut) {
  TestSim s;
  Prepare(*s);
  ReadModelText(*s, FileWith(Line("C   101   averyveryverylongname",
                                  "2.5   3.5   1   2   0   -7.5   0   0   0   0   -1   0   0   100   50   0   5",
                                  "\"keep \"inner\" quotes\"") +
                             Line("C   102   noquote", kContainerNumbers, "plain words ") +
                             Line("C,  103,,  commas", "10,20,1,2,0,0,0,0,0,0,-1,0,0,100,50,0,5", "")));
  const TBlock& b = s->block(101);
  EXPECT_EQ(b.XX, 2);
  EXPECT_EQ(b.YY, 4);
  EXPECT_EQ(b.An, -8);
  EXPECT_EQ(b.Name, "averyveryv");
  EXPECT_EQ(b.Comment, "keep \"inner\" quotes");
  EXPECT_EQ(b.Value, 5);
  EXPECT_EQ(b.ID, 101);
  EXPECT_EQ(s->block(102).Comment, "plain words ");
  EXPECT_EQ(s->block(103).Type, BlockType::Container);
  EXPECT_EQ(s->block(103).cc, 100);
}

TEST(ModelReader, StoredDataSpansLinesAndKeepsAListOfOne) {
  TestSim s;
  Prepare(*s);
  s->block(102).stored = {42};
  ReadModelText(*s, FileWith(Line("G   101   g", "10   20   1   2   0   0   0   0   0   0   4   0   0   100   50   0   5") +
                             "   1.0000   2.0000\r\n   3.0000\r\n 4.0 0.12345 trailing\r\n" +
                             Line("C   102   c", "10   20   1   2   0   0   0   0   0   0   0   0   0   100   50   0   5")));
  EXPECT_EQ(s->block(101).stored, (std::vector<double>{1, 2, 3, 4, 0.12345}));
  EXPECT_EQ(s->block(102).stored, std::vector<double>{42});
  EXPECT_TRUE(s.ui.messages.empty());
}

TEST(ModelReader, RangeErrorsEndTheReadingAndKeepWhatWasRead) {
  struct Case {
    std::string bad_line, detail;  // the message stays "Range check error"; the detail says where
  };
  const std::string at_line_4 = "line 4 of m.txt, where the reading stopped";
  for (const Case& c : std::vector<Case>{
           {Line("C   1001   far", kContainerNumbers), "block ID 1001: an ID is in 0..1000; " + at_line_4},
           {Line("C   -5   neg", kContainerNumbers), "block ID -5: an ID is in 0..1000; " + at_line_4},
           {Line("C   103   wide", "1e10   20   1   2   0   0   0   0   0   0   -1   0   0   100   50   0   5"),
            "block 103, field XX = 10000000000: beyond the 32-bit integer range; " + at_line_4},
           {Line("C   103   wide", "10   20   1   2   0   0   0   -2147483649   0   0   -1   0   0   100   50   0   5"),
            "block 103, field Cn = -2147483649: beyond the 32-bit integer range; " + at_line_4},
           {Line("C   103   list", "10   20   1   2   0   0   0   0   0   0   3e9   0   0   100   50   0   5"),
            "block 103, field #stored = 3000000000: beyond the 32-bit integer range; " + at_line_4}}) {
    TestSim s;
    Prepare(*s);
    s->DataFileName = "m.txt";
    const std::string text =
        FileWith(Line("C   101   first", kContainerNumbers) + c.bad_line + Line("C   102   after", kContainerNumbers));
    try {
      ReadModelText(*s, text);
      ADD_FAILURE() << "no error: " << c.bad_line;
    } catch (const RangeError& e) {
      EXPECT_STREQ(e.what(), "Range check error");
      EXPECT_EQ(e.detail, c.detail);
    }
    EXPECT_EQ(s->block(101).Type, BlockType::Container);
    EXPECT_EQ(s->block(102).Type, BlockType::Empty);
    EXPECT_EQ(s->block(103).Type, BlockType::Empty);  // no half-written block
    EXPECT_EQ(s->HighestBlock, 101);
  }
}

TEST(ModelReader, StoredCountsTrustedOnlyAsFarAsTheFileHoldsNumbers) {
  for (const std::string& tail : {std::string("   1   2   3\r\n"), std::string("   1   x   3   4\r\n")}) {
    TestSim s;
    Prepare(*s);
    const std::string text =
        FileWith(Line("G   150   g", "10   20   1   2   0   0   0   0   0   0   1e9   0   0   100   50   0   5") + tail +
                 Line("C   151   after", kContainerNumbers));
    EXPECT_THROW(ReadModelText(*s, text), IoError);
    EXPECT_EQ(s->block(150).Type, BlockType::Generator);
    EXPECT_TRUE(s->block(150).stored.empty());
    EXPECT_EQ(s->block(151).Type, BlockType::Empty);
    // The block whose data failed is within the model, not hidden above it.
    EXPECT_EQ(s->HighestBlock, 150);
  }
}

TEST(ModelReader, NonFiniteIntegerFieldsAreBadNumbers) {
  TestSim s;
  Prepare(*s);
  ReadModelText(*s, FileWith(Line("C   101   nanx", "NAN   20   1   2   0   0   0   0   0   0   -1   0   0   100   50   0   5") +
                             Line("C   102   infan", "10   20   1   2   0   -INF   0   0   0   0   -1   0   0   100   50   0   5") +
                             Line("G   103   infst", "10   20   1   2   0   0   0   0   0   0   INF   0   0   100   50   0   5") +
                             Line("C   104   after", "10   20   1   2   0   0   0   0   0   0   -1   NAN   INF   -INF   0   0   5")));
  EXPECT_EQ(s.ui.messages, (std::vector<std::string>{"Problem in reading data for Block   101",
                                                     "Problem in reading data for Block   102",
                                                     "Problem in reading data for Block   103"}));
  EXPECT_EQ(s->block(101).Type, BlockType::Empty);
  EXPECT_EQ(s->block(103).Type, BlockType::Empty);
  EXPECT_EQ(s->block(104).Type, BlockType::Container);  // coefficients may be non-finite
  EXPECT_TRUE(std::isinf(s->block(104).bb));
  EXPECT_EQ(s->HighestBlock, 104);
}

TEST(ModelFile, AFileThatIsNoModelLeavesTheModelAsItWas) {
  TempDir dir;
  WriteTextFile(dir.path("script.sh"), "#!/bin/sh\n# a shell script, with a line that is long enough to be a block line\nexit 0\n");
  WriteTextFile(dir.path("image.png"), std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) + std::string(100, '\0'));
  WriteTextFile(dir.path("empty.txt"), "");
  // A damaged model is still a model: one block line with a bad number, no header.
  WriteTextFile(dir.path("damaged.txt"),
                "@C   101   c   10   20   1   2   0   0   0   0   0   0   -1   0   0   x   50   0   5 \"\"\r\n");
  TestSim s;
  FileOpen(*s, ExamplePath("integrators.txt"));
  const std::string saved = ModelFileText(*s, "now");
  for (const char* name : {"script.sh", "image.png", "empty.txt"}) {
    for (const bool startup : {false, true}) {
      const std::string path = dir.path(name);
      try {
        startup ? StartupLoad(*s, path) : FileOpen(*s, path);
        ADD_FAILURE() << name;
      } catch (const IoError& e) {
        EXPECT_EQ(e.what(), path + " is not a model file");
      }
      EXPECT_EQ(ModelFileText(*s, "now"), saved) << name;
      EXPECT_EQ(s->DataFileName, ExamplePath("integrators.txt"));
    }
  }
  FileOpen(*s, dir.path("damaged.txt"));
  EXPECT_EQ(s.ui.messages.back(), "Problem in reading data for Block   101");
  EXPECT_EQ(s->HighestBlock, 100);
  EXPECT_EQ(s->DataFileName, dir.path("damaged.txt"));
}

// Lines ending in CR LF, LF or CR alone (as older Macs wrote them) read as one model.
TEST(ModelReader, EveryKindOfLineEndReadsTheSameModel) {
  TempDir dir;
  TestSim s;
  FileOpen(*s, ExamplePath("integrators.txt"));
  const std::string model = ModelFileText(*s, "now");
  const std::string crlf = ReadTextFile(ExamplePath("integrators.txt"));
  for (const char* end : {"\n", "\r"}) {
    std::string text;
    for (size_t at = 0; at < crlf.size(); ++at) {
      if (crlf.compare(at, 2, "\r\n") == 0) {
        text += end;
        ++at;
      } else {
        text += crlf[at];
      }
    }
    WriteTextFile(dir.path("m.txt"), text);
    TestSim read;
    FileOpen(*read, dir.path("m.txt"));
    read->DataFileName = s->DataFileName;
    EXPECT_EQ(ModelFileText(*read, "now"), model) << (end[0] == '\r' ? "CR" : "LF");
  }
}

// A file whose open failed holds what no model in memory holds: a save over it, by any
// of its names, is refused and names the failed open, until an open of it succeeds.
TEST(SaveModel, AFileWhoseOpenFailedIsNotReplaced) {
  TempDir dir;
  const std::string partial = FileWith(Line("C   101   first", kContainerNumbers) + Line("C   1001   far", kContainerNumbers));
  const struct {
    std::string text, failure;
  } cases[] = {{partial, "Range check error"}, {"not a model, but long enough to be a line of one", "is not a model file"}};
  for (const auto& c : cases) {
    for (const bool startup : {false, true}) {
      SCOPED_TRACE(c.failure);
      const std::string path = dir.path(startup ? "s.txt" : "m.txt");
      WriteTextFile(path, c.text);
      std::filesystem::remove(dir.path("link.txt"));
      std::filesystem::remove(dir.path("hard.txt"));
      std::filesystem::create_symlink(path, dir.path("link.txt"));
      std::filesystem::create_hard_link(path, dir.path("hard.txt"));
      TestSim s;
      EXPECT_ANY_THROW(startup ? StartupLoad(*s, dir.path("link.txt")) : FileOpen(*s, path));
      for (const std::string& name : {path, dir.path("link.txt"), dir.path("hard.txt")}) {
        try {
          FileSaveAs(*s, name);
          ADD_FAILURE() << name << " was replaced";
        } catch (const IoError& e) {
          EXPECT_NE(std::string(e.what()).find(" failed (" ), std::string::npos) << e.what();
          EXPECT_NE(std::string(e.what()).find(c.failure), std::string::npos) << e.what();
        }
      }
      EXPECT_EQ(ReadTextFile(path), c.text);
      FileSaveAs(*s, dir.path("other.txt"));  // another file is saved as ever
      WriteTextFile(path, ReadTextFile(ExamplePath("integrators.txt")));
      FileOpen(*s, path);
      FileSaveAs(*s, dir.path("link.txt"));
      EXPECT_NE(ReadTextFile(path).find("This file is " + dir.path("link.txt")), std::string::npos);
    }
  }
}

TEST(ModelReader, ShortChannelListOfTheGraphsBlock) {
  TestSim s;
  Prepare(*s);
  s->block(19).stored.clear();
  const std::string text =
      FileWith(Line("O   19   Graphs", "60   375   1   3   2   14   15   16   17   0   5   0   0   0   0   10   10") +
               " 2 101 102 103 104 105\r\n");
  EXPECT_THROW(ReadModelText(*s, text), RangeError);
  EXPECT_EQ(s->TapeChannelIDs[4], 104);
  EXPECT_EQ(s->TapeChannelIDs[5], 105);
  EXPECT_EQ(s->TapeChannels, 0);
}

TEST(ModelReader, EarlyEndAndLongLines) {
  TestSim s;
  Prepare(*s);
  const std::string comment = "\"" + std::string(400, 'q') + "\"";
  ReadModelText(*s, FileWith(Line("N   101   note", kContainerNumbers, comment) +
                             "ZZZ   and more text so that this line is fifty characters or longer\r\n" +
                             Line("C   102   never", kContainerNumbers)));
  EXPECT_EQ(s->block(101).Comment, std::string(255, 'q'));  // a comment holds at most 255
  EXPECT_EQ(s->block(102).Type, BlockType::Empty);
}

TEST(ModelReader, MissingFileAndFolder) {
  TempDir dir;
  TestSim s;
  s->DataFileName = dir.path("missing.txt");
  try {
    OpenModel(*s);
    FAIL();
  } catch (const IoError& e) {
    EXPECT_EQ(e.what(), "File not found: " + dir.path("missing.txt"));
  }
  s->DataFileName = dir.dir();
  try {
    OpenModel(*s);
    FAIL();
  } catch (const IoError& e) {
    EXPECT_EQ(e.what(), "I/O error 21: Is a directory: " + dir.dir());
  }
  // A save into a folder that does not exist says so, rather than that the file is not found.
  for (const std::string name : {"no/x.txt", "no/such/x.txt"}) {
    const std::string path = dir.path(name), folder = path.substr(0, path.rfind('/'));
    try {
      FileSaveAs(*s, path);
      FAIL();
    } catch (const IoError& e) {
      EXPECT_EQ(e.what(), "Folder not found: " + folder + " (for " + path + ")");
    }
    try {
      CheckWritablePath(path);
      FAIL();
    } catch (const IoError& e) {
      EXPECT_EQ(e.what(), "Folder not found: " + folder + " (for " + path + ")");
    }
  }
}

TEST(ModelReader, RandomizedMalformedInputNeverCrashesOrHangs) {
  TestSim s;
  BuildRichModel(*s);
  const std::string valid = ModelFileText(*s, "now");
  std::mt19937 rng(12345);
  const auto pick = [&rng](size_t n) { return std::uniform_int_distribution<size_t>(0, n ? n - 1 : 0)(rng); };
  const char* fragments[] = {"1e999", "NAN", "-INF", "abc", "@C", "1001", "-5", "1e9", "ZZZ", ",,,", "\r", "\n",
                             "\"", "2147483648", "0.5", "@O   19"};
  for (int round = 0; round < 400; ++round) {
    std::string text = valid;
    const int edits = 1 + static_cast<int>(pick(20));
    for (int e = 0; e < edits; ++e) {
      const size_t at = pick(text.size());
      switch (pick(5)) {
        case 0: text[at] = static_cast<char>(pick(256)); break;
        case 1: text.insert(at, fragments[pick(std::size(fragments))]); break;
        case 2: text.erase(at, pick(200)); break;
        case 3: text.insert(at, std::string(pick(3000), static_cast<char>('a' + pick(26)))); break;
        default: text.resize(at); break;
      }
    }
    Prepare(*s);
    try {
      ReadModelText(*s, text);
    } catch (const SimError&) {
    }
    ASSERT_GE(s->HighestBlock, 100);
    ASSERT_LE(s->HighestBlock, 1000);
    for (int id = 0; id <= s->HighestBlock; ++id) {
      ASSERT_LE(s->block(id).Name.size(), 10u);
      ASSERT_LE(s->block(id).Comment.size(), 255u);
    }
    (void)ModelFileText(*s, "again");
  }
}

TEST(SaveModel, AModelTheReaderWouldRefuseIsNotWritten) {
  TestSim s;
  BuildRichModel(*s);
  s->SaveFileName = "big.txt";
  const size_t whole = ModelFileText(*s, "r").size();
  EXPECT_EQ(ModelFileText(*s, "r", whole).size(), whole);
  const auto refusal = [&](size_t limit) {
    try {
      (void)ModelFileText(*s, "r", limit);
    } catch (const IoError& e) {
      return std::string(e.what());
    }
    return std::string("written");
  };
  EXPECT_EQ(refusal(whole - 1), "I/O error 27: File too large: big.txt: the model would take more than " +
                                    std::to_string(whole - 1) +
                                    " bytes, the most a model file may hold to be read back; nothing was written");
  // Stored numbers take 12 characters each at least: too many are refused before the
  // text is made.
  s->block(101).stored.assign(1000, 1.0);
  EXPECT_EQ(refusal(11999).substr(0, 69), "I/O error 27: File too large: big.txt: the model would take more than");
}

TEST(SaveModel, AFailedWriteLeavesTheOldFileAsItWas) {
  TempDir dir;
  TestSim s;
  BuildRichModel(*s);
  const std::string path = dir.path("model.txt");
  WriteTextFile(path, "the old model\r\n");
  s->SaveFileName = path;
  // A file size limit makes the write fail half-way, as a full disk would.
  signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 1000;
  setrlimit(RLIMIT_FSIZE, &small);
  EXPECT_THROW(SaveModel(*s), IoError);
  setrlimit(RLIMIT_FSIZE, &old);
  EXPECT_EQ(ReadTextFile(path), "the old model\r\n");
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.dir())) (void)entry, ++files;
  EXPECT_EQ(files, 1u);  // no temporary file left behind
  SaveModel(*s);
  EXPECT_NE(ReadTextFile(path).find("ZZZ"), std::string::npos);
  s->SaveFileName = dir.path("no/such/folder/model.txt");
  EXPECT_THROW(SaveModel(*s), IoError);
}

}  // namespace
}  // namespace trevolan
