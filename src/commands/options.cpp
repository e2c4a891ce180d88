#include "commands/options.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>

#include "model/errors.h"

namespace trevolan::commands {

namespace {

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

bool StripSuffix(std::string& word, const std::string& suffix) {
  if (word.size() < suffix.size() || word.compare(word.size() - suffix.size(), suffix.size(), suffix) != 0) {
    return false;
  }
  word.resize(word.size() - suffix.size());
  return true;
}

}  // namespace

std::vector<OptionHelp> OptionsOf(const std::string& synopsis) {
  std::vector<OptionHelp> options;
  bool after_option = false;  // the word before was an option, whose value this may be
  for (std::string w : Words(synopsis)) {
    StripSuffix(w, "...");
    const bool closes = StripSuffix(w, "]");
    while (StripSuffix(w, "]")) {
    }
    const bool opens = !w.empty() && w[0] == '[';
    w.erase(0, w.find_first_not_of('['));
    const bool is_option = w.size() > 1 && w[0] == '-';
    if (after_option && !is_option && !opens && w != "|") options.back().takes_value = true;
    after_option = false;
    if (is_option) {
      const auto same = [&w](const OptionHelp& o) { return o.name == w; };
      if (std::find_if(options.begin(), options.end(), same) == options.end()) options.push_back({w, false});
      after_option = !closes;
    }
  }
  return options;
}

Arity ArityOf(const std::string& synopsis) {
  Arity a;
  int depth = 0;
  for (std::string w : Words(synopsis)) {
    const bool repeated = StripSuffix(w, "...");
    while (!w.empty() && w.front() == '[') {
      ++depth;
      w.erase(0, 1);
    }
    int closing = 0;
    while (StripSuffix(w, "]")) ++closing;
    if (!w.empty() && w != "|") {
      if (depth == 0) ++a.min;
      if (a.max != Arity::kMany) ++a.max;
    }
    if (repeated) a.max = Arity::kMany;
    depth -= closing;
    if (depth < 0) throw std::logic_error("unbalanced ']' in synopsis: " + synopsis);
  }
  if (depth != 0) throw std::logic_error("unbalanced '[' in synopsis: " + synopsis);
  return a;
}

ParsedOptions ParseOptions(const std::vector<std::string>& args, const std::string& synopsis) {
  const std::vector<OptionHelp> known = OptionsOf(synopsis);
  ParsedOptions parsed;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.size() < 2 || a[0] != '-') {
      parsed.positional.push_back(a);
      continue;
    }
    const size_t eq = a.find('=');
    const std::string name = a.substr(0, eq);
    const auto it = std::find_if(known.begin(), known.end(), [&name](const OptionHelp& o) { return o.name == name; });
    if (it == known.end()) {
      std::vector<std::string> names;
      for (const OptionHelp& o : known) names.push_back(o.name);
      throw UsageError("unknown option: " + a + Suggestion(name, names));
    }
    std::string value;
    if (eq != std::string::npos) {
      value = a.substr(eq + 1);
    } else if (it->takes_value) {
      if (i + 1 >= args.size()) throw UsageError(name + " needs a value");
      value = args[++i];
    }
    parsed.options.emplace_back(name, std::move(value));
  }
  return parsed;
}

namespace {

// Edits (insert, delete, replace, swap of two neighbours) from a to b.
size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
  for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    for (size_t j = 1; j <= b.size(); ++j) {
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  }
  return d[a.size()][b.size()];
}

}  // namespace

std::string Suggestion(const std::string& word, const std::vector<std::string>& names) {
  if (word.size() > 64) return "";
  const size_t near = std::max<size_t>(1, word.size() / 4);
  size_t best = near + 1;
  std::string nearest;
  bool tie = false;
  for (const std::string& name : names) {
    const size_t d = EditDistance(word, name);
    if (d < best) {
      best = d;
      nearest = name;
      tie = false;
    } else if (d == best) {
      tie = true;
    }
  }
  return nearest.empty() || tie ? "" : " (did you mean " + nearest + "?)";
}

}  // namespace trevolan::commands
