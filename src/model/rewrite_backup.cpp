#include "model/rewrite_backup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "model/atomic_file.h"
#include "model/errors.h"

namespace trevolan {

namespace {

// Beside the window's recovery copies (Qt's AppLocalDataLocation of the organisation
// "Trevolan" and the application "Trevolan4"); empty without a data or home folder.
std::string BackupFolderPath() {
  const char* data = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  std::string base;
  if (data && data[0] == '/') {
    base = data;
  } else if (home && home[0] == '/') {
    base = std::string(home) + "/.local/share";
  } else {
    return {};
  }
  return base + "/Trevolan/Trevolan4/backups";
}

[[noreturn]] void FailBackup(const std::string& why, const std::string& path) {
  throw IoError("I/O error: the old content of " + path + " cannot be kept before it is rewritten in place (" + why +
                "): it is left as it was");
}

// The folder, made with its parents as the user's alone; one that is a link or another
// user's is not used, since others could read or replace the backups there.
std::string PrepareBackupFolder(const std::string& path) {
  const std::string folder = BackupFolderPath();
  if (folder.empty()) FailBackup("neither XDG_DATA_HOME nor HOME names a folder", path);
  for (size_t at = folder.find('/', 1); at != std::string::npos; at = folder.find('/', at + 1)) {
    mkdir(folder.substr(0, at).c_str(), 0700);
  }
  mkdir(folder.c_str(), 0700);
  struct stat st {};
  if (lstat(folder.c_str(), &st) != 0) FailBackup(IoError::FromErrno(errno, folder).what(), path);
  if (!S_ISDIR(st.st_mode) || st.st_uid != geteuid()) {
    FailBackup(folder + " is not a folder of the user's own", path);
  }
  if ((st.st_mode & 077) != 0 && chmod(folder.c_str(), 0700) != 0) {
    FailBackup(IoError::FromErrno(errno, folder).what(), path);
  }
  return folder;
}

// The name of a file's backup, from what stays the same while it is rewritten in place
// and tells it from any later file: device, inode and birth time.
std::optional<std::string> BackupName(int dir, const char* path, int flags) {
  struct statx stx {};
  if (statx(dir, path, flags, STATX_INO | STATX_BTIME, &stx) != 0) return std::nullopt;
  const bool born = (stx.stx_mask & STATX_BTIME) != 0;
  char name[128];
  std::snprintf(name, sizeof name, "rewrite-%x.%x-%llx-%lld.%u.txt", stx.stx_dev_major, stx.stx_dev_minor,
                static_cast<unsigned long long>(stx.stx_ino), born ? static_cast<long long>(stx.stx_btime.tv_sec) : 0LL,
                born ? stx.stx_btime.tv_nsec : 0u);
  return name;
}

}  // namespace

RewriteBackup::RewriteBackup(int fd, const std::string& path) {
  const auto name = BackupName(fd, "", AT_EMPTY_PATH);
  if (!name) FailBackup(IoError::FromErrno(errno, path).what(), path);
  file_ = PrepareBackupFolder(path) + "/" + *name;
  struct stat st {};
  if (fstat(fd, &st) != 0) FailBackup(IoError::FromErrno(errno, path).what(), path);
  const bool small = static_cast<uint64_t>(st.st_size) <= kBackupInMemory;
  AtomicFileWriter copy(file_);
  std::string text;
  char chunk[65536];
  for (off_t at = 0;;) {
    const ssize_t n = pread(fd, chunk, sizeof chunk, at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) FailBackup(IoError::FromErrno(errno, path).what(), path);
    if (n == 0) break;
    copy.Append(std::string_view(chunk, static_cast<size_t>(n)));
    if (small) text.append(chunk, static_cast<size_t>(n));
    at += n;
  }
  copy.Commit();
  if (small) old_text_ = std::move(text);
}

void RewriteBackup::Remove() const {
  unlink(file_.c_str());
}

std::optional<std::string> UnfinishedRewriteBackup(const std::string& path) {
  const std::string folder = BackupFolderPath();
  const auto name = BackupName(AT_FDCWD, path.c_str(), 0);
  if (folder.empty() || !name) return std::nullopt;
  const std::string file = folder + "/" + *name;
  struct stat st {};
  if (lstat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return file;
}

}  // namespace trevolan
