// Fills the parts of the manual page trevolan-cli(1) that the program's tables make, so
// that the page names every option and target the program takes and no other:
//   fill_manual PAGE.scd.in PAGE.scd
// The line "; study synopsis" becomes the synopsis of study, "; study options" the
// entries of its options, "; target fields" and "; target globals" the fields and the
// globals a target names, in scdoc. The rest of the page is copied as it is.
#include <fstream>
#include <iostream>
#include <string>

#include "commands/targets.h"
#include "study/study_options.h"

namespace {

using trevolan::study::StudyOption;

// Text that scdoc shows as written.
std::string Plain(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '*' || c == '_' || c == '\\') out += '\\';
    out += c;
  }
  return out;
}

// An option's name in bold and the names in its value underlined: *--set* _T_=_V_.
std::string Usage(const StudyOption& o) {
  std::string text = std::string("*") + o.name + "*";
  if (!*o.value) return text;
  text += " _";
  for (const char* c = o.value; *c; ++c) text += *c == '=' || *c == ':' ? std::string("_") + *c + "_" : std::string(1, *c);
  return text + "_";
}

std::string Synopsis() {
  std::string text = "*trevolan-cli study* _MODEL_";
  for (const StudyOption& o : trevolan::study::StudyOptions()) {
    text += " [" + Usage(o) + "]" + (o.repeats ? "..." : "");
  }
  return text + "\n";
}

std::string Entries() {
  std::string text;
  for (const StudyOption& o : trevolan::study::StudyOptions()) {
    if (!text.empty()) text += "\n";
    text += "\t" + Usage(o) + (o.repeats ? " (repeatable)" : "") + "\n\t\t" + Plain(o.help) + "\n";
  }
  return text;
}

// "Type, Name, ..." as "*Type*, *Name*, ...", indented as the list item it continues.
std::string BoldNames(const std::string& names) {
  std::string text = "  *";
  for (const char c : names) text += c == ',' ? std::string("*,") : c == ' ' ? std::string(" *") : std::string(1, c);
  return text + "*";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: fill_manual PAGE.scd.in PAGE.scd\n";
    return 2;
  }
  std::ifstream in(argv[1]);
  std::ofstream out(argv[2]);
  for (std::string line; std::getline(in, line);) {
    if (line == "; study synopsis") {
      out << Synopsis();
    } else if (line == "; study options") {
      out << Entries();
    } else if (line == "; target fields") {
      out << BoldNames(trevolan::commands::TargetFieldNames()) << '\n';
    } else if (line == "; target globals") {
      out << BoldNames(trevolan::commands::TargetGlobalNames()) << ";\n";
    } else {
      out << line << '\n';
    }
  }
  if (!in.eof() || !out) {
    std::cerr << "fill_manual: cannot make " << argv[2] << " from " << argv[1] << '\n';
    return 1;
  }
  return 0;
}
