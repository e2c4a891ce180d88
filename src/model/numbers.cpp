#include "model/numbers.h"

#include <algorithm>
#include <clocale>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <locale.h>
#include <string_view>

#include "model/errors.h"

namespace trevolan {

double RoundHalfEven(double x) {
  // nearbyint rounds in the current mode, which the program never changes from
  // round-to-nearest-even.
  return std::nearbyint(x);
}

int32_t ToInt32(double x) {
  const double r = RoundHalfEven(x);
  if (!(r >= std::numeric_limits<int32_t>::min() && r <= std::numeric_limits<int32_t>::max())) {
    throw RangeError();
  }
  return static_cast<int32_t>(r);
}

namespace {

// The "C" locale, for the conversions whose texts go into files: whatever locale the
// program runs in (the window takes the user's), a file always has '.' as its point.
locale_t CLocale() {
  static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return c_locale;
}

// snprintf in the "C" locale.
template <typename... Args>
int FormatC(char* buf, size_t size, const char* format, Args... args) {
  const locale_t previous = uselocale(CLocale());
  const int n = std::snprintf(buf, size, format, args...);
  uselocale(previous);
  return n;
}

std::string NonFiniteText(double x) {
  if (std::isnan(x)) return "NAN";
  return x > 0 ? "INF" : "-INF";
}

// Writes x (finite, non-zero) as FormatGeneral does into buf, which holds 32 characters;
// returns the end. std::to_chars rounds exactly as printf does (to nearest, ties to even)
// and needs no locale; the text is made in place, since a model of many numbers notices
// every string made on the way.
char* WriteGeneral(double x, char* buf) {
  char sci[32];  // d.dddddddddddddde±XX
  const char* const sci_end = std::to_chars(sci, sci + sizeof sci, std::fabs(x), std::chars_format::scientific, 14).ptr;
  // The largest doubles round up to 1.79769313486232E308, which is beyond the range and
  // would not read back: they get the largest fifteen digits that do.
  constexpr std::string_view kBeyondRange = "1.79769313486232e+308";
  if (std::string_view(sci, static_cast<size_t>(sci_end - sci)) == kBeyondRange) sci[15] = '1';
  char digits[16];  // the significant digits without trailing zeros
  size_t n = 0;
  digits[n++] = sci[0];
  const char* p = sci + 2;
  while (*p != 'e') digits[n++] = *p++;
  while (n > 1 && digits[n - 1] == '0') --n;
  int e = 0;
  std::from_chars(p + (p[1] == '+' ? 2 : 1), sci_end, e);

  char* out = buf;
  const auto put = [&out](const char* from, size_t count) { out = std::copy(from, from + count, out); };
  if (x < 0) *out++ = '-';
  if (e >= -5 && e < 15) {
    if (e >= 0) {
      const size_t whole = static_cast<size_t>(e) + 1;
      put(digits, std::min(n, whole));
      if (n <= whole) {
        out = std::fill_n(out, whole - n, '0');
      } else {
        *out++ = '.';
        put(digits + whole, n - whole);
      }
    } else {
      *out++ = '0';
      *out++ = '.';
      out = std::fill_n(out, -e - 1, '0');
      put(digits, n);
    }
  } else {
    *out++ = digits[0];
    if (n > 1) {
      *out++ = '.';
      put(digits + 1, n - 1);
    }
    *out++ = 'E';
    out = std::to_chars(out, buf + 32, e).ptr;
  }
  return out;
}

}  // namespace

void AppendGeneral(std::string& out, double x) {
  if (!std::isfinite(x)) {
    out += NonFiniteText(x);
  } else if (x == 0) {
    out += '0';
  } else {
    char buf[32];
    out.append(buf, WriteGeneral(x, buf));
  }
}

std::string FormatGeneral(double x) {
  std::string out;
  AppendGeneral(out, x);
  return out;
}

std::string FormatFixed(double x, int decimals, int width) {
  if (!std::isfinite(x)) {
    std::string t = NonFiniteText(x);
    if (static_cast<int>(t.size()) < width) t.insert(0, static_cast<size_t>(width) - t.size(), ' ');
    return t;
  }
  if (x == 0) x = 0;  // no "-0.0000"
  // The digits of printf's "%*.*f", from std::to_chars: the same exact rounding, no
  // locale, and no second pass to measure the text.
  char buf[400];  // the widest finite double in fixed notation, with its decimals
  const auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, decimals);
  if (r.ec != std::errc()) {
    const int n = FormatC(nullptr, 0, "%*.*f", width, decimals, x);
    std::string out(static_cast<size_t>(n), '\0');
    FormatC(out.data(), out.size() + 1, "%*.*f", width, decimals, x);
    return out;
  }
  // A small negative that rounds to zero has no sign either: "-0.0000" would read back
  // as -0 and be written "0.0000", so a model saved twice would not be the same.
  const char* begin = buf;
  if (buf[0] == '-' && std::all_of(buf + 1, r.ptr, [](char c) { return c == '0' || c == '.'; })) ++begin;
  const size_t length = static_cast<size_t>(r.ptr - begin);
  const size_t pad = width > 0 && length < static_cast<size_t>(width) ? static_cast<size_t>(width) - length : 0;
  std::string out(pad, ' ');
  out.append(begin, length);
  return out;
}

namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char c = a[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != b[i]) return false;
  }
  return true;
}

std::optional<double> ParseNonFinite(std::string_view t) {
  if (EqualsNoCase(t, "NAN")) return std::numeric_limits<double>::quiet_NaN();
  if (EqualsNoCase(t, "INF") || EqualsNoCase(t, "+INF")) return std::numeric_limits<double>::infinity();
  if (EqualsNoCase(t, "-INF")) return -std::numeric_limits<double>::infinity();
  return std::nullopt;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// [+-] (digits [point [digits]] | point digits) [(e|E) [+-] digits], the whole text.
bool IsDecimalNumber(std::string_view t, char point) {
  size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  size_t digits = 0;
  while (i < t.size() && IsDigit(t[i])) ++i, ++digits;
  if (i < t.size() && t[i] == point) {
    ++i;
    while (i < t.size() && IsDigit(t[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    size_t exp_digits = 0;
    while (i < t.size() && IsDigit(t[i])) ++i, ++exp_digits;
    if (exp_digits == 0) return false;
  }
  return i == t.size();
}

// strtod in the "C" locale, whatever locale the program runs in.
std::optional<double> StrtodC(std::string text) {
  errno = 0;
  char* end = nullptr;
  const double v = strtod_l(text.c_str(), &end, CLocale());
  if (errno == ERANGE && std::isinf(v)) return std::nullopt;  // beyond the double range
  return v;                                                    // underflow gives 0 or a denormal
}

}  // namespace

std::optional<double> ParseFileNumber(std::string_view text) {
  if (!IsDecimalNumber(text, '.')) return ParseNonFinite(text);
  // std::from_chars rounds as strtod does and needs neither a copy nor the locale; it
  // takes no '+', and strtod keeps the say on numbers beyond the double range.
  std::string_view digits = text;
  if (!digits.empty() && digits[0] == '+') digits.remove_prefix(1);
  double v = 0;
  const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), v, std::chars_format::general);
  if (r.ec == std::errc() && r.ptr == digits.data() + digits.size()) return v;
  return StrtodC(std::string(text));
}

std::optional<int32_t> ParseFileInteger(std::string_view text) {
  if (!text.empty() && text[0] == '+') {
    text.remove_prefix(1);
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) return std::nullopt;
  }
  if (text.empty()) return std::nullopt;
  int32_t v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return v;
}

char LocaleDecimalSeparator() {
  const lconv* lc = std::localeconv();
  return (lc && lc->decimal_point && lc->decimal_point[0]) ? lc->decimal_point[0] : '.';
}

double EditToFloat(const std::string& text) {
  if (text.empty()) return 0;
  size_t b = 0, e = text.size();
  while (b < e && (text[b] == ' ' || text[b] == '\t')) ++b;
  while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t')) --e;
  std::string t = text.substr(b, e - b);
  // NAN and INF are for the model file only: a typed value must be a finite number.
  const char point = LocaleDecimalSeparator();
  if (!IsDecimalNumber(t, point)) throw ConversionError(text);
  if (point != '.') {
    for (char& c : t) {
      if (c == point) c = '.';
    }
  }
  auto v = StrtodC(t);
  if (!v) throw ConversionError(text);
  return *v;
}

int32_t EditToInt(const std::string& text) { return ToInt32(EditToFloat(text)); }

std::string FormatEdit(double x) {
  std::string t = FormatGeneral(x);
  const char point = LocaleDecimalSeparator();
  if (point != '.') {
    for (char& c : t) {
      if (c == '.') c = point;
    }
  }
  return t;
}

}  // namespace trevolan
