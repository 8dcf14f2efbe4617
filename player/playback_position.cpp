#include "player/playback_position.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace lumora {

double BehindLive(const PlaybackPosition& at) {
    if (!at.known || !at.live)
        return 0;
    return std::max(0.0, at.end - at.position);
}

bool AtLiveEdge(const PlaybackPosition& at) {
    return BehindLive(at) < kLiveMarginSeconds;
}

double EarliestPosition(const PlaybackPosition& at, double windowSeconds) {
    if (!at.live || windowSeconds <= 0)
        return at.start;
    return std::max(at.start, at.end - windowSeconds);
}

double ClampedSeek(const PlaybackPosition& at, double target, double windowSeconds) {
    const double earliest = EarliestPosition(at, windowSeconds);
    const double latest =
        at.live ? std::max(earliest, at.end - kLiveMarginSeconds / 2) : std::max(earliest, at.end);
    if (std::isnan(target))
        return at.position;
    return std::clamp(target, earliest, latest);
}

bool NeedsFreshBuffer(const PlaybackPosition& at, double windowSeconds) {
    return at.known && at.live && windowSeconds > 0 && !at.paused && AtLiveEdge(at) &&
           at.bufferAge > windowSeconds * (1 + kBufferSlack);
}

std::string DurationText(double seconds) {
    const long long whole =
        std::isfinite(seconds) ? static_cast<long long>(std::floor(std::max(0.0, seconds))) : 0;
    char text[32];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60,
                      whole % 60);
    else
        std::snprintf(text, sizeof text, "%02lld:%02lld", whole / 60, whole % 60);
    return text;
}

}  // namespace lumora
