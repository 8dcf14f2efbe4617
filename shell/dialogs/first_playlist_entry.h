#pragma once

// The first entry of an M3U playlist, for a playlist given on the command
// line. Standard library only; any thread.

#include <optional>
#include <string>
#include <string_view>

namespace lumora {

struct PlaylistEntry {
    std::string name;  // the "#EXTINF" title, empty when there is none
    std::string address;
};

// The first entry whose address passes the stream address rule; entries the
// rule refuses are skipped, never opened. Nothing when no entry is left.
// CRLF and LF line ends and a UTF-8 byte order mark are accepted.
std::optional<PlaylistEntry> FirstPlayableEntry(std::string_view playlist);

// True for an HLS playlist (it carries "#EXT-X-" tags): that is one stream,
// played by its own address, not a list of channels.
bool IsHlsPlaylist(std::string_view playlist);

// True when the address or path names an M3U playlist by its ending
// (".m3u", ".m3u8", any case; a query or fragment of an address ignored).
bool HasPlaylistEnding(std::string_view addressOrPath);

}  // namespace lumora
