#pragma once

#include <atomic>
#include <functional>

#include <QObject>

#include "player/buffering_poll.h"
#include "player/player_state.h"
#include "player/status_listener.h"

namespace lumora {

// Forms the report of `status` from the player's snapshot: a report of
// playback going on says NotPlaying when the player has opened a stream that
// is no longer playing (the stream ended by itself: for a live channel that
// means the stream was lost).
// The text is the snapshot's status text, and the report carries how the
// last request ended (EndOf).
PlayerReport FormReport(const PlayerSnapshot& snapshot, PlayerStatus status);

// Receives the player's two events, which the host derives from mpv's
// events: buffering start/stop (a stop also reports a change of state) and
// a failed stream. Each
// report is formed from a snapshot the host hands over at that moment and
// given to the status listener the sink was made with, through the gate:
// nothing while the error latch is set, and a NotPlaying report sets it. The
// host owns the sink.
//
// Threads: the UI thread, except ReportThroughGate.
class PlayerEventSink {
public:
    using SnapshotSource = std::function<PlayerSnapshot()>;

    // `listener` (null: reports are formed and dropped) must outlive the sink.
    PlayerEventSink(SnapshotSource snapshot, StatusListener* listener,
                    BufferingPollTiming pollTiming = {});

    // Start: buffering, the latch lifted, the poll started.
    // Stop: not buffering, then report Going (through the gate).
    void Buffering(bool start);
    // The stream failed: report NotPlaying (sets the latch).
    void Error();
    // A new request tells its own failure once, whatever the last one left.
    void ClearErrorLatch() { errorLatch_.store(false); }

    // The gate in front of the reports. Threads: any; off the UI thread the
    // report is handed to the UI thread by a queued call and formed there,
    // or dropped when the sink has gone by then.
    void ReportThroughGate(PlayerStatus status);

    // A failure has been reported: further reports are dropped until the
    // next buffering start.
    bool ErrorLatched() const { return errorLatch_.load(); }
    // The player is buffering (or still connecting): keeps the poll running.
    bool IsBuffering() const { return buffering_.load(); }
    const BufferingPoll& Poll() const { return poll_; }

private:
    void Report(PlayerStatus status);

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
