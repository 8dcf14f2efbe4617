#pragma once

#include <string>
#include <string_view>
#include <vector>

// The one folding that names are compared in: lower case, accents and other
// combining marks removed, for the Latin, Greek and Cyrillic letters. A
// search, a group title's category words and a guide's channel names all
// fold the same way, so "cafe" finds "Café" and "Deportes" reads as
// "deportes" everywhere. Standard library only; any thread.
namespace lumora {

// The character folded: its base letter in lower case, or itself.
char16_t FoldCharacter(char16_t c);

// The text folded character by character, combining marks dropped. Other
// characters stay as they are.
std::u16string FoldText(std::u16string_view text);

// The folded words of a UTF-8 text, in UTF-8: runs of letters and digits;
// anything else (blanks, punctuation, symbols) separates them.
std::vector<std::string> FoldedWords(std::string_view text);

}  // namespace lumora
