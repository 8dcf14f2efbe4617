#pragma once

#include <string_view>

namespace lumora {

// Country codes of the channel catalogue: lower-case two-letter codes, plus
// "int" for channels that belong to no country.
inline constexpr std::string_view kInternationalCode = "int";

// True for a lower-case ISO 3166-1 alpha-2 code, and for the two codes the
// public playlists use outside that standard ("uk", "xk").
bool IsCountryCode(std::string_view code);

}  // namespace lumora
