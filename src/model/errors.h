#pragma once
#include <stdexcept>
#include <string>

namespace trevolan {

// Every failure the core reports is one of these; what() is the text the user sees.
// Nothing in the core catches them: the window and the batch runner report them and
// go on with the state as far as the failed action got.
class SimError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An index into the block table, a stored list or the tape outside its bounds, or a
// double that does not fit the 32-bit field it goes into.
class RangeError : public SimError {
 public:
  RangeError() : SimError("Range check error") {}
  // The same with what went beyond which bounds, for faces that can say more.
  explicit RangeError(const std::string& text) : SimError(text) {}
  // Which value went beyond which bounds, when a face found out (RangeFaultDetail):
  // said on a line of its own, below the message that stays what() is.
  std::string detail;
};

// Throws RangeError; kept out of line so that checked accesses stay small.
[[noreturn, gnu::cold, gnu::noinline]] void ThrowRangeError();

// Integer arithmetic on IDs and coordinates that leaves the 32-bit range.
class OverflowError : public SimError {
 public:
  OverflowError() : SimError("Integer overflow") {}
  // The same with where it happened.
  explicit OverflowError(const std::string& text) : SimError(text) {}
};

// A text typed into a numeric field that is not a number.
class ConversionError : public SimError {
 public:
  explicit ConversionError(const std::string& text)
      : SimError("'" + text + "' is not a valid floating point value") {}
};

// An unguarded floating-point fault: division by zero, invalid operation, overflow.
class FloatError : public SimError {
 public:
  using SimError::SimError;
};

// A file that cannot be opened, read or written.
class IoError : public SimError {
 public:
  using SimError::SimError;
  // "File not found" for a missing file, else "I/O error N: " and the system's reason;
  // then ": " and the path when one is given ("I/O error 13: Permission denied: /a/b").
  static IoError FromErrno(int code, const std::string& path = "");
  int code = 0;      // the system's error number, when one is known
  std::string path;  // the path it concerns, when one is known
};

// A request that names something the model has no such thing for (an unknown target
// or field, a value that cannot go where it was sent): the caller's mistake, not the
// model's. Faces report it as misuse ("usage: ..." in the batch runner, ValueError in
// Python) and it stops a script; it is no SimError, which a run may raise.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace trevolan
