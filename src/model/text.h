#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// Names and comments are UTF-8 in the program and in the files it writes. Their limits
// count characters, not bytes, and a cut never falls inside a character. Old model
// files were single-byte Windows-1252; they are read as such when they are not UTF-8.
namespace trevolan {

// Whether the text is well-formed UTF-8 (no overlong forms, no surrogates, at most
// U+10FFFF).
bool IsValidUtf8(std::string_view text);

// Windows-1252 as UTF-8. The five bytes the code page leaves unassigned (81, 8D, 8F,
// 90, 9D) become the C1 controls of the same number, as the platform does.
std::string Windows1252ToUtf8(std::string_view text);

// The text itself when it is valid UTF-8, else the text read as Windows-1252.
std::string AsUtf8(std::string text);

// The text with every byte that starts no valid UTF-8 sequence replaced by U+FFFD, for
// a text that must be UTF-8 whatever it holds (a path written into a model file).
std::string ReplaceInvalidUtf8(std::string_view text);

// The first max_chars characters of a UTF-8 text; a byte that starts no valid sequence
// counts as one character.
std::string CutToCharacters(std::string_view text, size_t max_chars);

// A name or comment as a block keeps it: UTF-8 (a text that is not is taken as
// Windows-1252), cut to max_chars characters.
std::string FitText(std::string text, size_t max_chars);

}  // namespace trevolan
