#pragma once

// mpv's side of audio and subtitle tracks: its "track-list" property read
// into plain MediaTrack records, and a track preference written as mpv's
// per-file options. No Qt here.

#include <string>
#include <utility>
#include <vector>

#include <mpv/client.h>

#include "catalogue/track_choice.h"

namespace lumora {

inline constexpr const char* kTrackListProperty = "track-list";
inline constexpr const char* kAudioTrackProperty = "aid";
inline constexpr const char* kSubtitleTrackProperty = "sid";

// The audio and subtitle tracks of an mpv "track-list" node (a node array
// of maps), in mpv's order; video tracks and malformed entries are left
// out. A stream may declare any number of tracks: at most kMaxTracks are
// kept, and texts are cut to kMaxTrackText bytes.
inline constexpr std::size_t kMaxTracks = 64;
inline constexpr std::size_t kMaxTrackText = 128;
std::vector<MediaTrack> TracksFromNode(const mpv_node& list);

// mpv's per-file options for the preference: "aid"/"sid" for a position
// ("sid" = "no" when subtitles are off), else "alang"/"slang" with every
// spelling. The rest (subtitles for audio in another language, a position
// the stream lacks) is settled once the tracks are known.
std::vector<std::pair<std::string, std::string>> TrackOptions(const TrackPreference& preference);

}  // namespace lumora
