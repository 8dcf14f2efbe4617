#pragma once

#include <optional>
#include <string>
#include <vector>

#include "guide/channel_matcher.h"

namespace lumora {

// What a guide import needs of a catalogue file: each channel with the
// attributes matching reads (the channel node's "n", "tvg-id", "tvg-name"
// and "tvg-shift", Int minutes) and the guide addresses its root names
// ("url-tvg"), bounded as the playlist import bounds them.
struct CatalogueForGuide {
    std::vector<CatalogueChannel> channels;
    std::vector<std::string> guideAddresses;
};

// Nothing when the file is missing or not a catalogue. Standard library
// only; any thread.
std::optional<CatalogueForGuide> ReadCatalogueForGuide(const std::string& path);

}  // namespace lumora
