#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catchup_attributes.h"

namespace lumora {

// M3U playlists as public lists and providers write them. Standard library
// only; nothing here keeps state between calls, so any thread may parse its
// own playlist.

// One playable entry of an M3U playlist: an "#EXTINF" line and the address
// that follows it. Texts are UTF-8 (Latin-1 lines are converted).
struct M3uEntry {
    std::string tvgId;  // the "tvg-id" attribute as written, may be empty
    // What the source knows the channel by for good (a provider's stream
    // id), before the tvg-id and the name: the channel's id in the catalogue
    // then stays when the provider renames it. Empty for playlists.
    std::string channelKey;
    std::string tvgName;  // the "tvg-name" attribute, empty when unusable (BoundedTvgText)
    // The "#EXTM3U" line's "tvg-shift" plus the entry's, in minutes.
    std::int32_t tvgShiftMinutes = 0;
    std::string tvgCountry;   // the "tvg-country" attribute as written, may be empty
    std::string groupTitle;   // "group-title", else the "#EXTGRP" line, may be empty
    std::string displayName;  // the text after the attribute list, trimmed
    std::string address;      // absolute, without request headers
    std::string userAgent;    // request headers the stream needs, may be empty
    std::string referrer;
    // The entry's catch-up attributes over the "#EXTM3U" line's
    // (ResolveCatchup); no style when the channel has no catch-up.
    CatchupAttributes catchup;
};

struct M3uPlaylist {
    std::vector<M3uEntry> entries;
    // The guides named by "url-tvg" or "x-tvg-url" on the "#EXTM3U" lines,
    // in order, each once (AddGuideAddresses).
    std::vector<std::string> guideAddresses;
    // "#EXTINF" lines without an address, addresses without an "#EXTINF",
    // and entries whose line or address is not usable.
    std::size_t malformed = 0;
    // Addresses that read well but may not be opened (IsPlayableAddress),
    // and relative addresses with nothing to resolve them against.
    std::size_t refused = 0;
};

// Longest line kept; the rest of a longer line is read and dropped, and the
// line counts as malformed. Real entries are a few hundred bytes.
inline constexpr std::size_t kMaxM3uLineBytes = 64 * 1024;

// The catch-up attributes one "#EXTM3U" or "#EXTINF" line states, each
// bounded as in catchup_attributes.h; what the line does not state stays
// empty. A stated style or source that is unusable counts as stated (an
// entry's catchup="none" takes the "#EXTM3U" line's style away); days and
// corrections that are not numbers count as not stated.
struct CatchupFields {
    std::optional<std::string> style;   // "catchup" or "catchup-type", as written
    std::optional<std::string> source;  // "catchup-source"
    std::optional<std::int32_t> days;   // "catchup-days"
    // "catchup-correction", hours read as "tvg-shift" is, in minutes.
    std::optional<std::int32_t> correctionMinutes;
    // The SIPTV forms "timeshift" and "tvg-rec": days of the style "shift",
    // where the line states no style or days of its own.
    std::optional<std::int32_t> archiveDays;
};
// True when the key names a catch-up attribute; its value is then in `fields`.
bool ReadCatchupField(std::string_view key, std::string_view value, CatchupFields& fields);
// An entry's catch-up: each field from the entry, else from the "#EXTM3U"
// line. A source without a style is the whole address (style "default").
CatchupAttributes ResolveCatchup(const CatchupFields& entry, const CatchupFields& header);

// The "#EXTINF" fields of one line, or nothing when the line is not usable
// (no comma before the display name, control characters).
struct ExtinfFields {
    std::string tvgId;
    std::string tvgName;
    std::int32_t tvgShiftMinutes = 0;  // the entry's own "tvg-shift"
    std::string tvgCountry;
    std::string groupTitle;
    std::string displayName;
    std::string userAgent;
    std::string referrer;
    CatchupFields catchup;  // the entry's own
};
std::optional<ExtinfFields> ParseExtinfLine(std::string_view line);

// A "tvg-shift" value, hours with an optional sign and decimals ("+1",
// "-2.5", "5,75"), in whole minutes; nothing when it is not such a number or
// lies beyond a day either way.
std::optional<std::int32_t> ParseTvgShiftMinutes(std::string_view hours);

// True for "scheme://rest" with no blanks or control characters and valid
// UTF-8: what looks like an address at all.
bool IsStreamAddress(std::string_view text);

// An address line split into the address and the request headers of the
// Kodi convention "ADDRESS|User-Agent=...&Referer=..." (names in any case,
// values URL-decoded). Headers other than these two are dropped.
struct AddressWithHeaders {
    std::string address;
    std::string userAgent;
    std::string referrer;
};
AddressWithHeaders SplitAddressHeaders(std::string_view line);

// `reference` made absolute against `base` (an http or https address) the
// way a browser resolves a link; nothing when it is relative and there is
// no such base. An absolute reference is returned as it is.
std::optional<std::string> ResolveAddress(std::string_view reference, std::string_view base);

// A display name without its quality tags ("(720p)", "(720 p)", "(1080P)",
// "(HD)", "[4K]") and its bracket tags "[Not 24/7]", blanks collapsed; and
// the highest resolution a tag states (0 when none).
struct CleanName {
    std::string name;
    int resolution = 0;
};
CleanName CleanDisplayName(std::string_view displayName);

// Feeds playlist lines one at a time; CRLF and LF endings, a UTF-8 byte
// order mark, Latin-1 lines, "#EXTVLCOPT:", "#EXTGRP:" and other directive
// lines are handled here.
class M3uParser {
public:
    // `base` is the playlist's own address when it came from one; relative
    // entry addresses are resolved against it, and refused without it.
    explicit M3uParser(std::string base = {}) : base_(std::move(base)) {}

    // `truncated` marks a line that was longer than kMaxM3uLineBytes.
    void AddLine(std::string_view line, bool truncated);
    // Ends the playlist; an "#EXTINF" still waiting for its address counts
    // as malformed.
    M3uPlaylist Finish();

private:
    struct Pending {
        std::optional<ExtinfFields> fields;  // nothing: the "#EXTINF" line was unusable
    };
    // Options and group lines seen since the last address.
    struct Directives {
        std::string userAgent;
        std::string referrer;
        std::string group;
    };

    void AddDirective(std::string_view line);
    // An "#EXTM3U" line: its guides, and the shift and catch-up for the
    // entries after it.
    void AddHeader(std::string_view line);
    void AddAddress(std::string_view line, bool truncated);

    std::string base_;
    M3uPlaylist playlist_;
    std::optional<Pending> pending_;
    Directives directives_;
    std::int32_t headerShiftMinutes_ = 0;
    CatchupFields headerCatchup_;
    bool firstLine_ = true;
};

// Reads a playlist file with bounded memory per line. Nothing when the file
// cannot be opened or read.
std::optional<M3uPlaylist> ReadM3uFile(const std::string& path);
M3uPlaylist ParseM3uText(std::string_view text, const std::string& base = {});

// True when the text starts like a playlist: "#EXTM3U" after an optional
// byte order mark and blank lines.
bool LooksLikeM3u(std::string_view text);

}  // namespace lumora
