#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QTimer>

#include "player/media_output.h"
#include "player/mpv_handle.h"

class QWidget;

namespace lumora {

class PlayerEventSink;
class VideoWidget;

// What the player is doing, as far as the status line is concerned.
enum class PlayerState {
    kIdle,       // nothing played yet
    kOpening,    // connecting, probing, waiting for the first frame
    kBuffering,  // playing stream paused to refill its cache
    kPlaying,
    kStopped,    // stopped by the program
    kFailed,     // the stream could not be played (see PlayerFailure)
    kEnded,      // the stream ended by itself: for a live channel, lost
};

enum class PlayerFailure {
    kNone,
    kCannotConnect,  // refused, unreachable, timed out
    kNotFound,       // the server answered 4xx
    kUnknownFormat,  // the server sent something that is no stream
    kCannotPlay,     // any other failure
};

// The one media player of the program (registered as "m"): libmpv behind
// MediaOutput, drawing into a VideoWidget. mpv's events arrive through its
// wake-up callback, which only queues a call to the UI thread; that call
// drains them and turns them into the PlayerEventSink's three events:
// status change, buffering start/stop, error.
//
// mpv refuses to start under a non-C LC_NUMERIC locale; the constructor
// sets LC_NUMERIC to "C" (QApplication sets the user's locale, so this must
// come after the QApplication exists, which a widget parent implies).
//
// Threads: everything on the UI thread. mpv's own threads only queue calls.
class MediaPlayerHost : public MediaOutput {
public:
    static constexpr const char* kName = "m";

    // Builds the player window (hidden; the caller shows it) as a child of
    // parent in rect, and the mpv core. When mpv cannot be started the host
    // stays not ready and Diagnostic() says why.
    MediaPlayerHost(QWidget* parent, const QRect& rect, const PlayerOptions& options = {});
    // For tests: the buffering poll's period and cycle limit.
    MediaPlayerHost(QWidget* parent, const QRect& rect, const PlayerOptions& options,
                    int pollPeriodMs, int pollMaxCycles);
    ~MediaPlayerHost() override;

    void Play(const std::u16string& url) override;
    void Stop() override;
    void SetVolume(int volume) override;
    // The video leaves full screen by itself too (Esc, double click); the
    // view notices through IsFullScreen.
    void ToggleFullScreen() override;
    bool IsFullScreen() const override;

    VideoWidget* Video() const;
    PlayerState State() const { return state_; }
    PlayerFailure Failure() const { return failure_; }
    // The status line as the player words it: "Connecting...",
    // "Buffering 40%", "Playing", "Stopped", or the failure in words.
    std::u16string StatusText() const;
    // mpv's volume as last reported by mpv itself (observed, never asked
    // for); empty until mpv reported one.
    std::optional<double> PlayerVolume() const { return volume_; }
    // Why the host is not ready; empty when it is.
    const std::u16string& Diagnostic() const { return diagnostic_; }
    const PlayerEventSink& Sink() const { return *sink_; }

private:
    struct Event;

    void Start(QWidget* parent, const QRect& rect, const PlayerOptions& options);
    static void OnMpvWakeup(void* context);
    void DrainEvents();
    static Event CopyEvent(const mpv_event& event);
    void HandleEvent(const Event& event);
    void OnStartFile(std::int64_t entry);
    void OnPlaybackRestart();
    void OnPausedForCache(bool paused);
    void OnEndFile(const Event& event);
    void OnLoadFileRejected();
    void NoteLogLine(const std::string& text);
    void EnterFailed(PlayerFailure failure);
    void AwaitFailureCause();
    void SettlePendingFailure();

    std::unique_ptr<PlayerEventSink> sink_;
    QPointer<VideoWidget> video_;
    // Context of the queued drain calls: calls still queued when the host
    // goes are dropped with it.
    QObject eventContext_;
    std::atomic<bool> drainQueued_{false};
    bool draining_ = false;
    MpvHandle mpv_;

    PlayerState state_ = PlayerState::kIdle;
    PlayerFailure failure_ = PlayerFailure::kNone;
    // What the log said about the current file's failure, if anything.
    PlayerFailure logHint_ = PlayerFailure::kNone;
    // A failed stream whose cause is still to come from the log.
    bool failurePending_ = false;
    QTimer failureCauseTimer_;
    std::int64_t currentEntry_ = -1;
    bool pausedForCache_ = false;
    bool firstFrameSeen_ = false;
    int cachePercent_ = 0;
    std::optional<double> volume_;
    std::u16string diagnostic_;
};

// The process-wide current player host: set by the host's construction,
// cleared by its destruction. UI thread only.
MediaPlayerHost* CurrentPlayerHost();

}  // namespace lumora
