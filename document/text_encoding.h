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

// Narrow names (channel ids) kept in wide settings without loss. Valid
// UTF-8 converts as FromUtf8 does; each byte that is not part of valid
// UTF-8 (a name in a single-byte code page) becomes the lone surrogate
// U+DC80 + (byte - 0x80), which valid text never holds, and NarrowName
// turns it back into that byte. Any byte string survives the round trip.
std::u16string WidenName(std::string_view name);
std::string NarrowName(std::u16string_view name);

bool IsValidUtf8(std::string_view text);
// False when a surrogate is not part of a pair.
bool IsValidUtf16(std::u16string_view text);

}  // namespace lumora
