#pragma once

#include <QTimer>

namespace lumora {

// Keeps the status line fresh while the player buffers: reports (code 0,
// through the gate) at once and then every period while `buffering` is
// true, and ends by itself when `buffering` turns false or after
// maxCycles reports (500 x 50 ms, about 25 s).
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
    static constexpr int kPeriodMs = 50;
    static constexpr int kMaxCycles = 500;

    explicit BufferingPoll(int periodMs = kPeriodMs, int maxCycles = kMaxCycles);

    void Start();
    bool IsRunning() const { return timer_.isActive(); }
    int Cycles() const { return cycles_; }

private:
    // One cycle: false when the poll has ended.
    bool Cycle();

    QTimer timer_;
    int maxCycles_;
    int cycles_ = 0;
};

}  // namespace lumora
