#pragma once

// The player's visible texts: keys of the language pack. A pack that lacks
// one (made before the key existed) shows its English text, from the
// core's table of added keys, so the status line is never empty.
//
// Threads: any (the pack is only read).

#include <string>
#include <string_view>

namespace lumora {

struct PlayerText {
    std::string_view key;
};

inline constexpr PlayerText kTextConnecting{"str_status_connecting"};
// One "%d", the share of the cache filled; "%%" is the percent sign.
inline constexpr PlayerText kTextBuffering{"str_status_buffering"};
inline constexpr PlayerText kTextPlaying{"str_status_playing"};
inline constexpr PlayerText kTextStopped{"str_status_stopped"};
inline constexpr PlayerText kTextStreamLost{"str_status_lost"};
inline constexpr PlayerText kTextCannotConnect{"str_status_cannot_connect"};
inline constexpr PlayerText kTextNotFound{"str_status_not_found"};
inline constexpr PlayerText kTextUnknownFormat{"str_status_unknown_format"};
inline constexpr PlayerText kTextCannotPlay{"str_status_cannot_play"};
inline constexpr PlayerText kTextPlayerFailed{"msg_player_failed"};
inline constexpr PlayerText kTextVideoFailed{"msg_video_failed"};

// The text of the current language, or the English one.
std::u16string Localised(const PlayerText& text);
// The buffering line for a percentage.
std::u16string BufferingText(int percent);

}  // namespace lumora
