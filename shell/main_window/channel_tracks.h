#pragma once

// A channel's tracks between the player and the settings: the preference a
// play request carries (the channel's remembered choice, then the settings
// "audio_language" and "subtitle_language", then the interface language),
// and remembering the track the user picks.
//
// Threads: the UI thread only.

#include <cstdint>
#include <optional>
#include <vector>

#include "catalogue/track_choice.h"

namespace lumora {

struct Channel;

// For a stream from outside the catalogue (null), the settings alone.
TrackPreference TrackPreferenceFor(const Channel* channel);

// Remembers that the user picked track `id` of `kind` (none: subtitles
// off) among `tracks`, so the channel plays it again next time.
void RememberTrackPick(Channel& channel, const std::vector<MediaTrack>& tracks, TrackKind kind,
                       std::optional<std::int64_t> id);

}  // namespace lumora
