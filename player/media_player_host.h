#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QTimer>

#include "player/media_output.h"
#include "player/mpv_handle.h"
#include "player/player_state.h"
#include "player/status_listener.h"

class QWidget;

namespace lumora {

class PlayerEventSink;
class VideoWidget;

// The one media player of the program (registered as "m"): libmpv behind
// MediaOutput, drawing into a VideoWidget. mpv's events arrive through its
// wake-up callback, which only queues a call to the UI thread; that call
// drains them and turns them into the PlayerEventSink's three events:
// status change, buffering start/stop, error.
//
// Only addresses that IsPlayableAddress accepts reach mpv; any other ends
// at once as "cannot play". The one exception is a recording of the user's,
// which comes as a RecordingToPlay (checked against the recordings folder)
// through PlayRecording. Below mpv, FFmpeg may open network protocols
// only (see MpvOptionList), so what a stream refers to cannot reach local
// files either.
//
// Each Play is one request. Events of an earlier request (a late failure,
// the end of the stream it replaced) never touch the current one, and
// playlist entries mpv moves through by itself belong to the request that
// loaded the playlist: an entry that fails while others remain is not a
// failure of the request. A request that gives neither picture nor sound
// within the connection deadline ends as "cannot connect".
//
// mpv refuses to start under a non-C LC_NUMERIC locale; Create sets
// LC_NUMERIC to "C" (QApplication sets the user's locale, so this must
// come after the QApplication exists, which a widget parent implies).
//
// Threads: everything on the UI thread. mpv's own threads only queue calls.
class MediaPlayerHost : public MediaOutput {
public:
    static constexpr const char* kName = "m";

    // A started host, or why there is none (in the user's language).
    struct Started {
        std::unique_ptr<MediaPlayerHost> host;
        std::u16string failure;
    };

    // Starts the mpv core and builds the player window (hidden; the caller
    // shows it) as a child of parent in rect. When mpv cannot be started
    // there is no host, only the reason; when only the picture cannot be
    // shown the host plays sound only, and its StartFailure() says that.
    static Started Create(QWidget* parent, const QRect& rect, const PlayerOptions& options = {});
    ~MediaPlayerHost() override;

    void Play(const std::u16string& url) override;
    // Headers go to mpv as options of this file alone ("user-agent",
    // "referrer"), so the next stream starts without them.
    void PlayStream(const std::u16string& url, const StreamHeaders& headers) override;
    // The file goes to mpv by its resolved path, with the options every
    // stream has; one still being written is read as it grows (mpv's
    // "appending://", which waits a few seconds for more at its end).
    void PlayRecording(const RecordingToPlay& recording, RecordingGrowth growth) override;
    void Stop() override;
    void SetVolume(int volume) override;
    // The video leaves full screen by itself too (Esc, double click); the
    // view notices through IsFullScreen.
    void ToggleFullScreen() override;
    bool IsFullScreen() const override;
    // The back buffer is mpv's own cache, written to a file in `folder` that
    // mpv unlinks as soon as it is made, so nothing stays behind even when
    // the program is killed; its space returns when the stream is closed.
    void SetTimeshift(int seconds, const std::string& folder) override;
    void SetPaused(bool paused) override;
    void SeekTo(double position) override;
    PlaybackPosition Position() const override;
    // Seeks that have shown their first picture since the host was made.
    int SeeksDone() const { return seeksDone_; }

    // Tracks: mpv's "track-list", observed. The preference goes to mpv as
    // options of the next file; once that file's tracks are known, what
    // the preference resolves to (ResolveTrack) is selected where mpv's own
    // pick differs.
    std::vector<MediaTrack> Tracks() const override { return tracks_; }
    void SelectAudioTrack(std::int64_t id) override;
    void SelectSubtitleTrack(std::optional<std::int64_t> id) override;
    void SetTrackPreference(const TrackPreference& preference) override;
    // True once the current file's tracks were compared with its request's
    // preference (and put right where mpv picked otherwise).
    bool TracksSettled() const { return tracksSettled_; }

