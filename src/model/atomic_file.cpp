#include "model/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <atomic>
#include <charconv>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>

#include "model/ending_signals.h"
#include "model/errors.h"
#include "model/rewrite_backup.h"

namespace trevolan {

namespace {

[[noreturn]] void Fail(int code, const std::string& path) { throw IoError::FromErrno(code, path); }

// The folder a new file would go in cannot be opened. A missing one is named: "File not
// found" would speak of the file, which is to be made, not found.
[[noreturn]] void FailFolder(int code, const std::string& folder, const std::string& path) {
  if (code != ENOENT) Fail(code, path);
  IoError e("Folder not found: " + folder + " (for " + path + ")");
  e.code = code;
  e.path = path;
  throw e;
}

// A file descriptor that closes itself; Close() reports what close() says.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }
  int Close() {
    const int result = close(fd_);
    fd_ = -1;
    return result == 0 ? 0 : errno;
  }

 private:
  int fd_;
};

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// 0 or the errno of the first failing write. A descriptor that another program left
// non-blocking (a shared pipe) is waited for rather than failed.
int WriteAll(int fd, const std::string& content) {
  size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = write(fd, content.data() + done, content.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN) {
        pollfd p{fd, POLLOUT, 0};
        poll(&p, 1, -1);
        continue;
      }
      return errno;
    }
    done += static_cast<size_t>(n);
  }
  return 0;
}

// ---- Where a save goes ----

// Links inside /proc (/dev/stdout -> /proc/self/fd/1 -> "pipe:[…]") name open files,
// not paths: they are opened as they stand.
bool IsProcLink(const std::string& path) {
  struct statfs fs {};
  return statfs(FolderOf(path).c_str(), &fs) == 0 && fs.f_type == PROC_SUPER_MAGIC;
}

struct SaveTarget {
  std::string path;      // the file that is written, symbolic links followed
  bool through_proc = false;
  int own_fd = -1;       // a descriptor of this process that the path names (/dev/stdout)
};

// The descriptor N of "/proc/self/fd/N", "/proc/PID/fd/N" of this process or
// "/dev/fd/N", else -1.
// Writing into it directly needs no permission to open it again: a pipe that the
// shell made as another user is still this process's standard output.
int OwnDescriptor(const std::string& path) {
  for (const std::string& prefix :
       {std::string("/proc/self/fd/"), std::string("/dev/fd/"), "/proc/" + std::to_string(getpid()) + "/fd/"}) {
    if (path.compare(0, prefix.size(), prefix) != 0 || path.size() == prefix.size()) continue;
    char* end = nullptr;
    const long fd = std::strtol(path.c_str() + prefix.size(), &end, 10);
    if (*end == '\0' && fd >= 0 && fd < (1L << 30) && fcntl(static_cast<int>(fd), F_GETFD) >= 0) {
      return static_cast<int>(fd);
    }
  }
  return -1;
}

// A user's name for error texts: the login name and the ID, or the ID alone.
std::string UserText(uid_t uid) {
  struct passwd entry {};
  struct passwd* found = nullptr;
  char buf[1024];
  if (getpwuid_r(uid, &entry, buf, sizeof buf, &found) == 0 && found) {
    return std::string(found->pw_name) + " (" + std::to_string(uid) + ")";
  }
  return std::to_string(uid);
}

// The kernel's rule for protected symbolic links, which a link followed here would
// bypass: in a sticky folder that anyone may write (/tmp), a link is followed only when
// it belongs to the user or to the folder's owner. Another user's link there could
// point a save at the user's own files.
void RefuseForeignLinkInStickyFolder(const std::string& link, const struct stat& st, const std::string& path) {
  struct stat folder {};
  if (stat(FolderOf(link).c_str(), &folder) != 0) return;
  const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
  if (!shared || st.st_uid == geteuid() || st.st_uid == folder.st_uid) return;
  IoError e("I/O error 13: Permission denied: a link of user " + UserText(st.st_uid) +
            " in a sticky folder that anyone may write is not followed: " + link +
            (link == path ? std::string() : " (for " + path + ")"));
  e.code = EACCES;
  e.path = path;
  throw e;
}

