#include "shell/dialogs/first_playlist_entry.h"

#include <algorithm>
#include <cctype>

#include "catalogue/stream_address.h"

namespace lumora {
namespace {

std::string_view Trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// The title of "#EXTINF:-1 tvg-id="a,b",Title": what follows the first comma
// outside quoted attribute values.
std::string_view ExtinfTitle(std::string_view line) {
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (line[i] == ',' && !quoted)
            return Trimmed(line.substr(i + 1));
    }
    return {};
}

bool EndsWithNoCase(std::string_view text, std::string_view ending) {
    if (text.size() < ending.size())
        return false;
    return std::equal(ending.begin(), ending.end(), text.end() - ending.size(), [](char a, char b) {
        return std::tolower((unsigned char)a) == std::tolower((unsigned char)b);
    });
}

}  // namespace

std::optional<PlaylistEntry> FirstPlayableEntry(std::string_view playlist) {
    if (playlist.substr(0, 3) == "\xEF\xBB\xBF")
        playlist.remove_prefix(3);
    std::string_view title;
    while (!playlist.empty()) {
        const std::size_t end = std::min(playlist.find('\n'), playlist.size());
        const std::string_view line = Trimmed(playlist.substr(0, end));
        playlist.remove_prefix(std::min(end + 1, playlist.size()));
        if (line.empty())
            continue;
        if (line.front() == '#') {
            if (line.substr(0, 8) == "#EXTINF:")
                title = ExtinfTitle(line);
            continue;
        }
        if (IsPlayableAddress(line))
            return PlaylistEntry{std::string(title), std::string(line)};
        title = {};
    }
    return std::nullopt;
}

bool IsHlsPlaylist(std::string_view playlist) {
    return playlist.find("#EXT-X-") != std::string_view::npos;
}

bool HasPlaylistEnding(std::string_view addressOrPath) {
    const std::size_t scheme = addressOrPath.find("://");
    if (scheme != std::string_view::npos) {
        // The path of an address ends before its query or fragment.
        const std::size_t cut = addressOrPath.find_first_of("?#", scheme + 3);
        addressOrPath = addressOrPath.substr(0, cut);
    }
    return EndsWithNoCase(addressOrPath, ".m3u") || EndsWithNoCase(addressOrPath, ".m3u8");
}

}  // namespace lumora
