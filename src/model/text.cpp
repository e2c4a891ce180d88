#include "model/text.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace trevolan {

namespace {

// Bytes of the valid UTF-8 sequence starting at text[i], or 0 when none starts there.
size_t SequenceLength(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return 1;
  size_t n = 0;
  unsigned char lo = 0x80, hi = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    n = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    n = 3;
    if (lead == 0xE0) lo = 0xA0;  // no overlong forms
    if (lead == 0xED) hi = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    n = 4;
    if (lead == 0xF0) lo = 0x90;  // no overlong forms
    if (lead == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (i + n > text.size()) return 0;
  if (byte(i + 1) < lo || byte(i + 1) > hi) return 0;
  for (size_t k = 2; k < n; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  }
  return n;
}

// The number of bytes below 0x80 from i on, found eight at a time: model files are
// almost all ASCII, and every file read passes through here.
size_t AsciiRunLength(std::string_view text, size_t i) {
  const size_t start = i;
  for (uint64_t word; i + 8 <= text.size(); i += 8) {
    std::memcpy(&word, text.data() + i, 8);
    if (word & 0x8080808080808080u) break;
  }
  while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80) ++i;
  return i - start;
}

void AppendUtf8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Code points of the bytes 80..9F in Windows-1252; the rest of the page is Latin-1.
constexpr std::array<uint16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

bool IsValidUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    i += AsciiRunLength(text, i);
    if (i == text.size()) break;
    const size_t n = SequenceLength(text, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::string Windows1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (size_t i = 0; i < text.size(); ++i) {
    const size_t run = AsciiRunLength(text, i);  // copied as it stands
    out.append(text.substr(i, run));
    i += run;
    if (i == text.size()) break;
    const auto byte = static_cast<unsigned char>(text[i]);
    AppendUtf8(out, byte < 0xA0 ? kWindows1252High[byte - 0x80] : byte);
  }
  return out;
}

std::string AsUtf8(std::string text) {
  if (IsValidUtf8(text)) return text;
  return Windows1252ToUtf8(text);
}

std::string ReplaceInvalidUtf8(std::string_view text) {
  if (IsValidUtf8(text)) return std::string(text);
  std::string out;
  out.reserve(text.size() + 16);
  for (size_t i = 0; i < text.size();) {
    const size_t n = SequenceLength(text, i);
    if (n == 0) {
      AppendUtf8(out, 0xFFFD);
      ++i;
    } else {
      out.append(text.substr(i, n));
      i += n;
    }
  }
  return out;
}

std::string CutToCharacters(std::string_view text, size_t max_chars) {
  size_t end = AsciiRunLength(text.substr(0, max_chars), 0);  // one byte a character
  for (size_t chars = end; chars < max_chars && end < text.size(); ++chars) {
    const size_t n = SequenceLength(text, end);
    end += n == 0 ? 1 : n;
  }
  return std::string(text.substr(0, end));
}

std::string FitText(std::string text, size_t max_chars) {
  if (text.size() <= max_chars && AsciiRunLength(text, 0) == text.size()) return text;  // the common case
  return CutToCharacters(AsUtf8(std::move(text)), max_chars);
}

}  // namespace trevolan
