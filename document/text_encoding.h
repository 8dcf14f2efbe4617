#pragma once

#include <string>
#include <string_view>

namespace lumora {

// Conversions between narrow byte strings and wide UTF-16 strings. The
// system's default code page is UTF-8 here, so these are what "widen" and
// "narrow" mean everywhere in the program. Malformed input never fails: each
// bad sequence becomes U+FFFD.
std::u16string FromUtf8(std::string_view text);
std::string ToUtf8(std::u16string_view text);

bool IsValidUtf8(std::string_view text);
// False when a surrogate is not part of a pair.
bool IsValidUtf16(std::u16string_view text);

}  // namespace lumora
