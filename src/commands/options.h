#pragma once
#include <cstddef>
#include <limits>
#include <string>
#include <utility>
#include <vector>

// The options of a command line, read by the command's synopsis: the one parser of the
// batch runner's commands, the study's options and the MPI program's. The synopsis is
// also what help shows, so the help cannot name an option the parser refuses, nor the
// parser take one the help does not name.
namespace trevolan::commands {

// How many arguments a synopsis allows: a word counts once, a word in brackets is
// optional, and "..." after a word or a bracket lets it repeat without limit.
struct Arity {
  static constexpr size_t kMany = std::numeric_limits<size_t>::max();
  size_t min = 0, max = 0;
};
Arity ArityOf(const std::string& synopsis);

// An option a synopsis names ("--tape FILE", "-f SCRIPT", "--quiet").
struct OptionHelp {
  std::string name;
  bool takes_value = false;
};
// The options in their order, without repeats.
std::vector<OptionHelp> OptionsOf(const std::string& synopsis);

// A command line as its synopsis reads it: the words that are no option, in order, and
// the options with their values in the order given ("" for an option without a value).
struct ParsedOptions {
  std::vector<std::string> positional;
  std::vector<std::pair<std::string, std::string>> options;
};

// An option's value follows it ("--tape FILE") or is joined to it by '=' ("--tape=FILE");
// a following value is taken whatever it looks like. A word of one character or one
// that does not start with '-' is positional. UsageError "unknown option: WORD" for an
// option the synopsis does not name, "NAME needs a value" for a value missing at the end.
ParsedOptions ParseOptions(const std::vector<std::string>& args, const std::string& synopsis);

// " (did you mean NAME?)" for the one name nearest to a mistyped word, when one is
// near enough (a letter or two off, by edits); "" otherwise.
std::string Suggestion(const std::string& word, const std::vector<std::string>& names);

}  // namespace trevolan::commands
