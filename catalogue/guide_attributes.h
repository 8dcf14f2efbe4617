#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue_format.h"
#include "document/doc_view.h"

namespace lumora {

// What a catalogue keeps so that a programme guide can be found and its
// channels matched: attributes added to the catalogue file by the playlist
// import. A reader that does not know them passes them over. Standard
// library only; any thread.

// Bounds for untrusted playlists and catalogue files. Real ids and names are
// a few dozen bytes; real playlists name one to three guides.
inline constexpr std::size_t kMaxTvgTextBytes = 256;
inline constexpr std::size_t kMaxGuideAddresses = 16;
inline constexpr std::size_t kMaxGuideAddressBytes = 2048;
// A channel's shift: the playlist line's and the entry's, each within a day.
inline constexpr std::int32_t kMaxTvgShiftMinutes = 48 * 60;

// Adds each address of a comma-separated list that `addresses` does not hold
// yet, trimmed, until it holds kMaxGuideAddresses. Empty pieces, pieces with
// blanks or control characters and pieces longer than kMaxGuideAddressBytes
// are left out. Whether an address may be fetched is decided where it is.
void AddGuideAddresses(std::string_view list, std::vector<std::string>& addresses);
std::string JoinGuideAddresses(const std::vector<std::string>& addresses);
// The guide addresses of a catalogue file's root, bounded as above.
std::vector<std::string> ReadGuideAddresses(DocView::Node root);

// An id or name as kept: the text, or empty when it is longer than
// kMaxTvgTextBytes or holds control characters (it could match nothing real).
std::string BoundedTvgText(std::string_view text);
// A shift as kept: the minutes, or 0 when beyond kMaxTvgShiftMinutes.
std::int32_t BoundedTvgShift(std::int64_t minutes);

}  // namespace lumora
