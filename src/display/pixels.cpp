#include "display/pixels.h"

#include <cmath>

#include "model/numbers.h"

namespace trevolan {

namespace {
constexpr char kInvalid[] = "Invalid floating point operation";
}  // namespace

int64_t Nearest64(double x) {
  const double r = RoundHalfEven(x);
  // 2^63 itself is out of range; -2^63 is in.
  if (!(r >= -0x1p63 && r < 0x1p63)) throw FloatError(kInvalid);
  return static_cast<int64_t>(r);
}

int32_t Nearest(double x) {
  const int64_t r = Nearest64(x);
  if (r < std::numeric_limits<int32_t>::min() || r > std::numeric_limits<int32_t>::max()) throw RangeError();
  return static_cast<int32_t>(r);
}

double Quotient(double a, double b) {
  if (b == 0) throw FloatError(a == 0 || std::isnan(a) ? kInvalid : "Floating point division by zero");
  const double q = a / b;
  if (std::isinf(q) && std::isfinite(a) && std::isfinite(b)) throw FloatError("Floating point overflow");
  return q;
}

}  // namespace trevolan
