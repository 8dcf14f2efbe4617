#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "catalogue/catalogue_format.h"
#include "document/doc_node.h"
#include "document/doc_view.h"

namespace lumora {

// How a channel's past programmes can be played: attributes the playlist
// import adds to a channel node of the catalogue file. A reader that does
// not know them passes them over. The attributes are not part of the
// catalogue load (a large catalogue loads no slower for them); a caller
// reads one channel's on demand (ReadChannelCatchup). Standard library only;
// any thread.

// Bounds for untrusted playlists and catalogue files. Real templates are a
// few dozen to a few hundred bytes; archives keep days to weeks.
inline constexpr std::size_t kMaxCatchupSourceBytes = 2048;
inline constexpr std::int32_t kMaxCatchupDays = 365;
inline constexpr std::int32_t kMaxCatchupCorrectionMinutes = 24 * 60;

// The address forms providers use for their archives.
enum class CatchupStyle {
    Default,      // the template is the whole address
    Append,       // the template is added to the stream's address
    Shift,        // "utc" and "lutc" query parameters on the stream's address
    Flussonic,    // Flussonic's relative archive lists (HLS)
    FlussonicTs,  // Flussonic's absolute MPEG-TS archive
    Xc,           // Xtream Codes' "timeshift" path
};

// A channel's catch-up as kept; a channel without a style has none.
struct CatchupAttributes {
    std::optional<CatchupStyle> style;
    std::string source;                // UTF-8, empty when none was given
    std::optional<std::int32_t> days;  // 1 to kMaxCatchupDays; none: not stated
    std::int32_t correctionMinutes = 0;

    bool operator==(const CatchupAttributes&) const = default;
};

// A style as playlists write it, in any case: "default", "append", "shift"
// (also "timeshift"), "flussonic" (also "flussonic-hls"), "flussonic-ts"
// (also "fs"), "xc"; nothing for anything else.
std::optional<CatchupStyle> ParseCatchupStyle(std::string_view text);
// The name a catalogue keeps: "default", "append", "shift", "flussonic",
// "flussonic-ts", "xc".
std::string_view CatchupStyleName(CatchupStyle style);

// A template as kept: the text, or empty when it is longer than
// kMaxCatchupSourceBytes or holds control characters.
std::string BoundedCatchupSource(std::string_view text);
// Days as a playlist writes them ("7", "+3"): 1 to kMaxCatchupDays, more
// days read as kMaxCatchupDays; nothing for 0 and for what is not a whole
// number.
std::optional<std::int32_t> ParseCatchupDays(std::string_view text);

// Adds the attributes the channel has to its node; nothing for a channel
// without a style.
void WriteCatchupAttributes(const CatchupAttributes& catchup, DocNode& channel);
// The attributes of a catalogue file's channel node, bounded as above; an
// unknown style reads as none.
CatchupAttributes ReadCatchupAttributes(DocView::Node channel);

// The channel node of a catalogue file with that id ("de_Eins": country
// code, "_", node name), found as the catalogue load finds it: of two
// country or channel nodes with one name the first counts, and of two
// countries that could hold the id the one with the smaller code.
std::optional<DocView::Node> FindCatalogueChannel(DocView::Node root, std::string_view id);

// The catch-up of one channel of the catalogue file at `path` (a loaded
// catalogue's Path()), read from the file when it is asked for; nothing when
// the file cannot be read or has no channel of that id. Reads the whole
// file: call it once for the channel the user picks, off the UI thread for
// a large catalogue.
std::optional<CatchupAttributes> ReadChannelCatchup(const std::u16string& path,
                                                    std::string_view channelId);

// The catch-up of every channel of the catalogue file at `path` that has
// one, by channel id, found as FindCatalogueChannel finds them; empty when
// the file cannot be read. Reads the whole file once: for a list or a grid
// that marks what can be watched again, off the UI thread.
using CatchupDirectory = std::unordered_map<std::string, CatchupAttributes>;
CatchupDirectory ReadCatalogueCatchup(const std::u16string& path);

}  // namespace lumora
