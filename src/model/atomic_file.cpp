#include "model/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "model/errors.h"

namespace trevolan {

namespace {

constexpr size_t kMaxReadSize = size_t{1} << 30;

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The mode a plain create would give: the target's own when it exists.
mode_t ModeForTarget(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return st.st_mode & 07777;
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

bool WriteAll(int fd, const std::string& content) {
  size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = write(fd, content.data() + done, content.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

void FlushFolder(const std::string& folder) {
  const int dfd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (dfd < 0) return;  // the file itself is safely renamed; the folder flush is best effort
  fsync(dfd);
  close(dfd);
}

}  // namespace

AtomicFileWriter::AtomicFileWriter(const std::string& path) : path_(path), temp_(path + ".tmp-XXXXXX") {
  struct stat st {};
  if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) throw IoError::FromErrno(EISDIR);
  fd_ = mkstemp(temp_.data());
  if (fd_ < 0) throw IoError::FromErrno(errno);
  if (fchmod(fd_, ModeForTarget(path)) != 0) {
    const int code = errno;
    close(fd_);
    unlink(temp_.c_str());
    fd_ = -1;
    throw IoError::FromErrno(code);
  }
}

AtomicFileWriter::~AtomicFileWriter() {
  if (fd_ < 0) return;
  close(fd_);
  unlink(temp_.c_str());
}

void AtomicFileWriter::Append(std::string_view text) {
  buffer_.append(text);
  if (buffer_.size() >= (size_t{1} << 16)) Flush();
}

void AtomicFileWriter::Flush() {
  if (fd_ < 0) throw IoError::FromErrno(EBADF);
  if (!WriteAll(fd_, buffer_)) throw IoError::FromErrno(errno);
  buffer_.clear();
}

void AtomicFileWriter::Commit() {
  Flush();
  int failure = 0;
  if (fsync(fd_) != 0) failure = errno;
  if (close(fd_) != 0 && failure == 0) failure = errno;
  fd_ = -1;
  if (failure == 0 && rename(temp_.c_str(), path_.c_str()) != 0) failure = errno;
  if (failure != 0) {
    unlink(temp_.c_str());
    throw IoError::FromErrno(failure);
  }
  FlushFolder(FolderOf(path_));
}

void WriteFileAtomically(const std::string& path, const std::string& content) {
  AtomicFileWriter file(path);
  file.Append(content);
  file.Commit();
}

std::string ReadWholeFile(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) throw IoError::FromErrno(errno);
  struct stat st {};
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    const int code = S_ISDIR(st.st_mode) ? EISDIR : errno;
    close(fd);
    throw IoError::FromErrno(code);
  }
  std::string data;
  char buf[65536];
  for (;;) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int code = errno;
      close(fd);
      throw IoError::FromErrno(code);
    }
    if (n == 0) break;
    data.append(buf, static_cast<size_t>(n));
    if (data.size() > kMaxReadSize) {  // a device that never ends is not a model
      close(fd);
      throw IoError::FromErrno(EFBIG);
    }
  }
  close(fd);
  return data;
}

}  // namespace trevolan
