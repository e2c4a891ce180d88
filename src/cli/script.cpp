#include "cli/script.h"

namespace trevolan::cli {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

}  // namespace

std::vector<Command> ParseScript(const std::string& text, bool semicolons) {
  std::vector<Command> commands;
  for (ScriptLine& l : ParseScriptLines(text, semicolons)) commands.push_back(std::move(l.command));
  return commands;
}

std::vector<ScriptLine> ParseScriptLines(const std::string& text, bool semicolons) {
  std::vector<ScriptLine> commands;
  Command current;
  int line = 1, start = 1;  // the line now, and the one the current command started on
  std::string word;
  bool in_word = false, in_quotes = false, in_comment = false;

  const auto end_word = [&] {
    if (in_word) current.push_back(word);
    word.clear();
    in_word = false;
  };
  const auto end_command = [&] {
    end_word();
    if (!current.empty()) commands.push_back({current, start});
    current.clear();
  };

  for (const char c : text) {
    if (current.empty() && !in_word) start = line;
    if (c == '\n') ++line;
    if (in_comment) {
      if (c == '\n') {
        in_comment = false;
        end_command();
      }
      continue;
    }
    if (in_quotes) {
      if (c == '"') {
        in_quotes = false;
      } else if (c == '\n') {
        throw ScriptError(line - 1, "unterminated quote in: " + word);
      } else {
        word += c;
      }
      continue;
    }
    if (c == '"') {
      in_quotes = true;
      in_word = true;
    } else if (c == '#') {
      in_comment = true;
    } else if (c == '\n' || (semicolons && c == ';')) {
      end_command();
    } else if (IsBlank(c)) {
      end_word();
    } else {
      word += c;
      in_word = true;
    }
  }
  if (in_quotes) throw ScriptError(line, "unterminated quote in: " + word);
  end_command();
  return commands;
}

}  // namespace trevolan::cli
