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

}  // namespace

std::string ExamplesFolder() {
  std::error_code error;
  const fs::path beside = ProgramFolder();
  if (!beside.empty()) {
    const fs::path folder = (beside / TREVOLAN_DATA_FROM_BIN / "examples").lexically_normal();
    if (fs::is_directory(folder, error)) return folder.string();
  }
  const fs::path configured = fs::path(TREVOLAN_DATA_DIR) / "examples";
  if (fs::is_directory(configured, error)) return configured.string();
  return {};
}

}  // namespace trevolan
