#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumora::tools {

// Everything here runs on the single thread of lumora-data.

// One playable entry of an M3U playlist: an "#EXTINF" line and the address
// that follows it. Texts are the playlist's own UTF-8 bytes.
struct M3uEntry {
    std::string tvgId;        // the "tvg-id" attribute as written, may be empty
    std::string groupTitle;   // the "group-title" attribute as written, may be empty
    std::string displayName;  // the text after the attribute list, trimmed
    std::string address;
};

struct M3uPlaylist {
    std::vector<M3uEntry> entries;
    // "#EXTINF" lines without an address, addresses without an "#EXTINF",
    // and entries whose line or address is not usable.
    std::size_t malformed = 0;
};

// Longest line kept; the rest of a longer line is read and dropped, and the
// line counts as malformed. Real entries are a few hundred bytes.
inline constexpr std::size_t kMaxM3uLineBytes = 64 * 1024;

// The "#EXTINF" fields of one line, or nothing when the line is not usable
// (no comma before the display name, control characters).
struct ExtinfFields {
    std::string tvgId;
    std::string groupTitle;
    std::string displayName;
};
std::optional<ExtinfFields> ParseExtinfLine(std::string_view line);

// True for "scheme://rest" with no blanks or control characters and valid
// UTF-8: what a player can be handed.
bool IsStreamAddress(std::string_view text);

// A display name without its resolution tag "(720p)" and its bracket tags
// "[Not 24/7]", blanks collapsed; and the resolution the tag states (0 when
// none).
struct CleanName {
    std::string name;
    int resolution = 0;
};
CleanName CleanDisplayName(std::string_view displayName);

// Feeds playlist lines one at a time; CRLF and LF endings, a UTF-8 byte
// order mark and "#EXTVLCOPT:" and other directive lines are handled here.
class M3uParser {
public:
    // `truncated` marks a line that was longer than kMaxM3uLineBytes.
    void AddLine(std::string_view line, bool truncated);
    // Ends the playlist; an "#EXTINF" still waiting for its address counts
    // as malformed.
    M3uPlaylist Finish();

private:
    struct Pending {
        std::optional<ExtinfFields> fields;  // nothing: the "#EXTINF" line was unusable
    };

    M3uPlaylist playlist_;
    std::optional<Pending> pending_;
    bool firstLine_ = true;
};

// Reads a playlist file with bounded memory per line. Nothing when the file
// cannot be opened or read.
std::optional<M3uPlaylist> ReadM3uFile(const std::string& path);
M3uPlaylist ParseM3uText(std::string_view text);

}  // namespace lumora::tools
