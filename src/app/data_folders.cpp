#include "app/data_folders.h"

#include <filesystem>
#include <system_error>

namespace trevolan {

namespace {

namespace fs = std::filesystem;

// The folder of the running program, from the kernel rather than argv[0], which a
// launcher may have set to anything.
fs::path ProgramFolder() {
  std::error_code error;
  const fs::path program = fs::read_symlink("/proc/self/exe", error);
  return error ? fs::path() : program.parent_path();
}

// `name` in the folder `from_bin` of the program's folder, else in `configured`, when
// it exists there as a folder or a file.
std::string Shipped(const char* from_bin, const char* configured, const char* name, bool folder) {
  std::error_code error;
  const auto found = [&](const fs::path& p) { return folder ? fs::is_directory(p, error) : fs::is_regular_file(p, error); };
  const fs::path beside = ProgramFolder();
  if (!beside.empty()) {
    const fs::path path = (beside / from_bin / name).lexically_normal();
    if (found(path)) return path.string();
  }
  const fs::path path = fs::path(configured) / name;
  return found(path) ? path.string() : std::string();
}

}  // namespace

std::string ExamplesFolder() { return Shipped(TREVOLAN_DATA_FROM_BIN, TREVOLAN_DATA_DIR, "examples", true); }

std::string GuideFile() { return Shipped(TREVOLAN_DOC_FROM_BIN, TREVOLAN_DOC_DIR, "user-guide.md", false); }

}  // namespace trevolan
