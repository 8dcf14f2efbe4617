#pragma once

#include <atomic>
#include <functional>

#include <QObject>

#include "player/buffering_poll.h"
#include "player/player_state.h"
#include "player/status_listener.h"

namespace lumora {

// Forms the report of `code` from the player's snapshot:
// - code -1 becomes -2 when the failure is "stream not found";
// - a non-negative code becomes -1 when the player has opened a stream that
//   is no longer playing (the stream ended by itself: for a live channel
//   that means the stream was lost).
// The text is the snapshot's status text, and the report carries how the
// last request ended (EndOf).
PlayerReport FormReport(const PlayerSnapshot& snapshot, int code);

// Receives the player's three events, which the host derives from mpv's
// events: a status change, buffering start/stop, and a failed stream. Each
// report is formed from a snapshot the host hands over at that moment and
// given to the status listener the sink was made with, through the gate: nothing while the error
// latch is set, and a negative code sets it. The host owns the sink.
//
// Threads: the UI thread, except ReportThroughGate.
class PlayerEventSink {
public:
    using SnapshotSource = std::function<PlayerSnapshot()>;

    // `listener` (null: reports are formed and dropped) must outlive the sink.
    PlayerEventSink(SnapshotSource snapshot, StatusListener* listener,
                    BufferingPollTiming pollTiming = {});

    // The player's status changed: report with code 0 (unless latched).
    void StatusChange();
    // Start: buffering, the latch lifted, the poll started.
    // Stop: not buffering, then report with code 0 (through the gate).
    void Buffering(bool start);
    // The stream failed: report with code -1 (sets the latch).
    void Error();
    // A new request tells its own failure once, whatever the last one left.
    void ClearErrorLatch() { errorLatch_.store(false); }

    // The gate in front of the reports. Threads: any; off the UI thread the
    // report is handed to the UI thread by a queued call and formed there,
    // or dropped when the sink has gone by then.
    void ReportThroughGate(int code);

    // A failure has been reported: further reports are dropped until the
    // next buffering start.
    bool ErrorLatched() const { return errorLatch_.load(); }
    // The player is buffering (or still connecting): keeps the poll running.
    bool IsBuffering() const { return buffering_.load(); }
    const BufferingPoll& Poll() const { return poll_; }

private:
    void Report(int code);

    SnapshotSource snapshot_;
    StatusListener* const listener_;
    std::atomic<bool> errorLatch_{false};
    std::atomic<bool> buffering_{false};
    // Context of the calls handed to the UI thread: calls still queued when
    // the sink goes are dropped with it.
    QObject uiContext_;
    BufferingPoll poll_;
};

}  // namespace lumora
