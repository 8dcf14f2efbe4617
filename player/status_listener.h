#pragma once

#include <string>

namespace lumora {

// Status codes of a player report.
inline constexpr int kStatusInformation = 0;  // playback goes on
inline constexpr int kStatusNotPlaying = -1;  // failed, or opened but not playing
inline constexpr int kStatusNotFound = -2;    // failed: the server has no such stream

// Receives the player's status reports: the status line as the player
// words it ("Connecting...", "Buffering 40%", "Playing", "Stopped", or the
// failure) and its code. A negative code means the player is not playing
// any more, so the play button should offer play again.
//
// Threads: always called on the UI thread; reports made on other threads
// are handed over by a queued call first.
class StatusListener {
public:
    virtual ~StatusListener() = default;
    virtual void OnPlayerStatus(int code, const std::u16string& text) = 0;
};

// The process-wide listener (null: reports are formed and dropped). The
// view installs itself before it creates the player and removes itself
// (null) before it is destroyed. UI thread only.
void SetStatusListener(StatusListener* listener);
StatusListener* TheStatusListener();

}  // namespace lumora
