#pragma once
#include <string>
#include <string_view>

namespace trevolan {

// Replaces the file at `path` with `content` so that a failure never destroys the
// previous file: the text goes to a temporary file in the same folder, which is
// flushed to disk and renamed over the target only when it was written and closed
// without error; then the folder is flushed too. IoError on any failure, with the
// target left exactly as it was.
void WriteFileAtomically(const std::string& path, const std::string& content);

// The same replacement for a file written piece by piece, for output that grows as a
// run goes: the pieces go to the temporary file (buffered), and Commit renames it over
// the target. Until then, and when anything fails, the target is left as it was; the
// temporary file is removed when the writer goes without a Commit.
class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(const std::string& path);  // IoError when it cannot be made
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  void Append(std::string_view text);  // IoError on a failed write
  void Commit();                       // IoError, with the target untouched

 private:
  void Flush();
  std::string path_, temp_, buffer_;
  int fd_ = -1;
};

// The whole file as bytes; IoError when it cannot be opened or read.
std::string ReadWholeFile(const std::string& path);

}  // namespace trevolan
