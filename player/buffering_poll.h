#pragma once

#include <functional>

#include <QTimer>

#include "player/buffering_poll_timing.h"

namespace lumora {

// Keeps the status line fresh while the player buffers: reports at once
// and then every period while `stillBuffering` says so, and ends by itself
// when it no longer does or after maxCycles reports.
//
// A QTimer on the UI thread rather than a thread per buffering start: the
// reports must be formed and delivered on the UI thread anyway (they read
// the player's state and repaint a widget), so a thread would only sleep
// and post. A new start while a poll runs restarts the cycle count instead
// of adding a second poll, which would only repeat the same report.
//
// Threads: the UI thread only.
class BufferingPoll {
public:
    BufferingPoll(std::function<bool()> stillBuffering, std::function<void()> report,
                  BufferingPollTiming timing = {});

    void Start();
    bool IsRunning() const { return timer_.isActive(); }
    int Cycles() const { return cycles_; }

private:
    // One cycle: false when the poll has ended.
    bool Cycle();

    std::function<bool()> stillBuffering_;
    std::function<void()> report_;
    QTimer timer_;
    int maxCycles_;
    int cycles_ = 0;
};

}  // namespace lumora
