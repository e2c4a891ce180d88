#include "model/numbers.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>
#include <limits>

#include "model/errors.h"
#include "model/model_file.h"
#include "model/sim.h"
#include "support/test_support.h"

namespace trevolan {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(GeneralFormat, FixedScientificAndNonFinite) {
  const struct {
    double x;
    const char* text;
  } cases[] = {
      {0, "0"},
      {-0.0, "0"},
      {1, "1"},
      {-2.5, "-2.5"},
      {0.1, "0.1"},
      {100, "100"},
      {1.0 / 3, "0.333333333333333"},
      {2.0 / 3, "0.666666666666667"},
      {3.141592653589793, "3.14159265358979"},
      {0.00001, "0.00001"},
      {0.00001234, "0.00001234"},
      {0.0000099, "9.9E-6"},
      {1.5e-7, "1.5E-7"},
      {-1e-20, "-1E-20"},
      {123456789012345, "123456789012345"},
      {999999999999999, "999999999999999"},
      {1e15, "1E15"},
      {1234567890123456, "1.23456789012346E15"},
      {1e20, "1E20"},
      {6.02214076e23, "6.02214076E23"},
      {1e-300, "1E-300"},
      {5e-324, "4.94065645841247E-324"},
      {std::numeric_limits<double>::max(), "1.79769313486231E308"},  // 1.79769313486232E308 is beyond the range
      {-std::numeric_limits<double>::max(), "-1.79769313486231E308"},
      {std::nextafter(std::numeric_limits<double>::max(), 0.0), "1.79769313486231E308"},
      {1.79769313486231e308, "1.79769313486231E308"},
      {kNaN, "NAN"},
      {kInf, "INF"},
      {-kInf, "-INF"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatGeneral(c.x), c.text) << c.x;
}

TEST(GeneralFormat, ReadsBackToFifteenDigits) {
  for (double x : {0.1, 1.0 / 7, 12345.678901234567, -9.87654321e-12, 4.4e300}) {
    const auto back = ParseFileNumber(FormatGeneral(x));
    ASSERT_TRUE(back.has_value());
    EXPECT_NEAR(*back, x, std::fabs(x) * 1e-14);
    EXPECT_EQ(FormatGeneral(*back), FormatGeneral(x));
  }
}

TEST(FixedFormat, RightAlignedAndWidening) {
  EXPECT_EQ(FormatFixed(3.14159, 4, 10), "    3.1416");
  EXPECT_EQ(FormatFixed(0.12345, 4, 12), "      0.1235");
  EXPECT_EQ(FormatFixed(-0.0, 4, 10), "    0.0000");
  // a negative that rounds to zero is written without its sign, so that it reads back as it was written
  EXPECT_EQ(FormatFixed(-0.00001, 4, 10), "    0.0000");
  EXPECT_EQ(FormatFixed(-0.4, 0, 1), "0");
  EXPECT_EQ(FormatFixed(-0.00006, 4, 10), "   -0.0001");
  EXPECT_EQ(FormatFixed(1e7, 4, 12), "10000000.0000");
  EXPECT_EQ(FormatFixed(kNaN, 4, 12), "         NAN");
  EXPECT_EQ(FormatFixed(-kInf, 3, 8), "    -INF");
}

// The number texts agree with printf's and strtod's to the last digit over doubles of
// every kind: random bit patterns, exact decimal ties, values near the range edges.
TEST(FileNumbers, AgreeWithPrintfAndStrtod) {
  std::vector<double> xs = {0.5, 1.5, 2.5, 0.125, 0.00005, 0.00015, 1e-5, 0.1, 123456789012345.5, 1e15, 9.999999999999995e14,
                            5e-324, 2.2250738585072014e-308, 1.7976931348623157e308, 0.30000000000000004, 12345.67885};
  uint64_t bits = 0x9e3779b97f4a7c15ull;
  for (int i = 0; i < 20000; ++i) {
    bits ^= bits << 13, bits ^= bits >> 7, bits ^= bits << 17;
    double x = 0;
    std::memcpy(&x, &bits, sizeof x);
    if (std::isfinite(x)) xs.push_back(x);
    xs.push_back(static_cast<double>(static_cast<int64_t>(bits % 2000000001) - 1000000000) / 20000.0);  // ties at 4 decimals
  }
  char ref[512];
  for (const double x : xs) {
    std::snprintf(ref, sizeof ref, "%12.4f", x);
    std::string printed = ref;
    if (printed == "     -0.0000") printed = "      0.0000";  // zero has no sign
    ASSERT_EQ(FormatFixed(x, 4, 12), printed) << x;
    // Fifteen significant digits name one double each, so equal values mean equal digits.
    std::snprintf(ref, sizeof ref, "%.14e", x);
    const std::string general = FormatGeneral(x);
    const double expected = std::strtod(ref, nullptr);
    const auto read = ParseFileNumber(general);
    // Every text reads back; the few largest doubles, whose fifteen digits would round
    // beyond the range, come back as the largest that does not.
    ASSERT_TRUE(read) << general;
    ASSERT_EQ(*read, std::isinf(expected) ? std::copysign(1.79769313486231e308, x) : expected) << general << " " << ref;
    std::snprintf(ref, sizeof ref, "%.17g", x);
    ASSERT_EQ(ParseFileNumber(ref), x) << ref;
    if (ref[0] != '-') {
      ASSERT_EQ(ParseFileNumber(std::string("+") + ref), x) << ref;
    }
  }
  EXPECT_EQ(ParseFileNumber("1e-400"), 0.0);  // below the range: strtod's 0
  EXPECT_EQ(ParseFileNumber("2.5e-324"), 5e-324);
  EXPECT_FALSE(ParseFileNumber("1e400"));
}

TEST(Rounding, HalvesToEvenAndRangeChecked) {
  EXPECT_EQ(ToInt32(2.5), 2);
  EXPECT_EQ(ToInt32(3.5), 4);
  EXPECT_EQ(ToInt32(-2.5), -2);
  EXPECT_EQ(ToInt32(-3.5), -4);
  EXPECT_EQ(ToInt32(2147483647.4), 2147483647);
  EXPECT_EQ(ToInt32(-2147483648.5), -2147483647 - 1);
  EXPECT_THROW(ToInt32(2147483647.5), RangeError);
  EXPECT_THROW(ToInt32(-2147483649.0), RangeError);
  EXPECT_THROW(ToInt32(kNaN), RangeError);
  EXPECT_THROW(ToInt32(kInf), RangeError);
}

TEST(FileNumbers, AcceptedAndRejected) {
  EXPECT_EQ(ParseFileNumber("5"), 5.0);
  EXPECT_EQ(ParseFileNumber("+5"), 5.0);
  EXPECT_EQ(ParseFileNumber("-1.5E-7"), -1.5e-7);
  EXPECT_EQ(ParseFileNumber("5."), 5.0);
  EXPECT_EQ(ParseFileNumber(".5"), 0.5);
  EXPECT_EQ(ParseFileNumber("1e-400"), 0.0);  // underflow is a tiny number, not an error
  EXPECT_TRUE(std::isnan(*ParseFileNumber("NAN")));
  EXPECT_EQ(ParseFileNumber("INF"), kInf);
  EXPECT_EQ(ParseFileNumber("-INF"), -kInf);
  for (const char* bad : {"", "abc", "1e", "1e999", "0x10", "1,5", "--1", "1.2.3", "infinity", " 5", "."}) {
    EXPECT_FALSE(ParseFileNumber(bad).has_value()) << bad;
  }
  EXPECT_EQ(ParseFileInteger("-17"), -17);
  EXPECT_EQ(ParseFileInteger("+17"), 17);
  for (const char* bad : {"", "5.0", "ID#", "99999999999", "+", "+-5", "1e3"}) {
    EXPECT_FALSE(ParseFileInteger(bad).has_value()) << bad;
  }
}

TEST(EditFields, EmptyIsZeroBadTextIsConversionError) {
  EXPECT_EQ(EditToFloat(""), 0.0);
  EXPECT_EQ(EditToFloat("2.5"), 2.5);
  EXPECT_EQ(EditToFloat(" 7 "), 7.0);
  EXPECT_EQ(EditToFloat("-1e3"), -1000.0);
  EXPECT_EQ(EditToInt("2.5"), 2);
  EXPECT_EQ(EditToInt("3.5"), 4);
  EXPECT_THROW(EditToInt("1e10"), RangeError);
  // A typed value must be a finite number; NAN and INF belong to the model file alone.
  for (const char* bad : {"abc", "1,5", " ", "1e", "12x", "NaN", "inf", "-INF", "+inf", "1e999", "-1e309"}) {
    EXPECT_THROW(EditToFloat(bad), ConversionError) << bad;
  }
  EXPECT_TRUE(std::isinf(*ParseFileNumber("INF")));
  EXPECT_TRUE(std::isnan(*ParseFileNumber("NAN")));
  try {
    EditToFloat("abc");
    FAIL();
  } catch (const ConversionError& e) {
    EXPECT_STREQ(e.what(), "'abc' is not a valid floating point value");
  }
}

TEST(EditFields, ShowNumbersInTheGeneralFormat) {
  EXPECT_EQ(FormatEdit(0.5), "0.5");
  EXPECT_EQ(FormatEdit(100), "100");
  EXPECT_EQ(EditToFloat(FormatEdit(1.0 / 3)), 0.333333333333333);
}

// A locale whose decimal separator is a comma, built for the test with localedef
// (only C locales are installed here); the numbers go back to "C" at the end.
class CommaLocale {
 public:
  CommaLocale() {
    const std::string command = "localedef -i de_DE -f UTF-8 '" + dir_.path("de_DE.UTF-8") + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return;
    const char* old = std::getenv("LOCPATH");
    if (old) old_locpath_ = old;
    had_locpath_ = old != nullptr;
    setenv("LOCPATH", dir_.dir().c_str(), 1);
    active_ = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
  }
  ~CommaLocale() {
    std::setlocale(LC_NUMERIC, "C");
    if (had_locpath_) {
      setenv("LOCPATH", old_locpath_.c_str(), 1);
    } else {
      unsetenv("LOCPATH");
    }
  }
  CommaLocale(const CommaLocale&) = delete;
  CommaLocale& operator=(const CommaLocale&) = delete;
  bool active() const { return active_; }

