#pragma once

#include <string>

namespace lumora {

// What a report says of playback: it goes on (connecting, buffering,
// playing), or the player is not playing any more (a failure, or a stream
// that ended), so the play button offers play again.
enum class PlayerStatus { Going, NotPlaying };

// How the stream of the last play request ended, carried by every report so
// that the shell can act on the kind (for instance try another stream of
// the channel) without reading the status text.
enum class PlaybackEnd {
    None,           // not ended: connecting, buffering or playing
    Stopped,        // stopped by the program (the user's stop, a new channel)
    StreamLost,     // it played, then ended by itself (a live stream is lost)
    CannotConnect,  // refused, unreachable, timed out, or no picture and no
                    // sound within the connection deadline
    NotFound,       // the server has no such stream (HTTP 4xx)
    UnknownFormat,  // the server sent something that is no stream
    CannotPlay,     // any other failure, and an address the player refuses
};

// One report: the status line as the player words it, in the user's
// language ("Connecting...", "Buffering 40%", "Playing", "Stopped", or the
// failure), whether playback goes on, and how the stream ended. When the
// player is not playing any more, `end` is one of the failures or
// StreamLost (NotFound: the server has no such stream).
struct PlayerReport {
    PlayerStatus status = PlayerStatus::Going;
    std::u16string text;
    PlaybackEnd end = PlaybackEnd::None;
};

// Receives the player's status reports.
//
// Threads: always called on the UI thread; reports made on other threads
// are handed over by a queued call first.
class StatusListener {
public:
    virtual ~StatusListener() = default;
    virtual void OnPlayerStatus(const PlayerReport& report) = 0;
};

}  // namespace lumora