// Follows symbolic links as opening would, but also through a last link that dangles,
// so that the save creates the file the link names rather than replacing the link.
SaveTarget ResolveLinks(const std::string& path) {
  SaveTarget t{path};
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (lstat(t.path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return t;
    RefuseForeignLinkInStickyFolder(t.path, st, path);
    if (IsProcLink(t.path)) {
      t.through_proc = true;
      t.own_fd = OwnDescriptor(t.path);
      return t;
    }
    std::string to(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4095) + 1, '\0');
    const ssize_t n = readlink(t.path.c_str(), to.data(), to.size());
    if (n < 0) Fail(errno, path);
    to.resize(static_cast<size_t>(n));
    t.path = !to.empty() && to[0] == '/' ? to : FolderOf(t.path) + "/" + to;
  }
  Fail(ELOOP, path);
}

// A file the user may not write is refused, as writing into it would be, rather than
// replaced behind its back through the folder, which the rename would allow.
void RefuseUnwritableFile(const std::string& target, const std::string& path) {
  if (faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES) Fail(EACCES, path);
}

// ---- Temporary files that signals clean up ----

// The named temporary files of saves in progress, for the signal handler: a folder
// descriptor and a name, published by `armed` only once both are written.
struct PendingTemp {
  std::atomic<int> armed{0};  // 0 free, 1 claimed, 2 armed
  int dir = -1;
  char name[64] = {};
};
PendingTemp g_pending[8];

// Removes the temporary files of saves in progress: run by the handler of the signals
// that end the program politely.
void RemovePendingTemps() {
  for (PendingTemp& p : g_pending) {
    if (p.armed.load() == 2) unlinkat(p.dir, p.name, 0);
  }
}

// A temporary name in a folder that the signal handler removes until Disarm().
class TempName {
 public:
  TempName(int dir, const std::string& name) {
    OnEndingSignal(RemovePendingTemps);
    for (PendingTemp& p : g_pending) {
      int expected = 0;
      if (p.armed.compare_exchange_strong(expected, 1)) {
        slot_ = &p;
        break;
      }
    }
    if (!slot_) return;  // eight saves at once: the ninth goes without signal cleanup
    slot_->dir = dir;
    std::snprintf(slot_->name, sizeof slot_->name, "%s", name.c_str());
    slot_->armed.store(2);
  }
  ~TempName() { Disarm(); }
  TempName(const TempName&) = delete;
  TempName& operator=(const TempName&) = delete;
  void Disarm() {
    if (slot_) slot_->armed.store(0);
    slot_ = nullptr;
  }

 private:
  PendingTemp* slot_ = nullptr;
};

// Temporary names are short whatever the file's name, so a legal name never grows
// past the system's limit: 64 random bits and a check of them, which tells a name this
// writer made from any other (a user's own ".trevolan-notes.tmp"), so that the cleaner
// removes only files the writer made. What tells a save in progress from what a killed
// program left is a lock (flock) that the writer holds on its temporary file for as
// long as the file has its temporary name, never a process ID: a saver in another PID
// namespace (a container) that shares the folder has IDs this one cannot see, and IDs
// are used again.
constexpr char kTempPrefix[] = ".trevolan-";
constexpr char kTempSuffix[] = ".tmp";

uint32_t TempNameCheck(uint64_t random) {
  uint64_t h = (random ^ 0x7472657661746d70ULL) * 0x9e3779b97f4a7c15ULL;  // "trevatmp"
  h ^= h >> 31;
  h *= 0xbf58476d1ce4e5b9ULL;
  return static_cast<uint32_t>(h >> 32);
}

}  // namespace

std::string TemporaryFileName() {
  uint64_t random = 0;
  if (getrandom(&random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
    static std::atomic<uint64_t> counter{0};
    random = (static_cast<uint64_t>(getpid()) << 40) ^ (static_cast<uint64_t>(time(nullptr)) << 8) ^ counter++;
  }
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s%016llx-%08x%s", kTempPrefix, static_cast<unsigned long long>(random),
                TempNameCheck(random), kTempSuffix);
  return buf;
}

