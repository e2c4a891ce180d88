#include "cli/help.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>

#include "cli/script.h"

namespace trevolan::cli {

namespace {

constexpr size_t kTextWidth = 78;

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

// Prints a paragraph wrapped at the text width; one that starts with a blank is a
// preformatted block (a list, a table) and stands as written.
void WriteParagraph(std::ostream& out, const std::string& paragraph) {
  if (!paragraph.empty() && paragraph[0] == ' ') {
    out << paragraph << '\n';
    return;
  }
  size_t column = 0;
  for (const std::string& w : Words(paragraph)) {
    if (column > 0 && column + 1 + w.size() > kTextWidth) {
      out << '\n';
      column = 0;
    }
    if (column > 0) {
      out << ' ';
      ++column;
    }
    out << w;
    column += w.size();
  }
  out << '\n';
}

}  // namespace

void WriteCommandHelp(std::ostream& out, const std::string& prefix, const CommandHelp& help) {
  out << prefix << help.name << (help.synopsis.empty() ? "" : " ") << help.synopsis << "\n\n";
  WriteParagraph(out, help.summary);
  for (size_t from = 0; from < help.details.size();) {
    const size_t end = std::min(help.details.find("\n\n", from), help.details.size());
    out << '\n';
    WriteParagraph(out, help.details.substr(from, end - from));
    from = end + 2;
  }
  out << "\nExample:\n  " << help.example << '\n';
}

void WriteCommandLine(std::ostream& out, const CommandHelp& help, size_t width) {
  out << "  " << help.name << std::string(help.name.size() < width ? width - help.name.size() : 1, ' ')
      << help.summary << '\n';
}

}  // namespace trevolan::cli
