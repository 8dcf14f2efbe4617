#pragma once

#include <cstddef>
#include <string_view>

namespace lumora {

// Every stream address reaches the player from outside: a downloaded
// catalogue, a playlist, the command line. This one rule decides which of
// them may be opened at all, so that no address can make the player read or
// write local files, devices or descriptors. Pure function; any thread.

// Addresses longer than this are refused.
inline constexpr std::size_t kMaxStreamAddressBytes = 8 * 1024;

// True for a network stream address ("http", "https", "rtmp", "rtmps",
// "rtmpt", "rtsp", "rtsps", "mms", "mmsh", "mmst", "srt", "udp", "rtp";
// scheme in any case, a host required) and for "av://lavfi:" with one
// single test-pattern or tone source and its key=value options. False for
// everything else: no scheme, local files, descriptors, other lavfi graphs,
// other protocols, control characters, blanks, invalid UTF-8, over
// kMaxStreamAddressBytes.
bool IsPlayableAddress(std::string_view address);
bool IsPlayableAddress(std::u16string_view address);

}  // namespace lumora