namespace {

std::string NewTempName() { return TemporaryFileName(); }

// Whether the writer made a file of this name: the prefix, 16 hex digits, "-", their
// check in 8 hex digits, the suffix.
bool IsTempName(const std::string& name) {
  const size_t prefix = sizeof kTempPrefix - 1, suffix = sizeof kTempSuffix - 1;
  if (name.size() != prefix + 16 + 1 + 8 + suffix || name.compare(0, prefix, kTempPrefix) != 0 ||
      name.compare(name.size() - suffix, suffix, kTempSuffix) != 0 || name[prefix + 16] != '-') {
    return false;
  }
  const auto hex = [&name](size_t at, size_t digits) -> std::optional<uint64_t> {
    uint64_t v = 0;
    const auto [end, ec] = std::from_chars(name.data() + at, name.data() + at + digits, v, 16);
    if (ec != std::errc() || end != name.data() + at + digits) return std::nullopt;
    return v;
  };
  const auto random = hex(prefix, 16), check = hex(prefix + 17, 8);
  return random && check && TempNameCheck(*random) == *check;
}

// The writer's lock on its temporary file, held until the last descriptor of the file
// is closed, which the system does at once for a killed program. A file system without
// such locks gives no lock to the writer, nor to a cleaner, which then removes nothing.
void LockTemp(int fd) {
  while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
  }
}

}  // namespace

