#include "model/rewrite_backup.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <vector>

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

// The name of a file's backups, without ".txt", from what stays the same while it is
// rewritten in place and tells it from any later file: device, inode and birth time.
std::optional<std::string> BackupStem(int dir, const char* path, int flags) {
  struct statx stx {};
  if (statx(dir, path, flags, STATX_INO | STATX_BTIME, &stx) != 0) return std::nullopt;
  const bool born = (stx.stx_mask & STATX_BTIME) != 0;
  char name[128];
  std::snprintf(name, sizeof name, "rewrite-%x.%x-%llx-%lld.%u", stx.stx_dev_major, stx.stx_dev_minor,
                static_cast<unsigned long long>(stx.stx_ino), born ? static_cast<long long>(stx.stx_btime.tv_sec) : 0LL,
                born ? stx.stx_btime.tv_nsec : 0u);
  return name;
}

// The backup of the file's n-th rewrite that did not finish: "STEM.txt", then
// "STEM-2.txt", "STEM-3.txt", ...
std::string BackupName(const std::string& stem, int n) {
  return stem + (n == 1 ? std::string() : "-" + std::to_string(n)) + ".txt";
}

// A backup that a rewrite cut off left, and an open reported, is the only whole copy of
// the file: it is kept until the user removes it, and a later rewrite's backup takes the
// next free name beside it. The copy is written whole under a name of its own first and
// then linked to that name, which fails rather than replace a file: so two rewriters
// never share a name, and a name is never seen before its copy is complete.
std::string LinkToFreeName(const std::string& copy, const std::string& folder, const std::string& stem,
                           const std::string& path) {
  for (int n = 1;; ++n) {
    const std::string file = folder + "/" + BackupName(stem, n);
    if (link(copy.c_str(), file.c_str()) == 0) return file;
    if (errno != EEXIST) FailBackup(IoError::FromErrno(errno, file).what(), path);
  }
}

// The backup could not be written (a full disk): the error is the save's, so it names
// the file being saved, which is left as it was; the backup, which holds nothing whole,
// is not named.
[[noreturn]] void FailWritingBackup(const IoError& e, const std::string& path) {
  const int code = e.code != 0 ? e.code : EIO;
  IoError failed(std::string(IoError::FromErrno(code, path).what()) +
                 ": its old content could not be kept in a backup before it is rewritten in place, so it is "
                 "left as it was");
  failed.code = code;
  failed.path = path;
  throw failed;
}

// Copies the open file `fd` into `copy`, complete and synced; its text too when `keep`.
std::string CopyFile(int fd, const std::string& copy, bool keep, const std::string& path) {
  std::string text;
  try {
    AtomicFileWriter writer(copy);
    char chunk[65536];
    for (off_t at = 0;;) {
      const ssize_t n = pread(fd, chunk, sizeof chunk, at);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) FailBackup(IoError::FromErrno(errno, path).what(), path);
      if (n == 0) break;
      writer.Append(std::string_view(chunk, static_cast<size_t>(n)));
      if (keep) text.append(chunk, static_cast<size_t>(n));
      at += n;
    }
    writer.Commit();
  } catch (const IoError& e) {
    if (e.path != copy) throw;  // reading the file failed, and said so
    FailWritingBackup(e, path);
  }
  return text;
}

// 64 random bits: the copy's own name, which no other rewriter of the file takes,
// not even one in another PID namespace whose process ID is this one's.
std::string RandomHex() {
  uint64_t random = 0;
  if (getrandom(&random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
    random = static_cast<uint64_t>(getpid()) << 32 ^ static_cast<uint64_t>(time(nullptr));
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(random));
  return text;
}

}  // namespace

RewriteBackup::RewriteBackup(int fd, const std::string& path) {
  const auto stem = BackupStem(fd, "", AT_EMPTY_PATH);
  if (!stem) FailBackup(IoError::FromErrno(errno, path).what(), path);
  struct stat st {};
  if (fstat(fd, &st) != 0) FailBackup(IoError::FromErrno(errno, path).what(), path);
  const std::string folder = PrepareBackupFolder(path);
  const std::string copy = folder + "/" + *stem + ".writing-" + RandomHex() + ".tmp";
  const bool small = static_cast<uint64_t>(st.st_size) <= kBackupInMemory;
  try {
    std::string text = CopyFile(fd, copy, small, path);
    file_ = LinkToFreeName(copy, folder, *stem, path);
    if (small) old_text_ = std::move(text);
  } catch (...) {
    unlink(copy.c_str());
    throw;
  }
  unlink(copy.c_str());
}

void RewriteBackup::Remove() const {
  unlink(file_.c_str());
}

std::vector<std::string> UnfinishedRewriteBackups(const std::string& path) {
  std::vector<std::string> found;
  const std::string folder = BackupFolderPath();
  const auto stem = BackupStem(AT_FDCWD, path.c_str(), 0);
  if (folder.empty() || !stem) return found;
  std::vector<std::pair<int, std::string>> numbered;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (!name.starts_with(*stem) || !name.ends_with(".txt") || !entry.is_regular_file(ec)) continue;
    const std::string middle = name.substr(stem->size(), name.size() - stem->size() - 4);
    if (middle.empty()) {
      numbered.emplace_back(1, entry.path().string());
    } else if (middle.size() > 1 && middle.size() < 10 && middle[0] == '-' &&
               middle.find_first_not_of("0123456789", 1) == std::string::npos) {
      numbered.emplace_back(std::stoi(middle.substr(1)), entry.path().string());
    }
  }
  std::sort(numbered.begin(), numbered.end());
  for (auto& n : numbered) found.push_back(std::move(n.second));
  return found;
}

}  // namespace trevolan
