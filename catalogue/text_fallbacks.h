#pragma once

#include <string>
#include <string_view>

namespace lumora {

// The English text of every key the program added to the language pack's
// first set of keys. A pack made before such a key existed, or one that
// lacks it, shows this text rather than a raw key or nothing: LookupText
// answers with it. Every key added from now on gets its line here too.
//
// Threads: any; the table never changes.

// The English text of an added key; null for any other key.
const std::u16string* EnglishFallback(std::string_view key);
// Whether an English text is kept for a key that starts with `prefix`.
bool HasEnglishFallbackStartingWith(std::string_view prefix);

}  // namespace lumora
