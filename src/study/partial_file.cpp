#include "study/partial_file.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "model/errors.h"

namespace trevolan::study {

namespace {

constexpr auto kSyncEvery = std::chrono::seconds(10);

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

PartialFile::PartialFile(std::string partial, std::string target, int64_t keep)
    : partial_(std::move(partial)), target_(std::move(target)), synced_(std::chrono::steady_clock::now()) {
  fd_ = ::open(partial_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd_ < 0) throw IoError::FromErrno(errno, partial_);
  if (::ftruncate(fd_, keep) != 0 || ::lseek(fd_, keep, SEEK_SET) < 0) {
    const int code = errno;
    ::close(fd_);
    fd_ = -1;
    throw IoError::FromErrno(code, partial_);
  }
}

PartialFile::~PartialFile() {
  if (fd_ >= 0) ::close(fd_);
}

void PartialFile::Append(std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd_, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw IoError::FromErrno(n < 0 ? errno : ENOSPC, partial_);
    text.remove_prefix(static_cast<size_t>(n));
  }
  if (std::chrono::steady_clock::now() - synced_ >= kSyncEvery) Sync();
}

void PartialFile::Sync() {
  if (::fdatasync(fd_) != 0) throw IoError::FromErrno(errno, partial_);
  synced_ = std::chrono::steady_clock::now();
}

void PartialFile::Commit() {
  Sync();
  if (::close(fd_) != 0) {
    fd_ = -1;
    throw IoError::FromErrno(errno, partial_);
  }
  fd_ = -1;
  if (::rename(partial_.c_str(), target_.c_str()) != 0) throw IoError::FromErrno(errno, target_);
  // The new name is made durable too.
  const int dir = ::open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

}  // namespace trevolan::study
