#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Every conversion between numbers and texts lives here, so the model file, the tape,
// the dialogs and the batch runner agree to the character.
namespace trevolan {

// Nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
double RoundHalfEven(double x);

// RoundHalfEven into a 32-bit field; RangeError outside the 32-bit range or for NaN.
int32_t ToInt32(double x);

// The general float format: at most 15 significant digits, no trailing zeros, no point
// for whole numbers, fixed notation for 0 and magnitudes from 0.00001 with at most 15
// digits before the point, otherwise mantissa, 'E' and exponent ("1.5E-7", "1E20").
// Non-finite values are written NAN, INF and -INF.
std::string FormatGeneral(double x);
// The same text, appended to out.
void AppendGeneral(std::string& out, double x);

// Fixed notation with `decimals` decimals, right-aligned in at least `width` characters.
// Like the general format it has '.' as its point in any locale: files carry it.
std::string FormatFixed(double x, int decimals, int width);

// A number as the model file and the tape write it: optional sign, digits, optional
// fraction, optional exponent, '.' as the point; also NAN, INF and -INF.
// Returns nothing when the whole text is not such a number or is out of range.
std::optional<double> ParseFileNumber(std::string_view text);

// A decimal integer with an optional sign; nothing when not one or beyond 32 bits.
std::optional<int32_t> ParseFileInteger(std::string_view text);

// The decimal separator of edit fields: the C library's current locale.
char LocaleDecimalSeparator();

// An edit field's text as a number: empty counts as 0, blanks around the number are
// allowed, the locale's separator is the point. ConversionError on anything else.
double EditToFloat(const std::string& text);

// EditToFloat, then rounded halves to even into 32 bits (RangeError beyond).
int32_t EditToInt(const std::string& text);

// The general float format with the locale's separator, for edit fields.
std::string FormatEdit(double x);

}  // namespace trevolan
