#include "model/errors.h"

#include <cerrno>

namespace trevolan {

void ThrowRangeError() { throw RangeError(); }

IoError IoError::FromErrno(int code) {
  if (code == ENOENT) return IoError("File not found");
  return IoError("I/O error " + std::to_string(code));
}

}  // namespace trevolan
