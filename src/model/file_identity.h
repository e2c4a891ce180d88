#pragma once
#include <string>

// Whether two names lead to one file, for the checks that keep a command from writing
// one of its outputs over its model or over another of its outputs.
namespace trevolan {

// Where a path leads: made absolute, its symbolic links followed, a dangling one to the
// file it would create.
std::string ResolvedPath(const std::string& path);

// Whether two paths name one file: by device and inode when both exist, else by where
// they lead.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace trevolan
