#pragma once
#include <string>

namespace trevolan {

// The folder of the example models that ship with the program: share/trevolan/examples
// beside the program's bin folder (an installed program wherever its prefix is, and the
// build tree, which mirrors that layout), else that of the prefix the build was
// configured for. Empty when neither exists.
std::string ExamplesFolder();

// The user guide's Markdown file, share/doc/trevolan/user-guide.md found the same way;
// empty when there is none.
std::string GuideFile();

}  // namespace trevolan