 private:
  testing::TempDir dir_;
  bool active_ = false, had_locpath_ = false;
  std::string old_locpath_;
};

// The window runs in the user's locale: edit fields take its comma, files keep '.'.
TEST(Locale, EditFieldsFollowItAndFilesDoNot) {
  const CommaLocale comma;
  if (!comma.active()) GTEST_SKIP() << "no de_DE locale could be built";
  ASSERT_EQ(LocaleDecimalSeparator(), ',');
  EXPECT_EQ(FormatEdit(2.25), "2,25");
  EXPECT_EQ(EditToFloat("2,25"), 2.25);
  EXPECT_EQ(FormatGeneral(2.25), "2.25");
  EXPECT_EQ(FormatGeneral(1.5e-7), "1.5E-7");
  EXPECT_EQ(FormatFixed(1.5, 4, 10), "    1.5000");
  EXPECT_EQ(ParseFileNumber("2.25"), 2.25);

  auto s = std::make_unique<Sim>();
  TBlock& b = s->block(101);
  b.Type = BlockType::Activity;
  b.XX = b.YY = 50;
  b.aa = 0.5;
  b.stored = {0, 1.25, 2.5};
  s->HighestBlock = 101;
  const std::string text = ModelFileText(*s, "now");
  EXPECT_EQ(text.find("1,25"), std::string::npos);
  EXPECT_NE(text.find("1.2500"), std::string::npos);
  auto read = std::make_unique<Sim>();
  ReadModelText(*read, text);
  EXPECT_EQ(read->block(101).stored, b.stored);
  EXPECT_EQ(read->block(101).aa, 0.5);
}

}  // namespace
}  // namespace trevolan
