#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lumora {

// Where the guide addresses come from decides what they may name.
enum class SourceOrigin {
    Playlist,  // a playlist's url-tvg: untrusted, http and https only
    User,      // typed by the user: http, https or a local file
};

struct GuideSource {
    enum class Kind { Http, LocalFile };
    Kind kind = Kind::Http;
    std::string address;  // the address, or the file's path ("file://" removed)
    // Added to the guide's times: for a guide that writes local times as UTC.
    std::int64_t offsetSeconds = 0;
};

struct GuideSourceList {
    std::vector<GuideSource> sources;
    // Addresses that may not be read from where they came from (a file, a
    // path or another scheme in a playlist; an unknown scheme anywhere).
    std::size_t refused = 0;
};

// A comma-separated list of guide addresses (blanks around each ignored,
// empty items skipped, an address repeated taken once). An address the user
// typed may be followed by a blank and a signed offset in hours ("+1",
// "-0.5", at most 48) that moves that guide's times. Standard library only;
// any thread.
GuideSourceList ParseGuideSources(std::string_view list, SourceOrigin origin);

}  // namespace lumora
