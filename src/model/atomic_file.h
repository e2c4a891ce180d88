#pragma once
#include <string>

namespace trevolan {

// Replaces the file at `path` with `content` so that a failure never destroys the
// previous file: the text goes to a temporary file in the same folder, which is
// flushed to disk and renamed over the target only when it was written and closed
// without error; then the folder is flushed too. IoError on any failure, with the
// target left exactly as it was.
void WriteFileAtomically(const std::string& path, const std::string& content);

// The whole file as bytes; IoError when it cannot be opened or read.
std::string ReadWholeFile(const std::string& path);

}  // namespace trevolan
