#pragma once
#include <cstdint>
#include <limits>

#include "model/errors.h"

// Arithmetic of drawing: pixel coordinates are 32-bit, and every number that becomes
// one is checked, so a model with absurd positions or values gets an error instead of
// a wrapped coordinate.
namespace trevolan {

// A coordinate sum or difference formed in 64 bits; OverflowError outside 32 bits.
inline int32_t Px(int64_t v) {
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) throw OverflowError();
  return static_cast<int32_t>(v);
}

// The integer nearest to x, halves to even, as a pixel length or a percentage: a NaN
// or a value beyond the 64-bit range is a FloatError, one beyond 32 bits a RangeError.
int32_t Nearest(double x);

// The integer nearest to x, halves to even, in 64 bits; FloatError for a NaN or a
// value beyond the 64-bit range.
int64_t Nearest64(double x);

// a / b; FloatError when b is 0 (an invalid operation for 0 / 0) or when the quotient
// of two finite numbers overflows.
double Quotient(double a, double b);

}  // namespace trevolan
