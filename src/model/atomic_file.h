#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace trevolan {

// Every file the program reads or writes goes through here, so that links, special
// files, sizes, permissions and error texts are decided once. Every failure is an
// IoError whose text names the path the user gave and the system's reason.

// The largest file ReadWholeFile reads; a model of 1000 blocks with long stored lists
// is a few megabytes.
inline constexpr size_t kMaxReadSize = size_t{1} << 30;

// Writes `content` to the file `path` names, so that a failure or a kill never leaves a
// partial file and the file stays what the user made of it:
// - a symbolic link is followed and the file it names is replaced (a dangling link
//   creates its target); the link stays a link. As the kernel's protected-symlinks
//   rule has it, a link in a sticky folder that anyone may write (/tmp) is followed
//   only when it belongs to the user or to the folder's owner; another's is refused
//   with a text that names the link and its owner;
// - a FIFO, a device or an open file named through /proc (/dev/stdout) is written into
//   directly, never replaced;
// - a file that the user may not write (a read-only 0444 file) is refused with
//   "I/O error 13: Permission denied", although the folder would let it be replaced;
// - a regular file is replaced through a temporary file in its folder, unnamed until
//   complete (O_TMPFILE) and synced before it takes the file's name; it gets the old
//   file's owner, group and mode as far as the user may set them;
// - a file with more than one hard link, or in a folder where the user cannot make a
//   file, is rewritten in place, so that the links stay one file and a writable file in
//   a read-only folder can be saved. Such a file is never whole-old-or-whole-new at
//   every moment; what is guaranteed instead: its old content is first copied, complete
//   and synced, into a private backup (RewriteBackup, rewrite_backup.h), and its space
//   is reserved, before its first byte changes; a failed write puts the old content
//   back when it was kept in memory (small files), or its error names the backup; the
//   backup is removed only once the new content is complete and synced. So after a kill
//   in the middle, the file may mix old and new content, and File, Open (and the start
//   with a file) says so and names the backup that holds the old content whole. A file
//   the user may write but not read gets no backup and is refused.
// A named temporary file exists only for a moment; SIGTERM, SIGINT, SIGHUP and SIGQUIT
// remove it before the program ends, and the next save into the folder removes one
// that a killed program left: one that no writer holds its lock (flock) on, whatever
// process, container or user it came from.
void WriteFileAtomically(const std::string& path, const std::string& content);

// Takes the lock (flock) that tells a file in use from one left by a program that has
// ended: exclusive, without waiting; true when it was had. The system holds it until the
// last descriptor of the open file is closed, which it does at once for a process that
// ends however it ends, in whatever PID namespace (a container sharing the folder) or
// user it runs. No process ID is asked: another namespace hides it, and a new process
// may be given it again.
bool TryLockFile(int fd);

// A new name for a temporary file of the writer: random, with a check that tells it
// from any other name, so that the cleaner of leftovers removes only files it made.
std::string TemporaryFileName();

// The same rules for a file written piece by piece, for output that grows as a run
// goes: a FIFO, a device or /dev/stdout is written into as the pieces come; a regular
// file gets them in an unnamed temporary file beside it, which Commit syncs and renames
// over the target. Until then, and when anything fails, the target is left as it was.
// A file that must be rewritten in place (hard links, a folder without write access)
// gathers the pieces in memory and is written at Commit.
class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(const std::string& path);  // IoError when it cannot be made
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  void Append(std::string_view text);  // IoError on a failed write
  void Commit();                       // IoError, with the target untouched

 private:
  enum class Way { kDirect, kUnnamed, kInPlace };
  void Flush();
  std::string path_;    // as the user named it, for error texts
  std::string target_;  // links followed
  std::string buffer_;
  Way way_ = Way::kDirect;
  int fd_ = -1;         // where the pieces go (kDirect, kUnnamed)
  bool own_fd_ = false; // a descriptor of this process (/dev/stdout): never closed here
  int dir_ = -1;        // the target's folder (kUnnamed)
  bool has_old_ = false;
  struct OldFile;       // owner, group and mode of the file replaced
  std::unique_ptr<OldFile> old_;
};

// The whole regular file. Anything else (a FIFO, a device, a folder) is refused at
// once without blocking, and so is a file larger than kMaxReadSize, before reading it.
std::string ReadWholeFile(const std::string& path);

// The checks of ReadWholeFile without the reading: IoError unless `path` is a regular
// file of at most kMaxReadSize bytes that can be opened for reading.
void CheckReadableFile(const std::string& path);

// Whether a later write to `path` could be made, without making it: IoError when the
// folder it would go in does not exist or may not be written and the file is not there
// to be rewritten, when the file is there but may not be written, or when the path
// names a folder. A FIFO or a device passes.
void CheckWritablePath(const std::string& path);

}  // namespace trevolan