    VideoWidget* Video() const;
    PlayerState State() const { return state_; }
    // The failure of the last request (kNone unless State() is kFailed).
    PlaybackEnd Failure() const { return failure_; }
    // How the last request ended, as the reports carry it.
    PlaybackEnd End() const { return EndOf(state_, failure_); }
    // The status line as the player words it, in the user's language:
    // "Connecting...", "Buffering 40%", "Playing", "Stopped", or the
    // failure in words.
    std::u16string StatusText() const;
    // mpv's volume as last reported by mpv itself (observed, never asked
    // for); empty until mpv reported one.
    std::optional<double> PlayerVolume() const { return volume_; }
    const PlayerEventSink& Sink() const { return *sink_; }

private:
    struct Event;

    MediaPlayerHost(QWidget* parent, const QRect& rect, const PlayerOptions& options,
                    MpvHandle mpv);
    // What the sink forms its reports from.
    PlayerSnapshot Snapshot() const;

    // The last Play and what mpv made of it.
    struct PlayRequest {
        std::uint64_t id = 0;
        // mpv's playlist entry for the address; -1 until mpv answered the
        // loadfile. Entries a playlist expands into get higher ids.
        std::int64_t firstEntry = -1;
        // Entries of this request mpv has still to end.
        int entriesLeft = 0;
        // False once the request has ended, failed or was replaced: its
        // events no longer count.
        bool open = false;
    };

    // Starts a request for an address already allowed; false when the
    // request failed at once.
    bool BeginRequest(bool allowed);
    void LoadFile(const QByteArray& address, const StreamHeaders& headers);
    static void OnMpvWakeup(void* context);
    void DrainEvents();
    static Event CopyEvent(const mpv_event& event);
    void HandleEvent(const Event& event);
    void SendStop();
    bool BelongsToRequest(std::int64_t entry) const;
    void CloseRequest();
    void OnLoadFileReply(const Event& event);
    void OnStartFile(std::int64_t entry);
    void OnPlaybackRestart();
    void OnPausedForCache(bool paused);
    void OnObservedPosition(const Event& event);
    void OnResumeCheck(const Event& event);
    void OnEndFile(const Event& event);
    void OnEntryFailed(const Event& event);
    void OnConnectDeadline();
    void NoteLogLine(const std::string& text);
    void FailRequest(PlaybackEnd failure);
    void AwaitFailureCause();
    void SettlePendingFailure();
    // Tracks.
    void OnTrackList(const Event& event);
    void OnFileLoaded();
    void SettleTracks(const Event& event);

    std::unique_ptr<PlayerEventSink> sink_;
    QPointer<VideoWidget> video_;
    // Context of the queued drain calls: calls still queued when the host
    // goes are dropped with it.
    QObject eventContext_;
    std::atomic<bool> drainQueued_{false};
    bool draining_ = false;
    MpvHandle mpv_;

    PlayRequest request_;
    PlayerState state_ = PlayerState::Idle;
    PlaybackEnd failure_ = PlaybackEnd::None;
    // What the log said about the current file's failure, if anything.
    PlaybackEnd logHint_ = PlaybackEnd::None;
    // A failed stream whose cause is still to come from the log.
    bool failurePending_ = false;
    QTimer failureCauseTimer_;
    // Ends a request that shows neither picture nor sound in time.
    QTimer connectDeadline_;
    std::int64_t currentEntry_ = -1;
    bool pausedForCache_ = false;
    bool firstFrameSeen_ = false;
    int cachePercent_ = 0;
    std::optional<double> volume_;

    // Where playback stands (Position), from mpv's observed properties.
    struct Observation {
        std::optional<double> timePos;
        std::optional<double> duration;
        // The last seekable range of the demuxer's cache.
        std::optional<std::pair<double, double>> range;
        bool paused = false;
        // The stream itself can seek (a recording); a live stream cannot.
        bool seekable = false;
        std::chrono::steady_clock::time_point bufferBegan{};
    } observed_;
    int timeshiftSeconds_ = 0;
    bool seeking_ = false;
    int seeksDone_ = 0;
    // Tracks: those of the current file, the preference for play requests
    // and the one of the current request, which is settled once per file.
    std::vector<MediaTrack> tracks_;
    TrackPreference nextPreference_;
    TrackPreference requestPreference_;
    bool tracksSettled_ = false;
};

}  // namespace lumora
