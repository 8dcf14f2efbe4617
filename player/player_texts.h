#pragma once

// The player's visible texts: keys of the language pack, each with the
// English text shown when the pack lacks the key (a pack made before the key
// existed), so the status line is never empty.
//
// Threads: any (the pack is only read).

#include <string>
#include <string_view>

namespace lumora {

struct PlayerText {
    std::string_view key;
    std::u16string_view english;
};

inline constexpr PlayerText kTextConnecting{"str_status_connecting", u"Connecting..."};
// One "%d", the share of the cache filled; "%%" is the percent sign.
inline constexpr PlayerText kTextBuffering{"str_status_buffering", u"Buffering %d%%"};
inline constexpr PlayerText kTextPlaying{"str_status_playing", u"Playing"};
inline constexpr PlayerText kTextStopped{"str_status_stopped", u"Stopped"};
inline constexpr PlayerText kTextStreamLost{"str_status_lost", u"Stream lost"};
inline constexpr PlayerText kTextCannotConnect{"str_status_cannot_connect", u"Cannot connect"};
inline constexpr PlayerText kTextNotFound{"str_status_not_found", u"Stream not found"};
inline constexpr PlayerText kTextUnknownFormat{"str_status_unknown_format",
                                               u"Unrecognized stream format"};
inline constexpr PlayerText kTextCannotPlay{"str_status_cannot_play", u"Cannot play stream"};
inline constexpr PlayerText kTextPlayerFailed{"msg_player_failed",
                                              u"The media player could not be started. "
                                              u"Channels cannot be played."};
inline constexpr PlayerText kTextVideoFailed{"msg_video_failed",
                                             u"The video output could not be started. "
                                             u"Channels play with sound only."};

// The text of the current language, or the English one.
std::u16string Localised(const PlayerText& text);
// The buffering line for a percentage.
std::u16string BufferingText(int percent);

}  // namespace lumora
