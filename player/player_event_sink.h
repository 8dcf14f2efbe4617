#pragma once

#include <atomic>

#include "player/buffering_poll.h"
#include "player/status_listener.h"

namespace lumora {

class MediaPlayerHost;

// A failure has been reported: further reports are dropped until the next
// buffering start.
extern std::atomic<bool> errorLatch;
// The player is buffering (or still connecting): keeps the BufferingPoll
// running.
extern std::atomic<bool> buffering;

// Forms a report for the host and gives it to the status listener:
// - code -1 becomes -2 when the host's failure is "stream not found";
// - a non-negative code becomes -1 when the host has opened a stream that
//   is no longer playing (the stream ended by itself: for a live channel
//   that means the stream was lost). This does not set errorLatch.
// The text is the host's status text at this moment, and the report
// carries how the host's last request ended (PlaybackEnd).
// Threads: any. Off the UI thread the report is handed to the UI thread by
// a queued call and formed there.
void ReportStatus(MediaPlayerHost& host, int code);

// The gate in front of ReportStatus: nothing without a current player
// host or while errorLatch is set; a negative code sets errorLatch.
// Threads: any (handed to the UI thread like ReportStatus).
void ReportThroughGate(int code);

// Receives the player's three events, which the host derives from mpv's
// events: a status change, buffering start/stop, and a failed stream.
// The host owns it.
//
// Threads: the UI thread only.
class PlayerEventSink {
public:
    PlayerEventSink() = default;
    // For tests: a poll with a shorter period and cycle limit.
    PlayerEventSink(int pollPeriodMs, int pollMaxCycles);

    // The player's status changed: report with code 0 (unless latched).
    void StatusChange();
    // Start: buffering = true, errorLatch = false, start the poll.
    // Stop: buffering = false, then report with code 0 (through the gate).
    void Buffering(bool start);
    // The stream failed: report with code -1 (sets errorLatch).
    void Error();

    const BufferingPoll& Poll() const { return poll_; }

private:
    BufferingPoll poll_;
};

}  // namespace lumora
