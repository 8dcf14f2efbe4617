#pragma once

// Where playback stands within what can be played again: the back buffer
// of a live stream (pause and rewind), or a recording from the provider's
// archive (catch-up). Free of libmpv and Qt, so the rules are tested
// without a player.

#include <string>

namespace lumora {

struct PlaybackPosition {
    // A stream is loaded and the player said where it is.
    bool known = false;
    // Seconds on the stream's own clock.
    double position = 0;
    // The earliest and the latest position that can be played: the buffer's
    // first second and the live edge, or a recording's start and length.
    double start = 0;
    double end = 0;
    // A live stream: its end moves on by itself.
    bool live = true;
    bool paused = false;
    // Wall-clock seconds since the player began buffering this stream (its
    // buffer holds about that much of it, paused or not).
    double bufferAge = 0;
};

// Closer than this to the live edge counts as live: the player keeps a
// little of the stream ahead of what it shows.
inline constexpr double kLiveMarginSeconds = 4.0;
// One step of the rewind and forward keys.
inline constexpr double kSeekStepSeconds = 30.0;
// A buffer on disk may hold this much more than its window before it is
// begun again.
inline constexpr double kBufferSlack = 0.10;

// Seconds behind the live edge; 0 for a recording or an unknown position.
double BehindLive(const PlaybackPosition& at);
bool AtLiveEdge(const PlaybackPosition& at);
// The first position that may be played: the buffer's start, but no more
// than `windowSeconds` behind a live edge.
double EarliestPosition(const PlaybackPosition& at, double windowSeconds);
// `target` kept within what can be played: not before EarliestPosition,
// not closer to a live edge than kLiveMarginSeconds / 2, not past a
// recording's end.
double ClampedSeek(const PlaybackPosition& at, double target, double windowSeconds);
// True when a live stream's buffer on disk has grown past its window (plus
// kBufferSlack) while the user watches live and not paused: the buffer is
// then begun again, which is the only way to give its disk space back.
bool NeedsFreshBuffer(const PlaybackPosition& at, double windowSeconds);
// "04:12", "59:59", "1:04:12": minutes and seconds, hours when there are.
std::string DurationText(double seconds);

}  // namespace lumora