bool TryLockFile(int fd) {
  int result = 0;
  while ((result = flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
  }
  return result == 0;
}

namespace {

// Removes the temporary files of programs that were killed while saving here: those
// whose lock can be had.
void RemoveLeftoverTemps(int dir) {
  const int copy = dup(dir);
  if (copy < 0) return;
  DIR* d = fdopendir(copy);
  if (!d) {
    close(copy);
    return;
  }
  while (const dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (!IsTempName(name)) continue;
    Fd temp(openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st {};
    if (temp.ok() && fstat(temp.get(), &st) == 0 && S_ISREG(st.st_mode) &&
        TryLockFile(temp.get())) {
      unlinkat(dir, name.c_str(), 0);
    }
  }
  closedir(d);
}

// ---- The three ways of writing ----

// Into a FIFO, a device or a file opened through /proc: written, never replaced. A
// FIFO without a reader is an error at once instead of a wait without end.
void WriteIntoSpecialFile(const std::string& target, bool append, const std::string& content,
                          const std::string& path) {
  Fd fd(open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (append ? O_APPEND : 0)));
  if (!fd.ok()) Fail(errno, path);
  const int flags = fcntl(fd.get(), F_GETFL);
  if (flags >= 0) fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
  if (const int failure = WriteAll(fd.get(), content)) Fail(failure, path);
  if (const int failure = fd.Close()) Fail(failure, path);
}

// In place: the links stay one file and no new file is needed in the folder. The old
// content is kept in a backup first (see RewriteBackup) and the space is reserved, so
// that a full disk fails while the file is still whole; the text is then written over
// the old one, cut to its length and synced, and the backup removed. A write that fails
// puts the old text back when it was kept in memory; otherwise the error names the
// backup. A file the user may write but not read has no backup and is refused.
void RewriteInPlace(const std::string& target, const std::string& content, const std::string& path) {
  Fd fd(open(target.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!fd.ok()) Fail(errno, path);
  const RewriteBackup backup(fd.get(), path);
  const off_t size = static_cast<off_t>(content.size());
  if (size > 0 && fallocate(fd.get(), FALLOC_FL_KEEP_SIZE, 0, size) != 0 && errno != EOPNOTSUPP &&
      errno != ENOSYS) {
    const int failure = errno;
    backup.Remove();
    Fail(failure, path);
  }
  const auto write_whole = [&fd](const std::string& text) {
    int failure = lseek(fd.get(), 0, SEEK_SET) == 0 ? WriteAll(fd.get(), text) : errno;
    if (failure == 0 && ftruncate(fd.get(), static_cast<off_t>(text.size())) != 0) failure = errno;
    if (failure == 0 && fsync(fd.get()) != 0) failure = errno;
    return failure;
  };
  int failure = write_whole(content);
  if (failure != 0 && backup.old_text() && write_whole(*backup.old_text()) == 0) {
    backup.Remove();  // the old text is back
    Fail(failure, path);
  }
  if (failure == 0) failure = fd.Close();
  if (failure != 0) {
    throw IoError(IoError::FromErrno(failure, path).what() + std::string("; the file may be incomplete: its content "
                                                                         "before this save is kept in ") +
                  backup.file());
  }
  backup.Remove();
}

// The new file takes the old one's owner, group and mode, as far as the user may set
// them: the owner first, since a change of owner clears the set-ID bits.
void TakeOwnerAndMode(int fd, const struct stat* old) {
  if (!old) return;
  if (old->st_uid != geteuid() || old->st_gid != getegid()) {
    if (fchown(fd, old->st_uid, old->st_gid) != 0 && fchown(fd, static_cast<uid_t>(-1), old->st_gid) != 0) {
      // another owner is the user's to lose: a file one may write but not own
    }
  }
  fchmod(fd, old->st_mode & 07777);
}

enum class Renamed { kDone, kNotAllowed };

// Renames the complete temporary file over the target. A folder that lets the user
// make files but not replace another's (the sticky /tmp) is no error yet: the caller
// writes the file in place instead.
Renamed RenameOver(int dir, const std::string& temp, const std::string& name, const std::string& path) {
  if (renameat(dir, temp.c_str(), dir, name.c_str()) == 0) return Renamed::kDone;
  const int failure = errno;
  unlinkat(dir, temp.c_str(), 0);
  if (failure == EPERM || failure == EACCES) return Renamed::kNotAllowed;
  Fail(failure, path);
}

// Gives the complete, synced unnamed file its name: first a temporary one (a file
// cannot be linked over an existing one), then renamed over the target. Nothing when
// the system cannot link an unnamed file, so the caller writes a named one instead.
std::optional<Renamed> PublishUnnamedFile(int dir, int fd, const std::string& name, const std::string& path) {
  const std::string temp = NewTempName();
  TempName pending(dir, temp);
  LockTemp(fd);  // before the file has a name that another save could find
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  if (linkat(AT_FDCWD, self.c_str(), dir, temp.c_str(), AT_SYMLINK_FOLLOW) != 0 &&
      linkat(fd, "", dir, temp.c_str(), AT_EMPTY_PATH) != 0) {
    return std::nullopt;
  }
  return RenameOver(dir, temp, name, path);
}

// Through a named temporary file, where the file system has no unnamed ones.
Renamed ReplaceThroughNamedFile(int dir, const std::string& name, const struct stat* old, const std::string& content,
                                const std::string& path) {
  std::string temp;
  int raw = -1;
  std::unique_ptr<TempName> pending;
  for (int attempt = 0; attempt < 100 && raw < 0; ++attempt) {
    temp = NewTempName();
    pending = std::make_unique<TempName>(dir, temp);
    raw = openat(dir, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (raw >= 0) {
      // Between making the file and locking it, another save may have taken it for a
      // leftover and removed it: then it has no name any more, and another is made.
      LockTemp(raw);
      struct stat st {};
      if (fstat(raw, &st) == 0 && st.st_nlink == 0) {
        close(raw);
        raw = -1;
        errno = EEXIST;
      }
    }
    if (raw < 0) pending.reset();
    if (raw < 0 && errno != EEXIST) break;
  }
  if (raw < 0 && (errno == EACCES || errno == EPERM || errno == EROFS) && old) return Renamed::kNotAllowed;
  if (raw < 0) Fail(errno, path);
  Fd fd(raw);
  const Fd lock(dup(raw));  // the lock outlasts the close below until the file is renamed
  TakeOwnerAndMode(fd.get(), old);
  int failure = WriteAll(fd.get(), content);
  if (failure == 0 && fsync(fd.get()) != 0) failure = errno;
  if (const int closing = fd.Close(); failure == 0) failure = closing;
  if (failure != 0) {
    unlinkat(dir, temp.c_str(), 0);
    Fail(failure, path);
  }
  return RenameOver(dir, temp, name, path);
}

// A new file beside the target, renamed over it when complete: the target is always
// either the whole old or the whole new file. False when the folder does not let the
// user make a file there or replace the old one.
bool ReplaceRegularFile(const std::string& target, const struct stat* old, const std::string& content,
                        const std::string& path) {
  // O_PATH: a folder the user may write to but not list still takes the new file.
  Fd dir(open(FolderOf(target).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!dir.ok()) FailFolder(errno, FolderOf(target), path);
  const std::string name = NameOf(target);
  const mode_t mode = old ? (old->st_mode & 07777) : 0666;  // a new file: the umask applies
  Renamed renamed = Renamed::kDone;
  Fd fd(openat(dir.get(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
  if (!fd.ok()) {
    if ((errno == EACCES || errno == EPERM || errno == EROFS) && old) return false;
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) Fail(errno, path);
    renamed = ReplaceThroughNamedFile(dir.get(), name, old, content, path);
  } else {
    TakeOwnerAndMode(fd.get(), old);
    int failure = WriteAll(fd.get(), content);
    if (failure == 0 && fsync(fd.get()) != 0) failure = errno;
    if (failure != 0) Fail(failure, path);
    const auto published = PublishUnnamedFile(dir.get(), fd.get(), name, path);
    renamed = published ? *published : ReplaceThroughNamedFile(dir.get(), name, old, content, path);
    if (const int closing = fd.Close()) Fail(closing, path);
  }
  if (renamed == Renamed::kNotAllowed) return false;
  // The file itself is safely in place; flushing the folder is best effort, and so is
  // removing what killed saves left there.
  Fd listing(openat(dir.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (listing.ok()) {
    fsync(listing.get());
    RemoveLeftoverTemps(listing.get());
  }
  return true;
}

// ---- Reading ----

// The file opened for reading, checked: a regular file of at most kMaxReadSize bytes.
// Opening without blocking keeps a FIFO without a writer from stopping the program.
Fd OpenRegularFile(const std::string& path, struct stat& st) {
  Fd fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!fd.ok()) Fail(errno, path);
  if (fstat(fd.get(), &st) != 0) Fail(errno, path);
  if (S_ISDIR(st.st_mode)) Fail(EISDIR, path);
  if (!S_ISREG(st.st_mode)) {
    const char* kind = S_ISFIFO(st.st_mode) ? "a FIFO" : S_ISCHR(st.st_mode) ? "a character device"
                       : S_ISBLK(st.st_mode) ? "a block device" : S_ISSOCK(st.st_mode) ? "a socket" : "special";
    throw IoError(std::string("I/O error: Not a regular file (") + kind + "): " + path);
  }
  if (static_cast<uint64_t>(st.st_size) > kMaxReadSize) Fail(EFBIG, path);
  return fd;
}

}  // namespace

void WriteFileAtomically(const std::string& path, const std::string& content) {
  const SaveTarget target = ResolveLinks(path);
  struct stat st {};
  const bool exists = stat(target.path.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) Fail(EISDIR, path);
  if (target.own_fd >= 0) {
    if (const int failure = WriteAll(target.own_fd, content)) Fail(failure, path);
    return;
  }
  if (target.through_proc || (exists && !S_ISREG(st.st_mode))) {
    WriteIntoSpecialFile(target.path, exists && S_ISREG(st.st_mode), content, path);
    return;
  }
  if (exists) RefuseUnwritableFile(target.path, path);
  if (exists && st.st_nlink > 1) {
    RewriteInPlace(target.path, content, path);
    return;
  }
  if (!ReplaceRegularFile(target.path, exists ? &st : nullptr, content, path)) {
    if (!exists) Fail(EACCES, path);
    RewriteInPlace(target.path, content, path);
  }
}

struct AtomicFileWriter::OldFile {
  struct stat st {};
};

AtomicFileWriter::AtomicFileWriter(const std::string& path) : path_(path), old_(std::make_unique<OldFile>()) {
  const SaveTarget target = ResolveLinks(path);
  target_ = target.path;
  has_old_ = stat(target_.c_str(), &old_->st) == 0;
  if (has_old_ && S_ISDIR(old_->st.st_mode)) Fail(EISDIR, path);
  if (target.own_fd >= 0) {
    fd_ = target.own_fd;
    own_fd_ = true;
    return;
  }
  if (target.through_proc || (has_old_ && !S_ISREG(old_->st.st_mode))) {
    fd_ = open(target_.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) Fail(errno, path);
    const int flags = fcntl(fd_, F_GETFL);
    if (flags >= 0) fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
    return;
  }
  if (has_old_) RefuseUnwritableFile(target_, path);
  way_ = Way::kInPlace;
  if (has_old_ && old_->st.st_nlink > 1) return;
  dir_ = open(FolderOf(target_).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (dir_ < 0) FailFolder(errno, FolderOf(target_), path);
  const mode_t mode = has_old_ ? (old_->st.st_mode & 07777) : 0666;
  fd_ = openat(dir_, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
  if (fd_ >= 0) {
    way_ = Way::kUnnamed;
    TakeOwnerAndMode(fd_, has_old_ ? &old_->st : nullptr);
  } else if (!has_old_ && (errno == EACCES || errno == EPERM || errno == EROFS)) {
    Fail(errno, path);
  }
  // Without unnamed files the pieces gather in memory and go through the one-piece save.
}

AtomicFileWriter::~AtomicFileWriter() {
  if (fd_ >= 0 && !own_fd_) close(fd_);
  if (dir_ >= 0) close(dir_);
}

void AtomicFileWriter::Append(std::string_view text) {
  buffer_.append(text);
  if (way_ != Way::kInPlace && buffer_.size() >= (size_t{1} << 16)) Flush();
}

void AtomicFileWriter::Flush() {
  if (fd_ < 0) Fail(EBADF, path_);
  if (const int failure = WriteAll(fd_, buffer_)) Fail(failure, path_);
  buffer_.clear();
}

void AtomicFileWriter::Commit() {
  if (way_ == Way::kInPlace) {
    WriteFileAtomically(target_, buffer_);
    return;
  }
  Flush();
  if (way_ == Way::kDirect) return;
  if (fsync(fd_) != 0) Fail(errno, path_);
  const auto published = PublishUnnamedFile(dir_, fd_, NameOf(target_), path_);
  if (!published || *published == Renamed::kNotAllowed) {
    // The folder takes no new name: read the text back and save it the one-piece way.
    std::string content;
    char chunk[65536];
    for (off_t at = 0;;) {
      const ssize_t n = pread(fd_, chunk, sizeof chunk, at);
      if (n < 0) Fail(errno, path_);
      if (n == 0) break;
      content.append(chunk, static_cast<size_t>(n));
      at += n;
    }
    WriteFileAtomically(target_, content);
  }
}

std::string ReadWholeFile(const std::string& path) {
  struct stat st {};
  Fd fd = OpenRegularFile(path, st);
  std::string data;
  data.reserve(static_cast<size_t>(st.st_size));
  char buf[65536];
  for (;;) {
    const ssize_t n = read(fd.get(), buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail(errno, path);
    }
    if (n == 0) break;
    if (data.size() + static_cast<size_t>(n) > kMaxReadSize) Fail(EFBIG, path);  // a file that grows while read
    data.append(buf, static_cast<size_t>(n));
  }
  return data;
}

void CheckReadableFile(const std::string& path) {
  struct stat st {};
  (void)OpenRegularFile(path, st);
}

void CheckWritablePath(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) throw IoError::FromErrno(EISDIR, path);
    if (faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0) return;  // rewritten in place, if need be
    if (errno == EACCES) throw IoError::FromErrno(EACCES, path);           // a save refuses it too
  }
  const std::string folder = FolderOf(path);
  if (stat(folder.c_str(), &st) != 0) FailFolder(errno, folder, path);
  if (!S_ISDIR(st.st_mode)) throw IoError::FromErrno(ENOTDIR, path);
  if (access(folder.c_str(), W_OK | X_OK) != 0) throw IoError::FromErrno(errno, path);
}

}  // namespace trevolan
