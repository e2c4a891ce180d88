#include "model/file_identity.h"

#include <sys/stat.h>

#include <filesystem>

namespace trevolan {

namespace fs = std::filesystem;

std::string ResolvedPath(const std::string& path) {
  std::error_code ec;
  fs::path p = fs::absolute(path, ec);
  for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(p, ec)); ++hops) {
    const fs::path link = fs::read_symlink(p, ec);
    if (ec) break;
    p = link.is_absolute() ? link : p.parent_path() / link;
  }
  const fs::path resolved = fs::weakly_canonical(p, ec);
  return (ec ? p.lexically_normal() : resolved).string();
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {}, sb {};
  if (::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0) {
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  }
  return ResolvedPath(a) == ResolvedPath(b);
}

}  // namespace trevolan
