#include "model/errors.h"

#include <cerrno>
#include <cstring>

namespace trevolan {

void ThrowRangeError() { throw RangeError(); }

IoError IoError::FromErrno(int code, const std::string& path) {
  // The system's reason in English whatever the locale, so that every user and every
  // log sees the same words; strerrordesc_np, unlike strerror, is also thread-safe.
  const char* reason = strerrordesc_np(code);
  std::string text = code == ENOENT ? "File not found"
                                    : "I/O error " + std::to_string(code) + (reason ? std::string(": ") + reason : "");
  if (!path.empty()) text += ": " + path;
  IoError e(text);
  e.code = code;
  e.path = path;
  return e;
}

}  // namespace trevolan
