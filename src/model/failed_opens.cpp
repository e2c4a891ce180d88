#include "model/failed_opens.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <mutex>
#include <optional>
#include <vector>

#include "model/errors.h"
#include "model/file_identity.h"

namespace trevolan {

namespace {

struct Identity {
  uint32_t dev_major, dev_minor;
  uint64_t ino;
  int64_t btime_sec;
  uint32_t btime_nsec;
  bool operator==(const Identity&) const = default;
};

std::optional<Identity> IdentityOf(const std::string& path) {
  struct statx stx {};
  if (statx(AT_FDCWD, path.c_str(), 0, STATX_INO | STATX_BTIME, &stx) != 0) return std::nullopt;
  const bool born = (stx.stx_mask & STATX_BTIME) != 0;
  return Identity{stx.stx_dev_major, stx.stx_dev_minor, stx.stx_ino, born ? stx.stx_btime.tv_sec : 0,
                  born ? stx.stx_btime.tv_nsec : 0u};
}

struct FailedOpen {
  Identity identity;
  std::string resolved;  // where the name led
  std::string path, reason;
};

// Opens and saves come from the window's thread, a script, or Python threads.
std::mutex failed_mutex;
std::vector<FailedOpen> failed;

bool IsFile(const FailedOpen& f, const std::optional<Identity>& identity, const std::string& resolved) {
  return (identity && *identity == f.identity) || resolved == f.resolved;
}

}  // namespace

void NoteFailedOpen(const std::string& path, const std::string& reason) {
  const auto identity = IdentityOf(path);
  if (!identity) return;
  const std::lock_guard<std::mutex> lock(failed_mutex);
  failed.push_back({*identity, ResolvedPath(path), path, reason});
}

void NoteOpened(const std::string& path) {
  const auto identity = IdentityOf(path);
  const std::string resolved = ResolvedPath(path);
  const std::lock_guard<std::mutex> lock(failed_mutex);
  std::erase_if(failed, [&](const FailedOpen& f) { return IsFile(f, identity, resolved); });
}

void CheckNoFailedOpen(const std::string& path) {
  const auto identity = IdentityOf(path);
  if (!identity) return;  // nothing there to lose
  const std::string resolved = ResolvedPath(path);
  const std::lock_guard<std::mutex> lock(failed_mutex);
  for (const FailedOpen& f : failed) {
    if (!IsFile(f, identity, resolved)) continue;
    throw IoError("I/O error: " + path + " is not replaced: the open of " + f.path + " failed (" + f.reason +
                  "), so the model held is not what the file holds; save to another file, or open it again");
  }
}

}  // namespace trevolan
