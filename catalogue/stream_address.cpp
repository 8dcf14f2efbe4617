#include "catalogue/stream_address.h"

#include <algorithm>
#include <array>
#include <string>

#include "document/text_encoding.h"

namespace lumora {
namespace {

constexpr std::array<std::string_view, 13> kNetworkSchemes = {
    "http", "https", "rtmp", "rtmps", "rtmpt", "rtsp", "rtsps",
    "mms",  "mmsh",  "mmst", "srt",   "udp",   "rtp"};

// Generators that make pictures or tones out of nothing: they read no file
// and write none.
constexpr std::array<std::string_view, 9> kTestSources = {"testsrc",     "testsrc2",   "smptebars",
                                                          "smptehdbars", "rgbtestsrc", "yuvtestsrc",
                                                          "color",       "sine",       "anullsrc"};

constexpr std::string_view kLavfiPrefix = "av://lavfi:";

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return LowerAscii(x) == LowerAscii(y);
           });
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

// Control characters, blanks and DEL never belong in an address; libmpv
// and FFmpeg would read them as separators or option syntax.
bool HasForbiddenBytes(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= 0x20 || byte == 0x7F;
    });
}

// C1 controls and the bidirectional controls are control characters too:
// they could make a refused address read like an allowed one.
bool HasControlCharacters(std::u16string_view text) {
    return std::any_of(text.begin(), text.end(), [](char16_t c) {
        return (c >= 0x80 && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) ||
               (c >= 0x2066 && c <= 0x2069) || c == 0x200E || c == 0x200F;
    });
}

bool IsSchemeCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '-' || c == '.';
}

// "scheme://authority..." with a scheme from the list and a non-empty
// host.
bool IsNetworkAddress(std::string_view address) {
    const std::size_t colon = address.find("://");
    if (colon == std::string_view::npos || colon == 0)
        return false;
    const std::string_view scheme = address.substr(0, colon);
    if (!std::all_of(scheme.begin(), scheme.end(), IsSchemeCharacter))
        return false;
    if (std::none_of(kNetworkSchemes.begin(), kNetworkSchemes.end(),
                     [&](std::string_view known) { return EqualsIgnoringCase(scheme, known); }))
        return false;
    std::string_view authority = address.substr(colon + 3);
    authority = authority.substr(0, authority.find_first_of("/?#"));
    // Credentials come before the last "@"; the host is what follows.
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos)
        authority.remove_prefix(at + 1);
    std::string_view host = authority;
    if (!host.empty() && host.front() == '[') {
        const std::size_t close = host.find(']');
        if (close == std::string_view::npos || close == 1)
            return false;
        return true;
    }
    host = host.substr(0, host.find(':'));
    // "udp://@:1234" style multicast listeners name no host: refused, as
    // they would bind a local port rather than fetch a stream.
    return !host.empty();
}

bool IsOptionName(std::string_view name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '_';
    });
}

// "av://lavfi:SOURCE" or "av://lavfi:SOURCE=key=value:key=value": one
// generator, options only, nothing that chains, labels or escapes.
bool IsTestSourceGraph(std::string_view address) {
    if (!StartsWithIgnoringCase(address, kLavfiPrefix))
        return false;
    const std::string_view graph = address.substr(kLavfiPrefix.size());
    if (graph.find_first_of(",;[]\\'\"") != std::string_view::npos)
        return false;
    const std::size_t equals = graph.find('=');
    const std::string_view source = graph.substr(0, equals);
    if (std::find(kTestSources.begin(), kTestSources.end(), source) == kTestSources.end())
        return false;
    if (equals == std::string_view::npos)
        return true;
    std::string_view options = graph.substr(equals + 1);
    while (true) {
        const std::size_t end = options.find(':');
        const std::string_view option = options.substr(0, end);
        const std::size_t eq = option.find('=');
        // Positional values ("color=red") are allowed; a named option must
        // have a plain name.
        if (option.empty() || (eq != std::string_view::npos && !IsOptionName(option.substr(0, eq))))
            return false;
        if (end == std::string_view::npos)
            return true;
        options.remove_prefix(end + 1);
    }
}

}  // namespace

bool IsPlayableAddress(std::string_view address) {
    if (address.empty() || address.size() > kMaxStreamAddressBytes)
        return false;
    if (HasForbiddenBytes(address) || !IsValidUtf8(address) ||
        HasControlCharacters(FromUtf8(address)))
        return false;
    return IsNetworkAddress(address) || IsTestSourceGraph(address);
}

bool IsPlayableAddress(std::u16string_view address) {
    if (address.empty() || address.size() > kMaxStreamAddressBytes || !IsValidUtf16(address))
        return false;
    return IsPlayableAddress(std::string_view(ToUtf8(address)));
}

}  // namespace lumora
