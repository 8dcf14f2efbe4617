#pragma once

#include <array>
#include <string_view>

// The names of the channel catalogue file ("Channels.lmch"), for every reader
// and writer of it: the program's load, the playlist import, the update's
// check of a downloaded file and the data tool's verbs.
//
//   root (the catalogue's version text as its name)
//     country node ("de", "uk", ...)
//       channel node, attributes n, p, c; its own attributes below
//         stream nodes "0", "1", ... up to the first gap, attributes b, u
//
// A reader passes over attributes it does not know, so the attributes added
// after the first layout (request headers, guide, catch-up, origin) leave
// older readers working.
namespace lumora {

// The nine categories, in the order every load creates them. A channel's
// "c" holds one or more of these keys.
inline constexpr std::array<std::string_view, 9> kCategoryKeys = {"l", "mu", "n", "r", "sp",
                                                                  "e", "mo", "k", "ad"};
// The category of a channel whose group names none.
inline constexpr std::string_view kOtherCategory = "e";

// Channel: its name (WString), the text shown under it ("p", WString) and
// its categories (String).
inline constexpr std::string_view kNameAttribute = "n";
inline constexpr std::string_view kPAttribute = "p";
inline constexpr std::string_view kCategoryAttribute = "c";
// Stream: its bit rate in kbit/s (Int) and address (WString).
inline constexpr std::string_view kBitRateAttribute = "b";
inline constexpr std::string_view kAddressAttribute = "u";
// Stream, optional WString: the request headers a stream needs.
inline constexpr std::string_view kUserAgentAttribute = "ua";
inline constexpr std::string_view kReferrerAttribute = "ref";

// Root, WString: the guide addresses the playlists named, comma-separated.
inline constexpr std::string_view kGuideAddressesAttribute = "url-tvg";
// Channel, WString: the playlist entry's "tvg-id" and "tvg-name" as written.
inline constexpr std::string_view kTvgIdAttribute = "tvg-id";
inline constexpr std::string_view kTvgNameAttribute = "tvg-name";
// Channel, Int: minutes the channel's guide times are moved by (absent when 0).
inline constexpr std::string_view kTvgShiftAttribute = "tvg-shift";

// Channel, String: the catch-up style (catchup_attributes.h). Absent: the
// channel has no catch-up.
inline constexpr std::string_view kCatchupAttribute = "catchup";
// Channel, WString: the archive's address template, for the styles that
// take one. Absent when the playlist gave none.
inline constexpr std::string_view kCatchupSourceAttribute = "catchup-source";
// Channel, Int: how many days back the provider keeps programmes. Absent
// when the playlist does not say.
inline constexpr std::string_view kCatchupDaysAttribute = "catchup-days";
// Channel, Int: minutes the programme times are moved earlier by in the
// address (absent when 0); the playlist writes hours.
inline constexpr std::string_view kCatchupCorrectionAttribute = "catchup-correction";

// Root, for a catalogue built from a playlist or an account: the source it
// was built from (WString), the content's hash, and the answer's ETag and
// Last-Modified (String).
inline constexpr std::string_view kOriginSourceAttribute = "src";
inline constexpr std::string_view kOriginHashAttribute = "hash";
inline constexpr std::string_view kOriginEtagAttribute = "etag";
inline constexpr std::string_view kOriginModifiedAttribute = "lmod";

}  // namespace lumora
