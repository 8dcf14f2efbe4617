#pragma once

// What the player is doing and what its reports are formed from. Free of
// libmpv and Qt, so the reporting rules can be tested without a player.

#include <string>

#include "player/status_listener.h"

namespace lumora {

// What the player is doing, as far as the status line is concerned.
enum class PlayerState {
    Idle,       // nothing played yet
    Opening,    // connecting, probing, waiting for the first frame
    Buffering,  // playing stream paused to refill its cache
    Playing,
    Stopped,  // stopped by the program
    Failed,   // the stream could not be played (see `failure`)
    Ended,    // the stream ended by itself: for a live channel, lost
};

// How the last request ended, as the reports carry it: kNone while it
// connects, buffers or plays.
constexpr PlaybackEnd EndOf(PlayerState state, PlaybackEnd failure) {
    switch (state) {
    case PlayerState::Stopped: return PlaybackEnd::Stopped;
    case PlayerState::Ended: return PlaybackEnd::StreamLost;
    case PlayerState::Failed: return failure;
    default: return PlaybackEnd::None;
    }
}

// The player at the moment a report is formed: its state, the failure of
// the last request (kNone unless the state is kFailed), and the status line
// as the player words it.
struct PlayerSnapshot {
    PlayerState state = PlayerState::Idle;
    PlaybackEnd failure = PlaybackEnd::None;
    std::u16string statusText;
};

}  // namespace lumora
