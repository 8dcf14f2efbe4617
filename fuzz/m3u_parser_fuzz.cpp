// Feeds arbitrary bytes to the M3U playlist parser. Whatever the playlist
// holds, every entry it gives has a stream address a player can be handed
// and a display name without control characters (tabs are blanks), entries and malformed
// lines together are no more than the playlist's lines, a cleaned name
// states no negative resolution, and the guide addresses, names, shifts and
// catch-up attributes stay within their bounds.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "catalogue/catchup_attributes.h"
#include "catalogue/guide_attributes.h"
#include "playlist/m3u_playlist.h"

using namespace lumora;

namespace {

// A tab counts as a blank in a playlist line, as in the parser.
bool HasControlCharacters(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && byte != '\t') || byte == 0x7F;
    });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const M3uPlaylist playlist = ParseM3uText(text);

    const std::size_t lines = std::count(text.begin(), text.end(), '\n') + 1;
    if (playlist.entries.size() + playlist.malformed > lines)
        std::abort();
    for (const M3uEntry& entry : playlist.entries) {
        if (!IsStreamAddress(entry.address) || HasControlCharacters(entry.displayName))
            std::abort();
        if (CleanDisplayName(entry.displayName).resolution < 0)
            std::abort();
        if (entry.tvgName.size() > kMaxTvgTextBytes || HasControlCharacters(entry.tvgName) ||
            std::abs(entry.tvgShiftMinutes) > kMaxTvgShiftMinutes)
            std::abort();
        const CatchupAttributes& catchup = entry.catchup;
        if ((!catchup.style && catchup != CatchupAttributes{}) ||
            catchup.source.size() > kMaxCatchupSourceBytes ||
            HasControlCharacters(catchup.source) ||
            (catchup.days && (*catchup.days < 1 || *catchup.days > kMaxCatchupDays)) ||
            std::abs(catchup.correctionMinutes) > kMaxCatchupCorrectionMinutes)
            std::abort();
    }
    if (playlist.guideAddresses.size() > kMaxGuideAddresses)
        std::abort();
    for (const std::string& address : playlist.guideAddresses) {
        if (address.empty() || address.size() > kMaxGuideAddressBytes ||
            address.find_first_of(" \t,") != std::string::npos || HasControlCharacters(address))
            std::abort();
    }
    // The line parser on its own, with the whole input as one line.
    if (auto fields = ParseExtinfLine(text)) {
        if (HasControlCharacters(fields->displayName))
            std::abort();
    }
    return 0;
}
