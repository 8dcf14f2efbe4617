#pragma once

// Pause, rewind and forward within what can be played again, and the way
// back to live. A live stream keeps a back buffer of the setting
// "timeshift_minutes" (default 30; 0 turns pausing live streams off): the
// player goes on receiving while paused, so play resumes where it paused,
// and the position bar and the rewind keys move within the buffer. The
// title strip's name line says "Paused" and how far behind live the
// picture is ("-04:12").
//
// The player keeps its buffer in a file that only grows while the stream
// plays; once it holds more than the window (plus a tenth) while the user
// watches live, the stream is opened again (freshBufferNeeded), which
// gives the space back at the cost of a moment's reconnection.
//
// A programme from the provider's archive (catch-up) is shown on its own
// clock: the position bar spans the programme and says the time of day of
// the picture ("20:13"), the name line says "Not live", and "Back to live"
// asks for the channel's live stream (liveRequested).
//
// Threads: the UI thread only.

#include <cstdint>
#include <optional>

#include <QObject>
#include <QString>

#include "guide/guide_store.h"
#include "player/playback_position.h"

namespace lumora {

class ChannelTitleBar;
class MediaOutput;
class PositionBar;

class PlaybackControl final : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultMinutes = 30;
    static constexpr int kMostMinutes = 240;

    PlaybackControl(PositionBar& bar, ChannelTitleBar& title, QObject* parent = nullptr);

    void SetPlayer(MediaOutput* player) { player_ = player; }
    // Before every stream the view plays: the buffer's window of the
    // setting goes to the player.
    // `archived`: the stream is this programme from the archive.
    void PrepareStream(std::optional<ProgrammeSummary> archived = std::nullopt);
    const std::optional<ProgrammeSummary>& Archived() const { return archived_; }
    // The time of day (UTC seconds) of the picture shown: the archived
    // programme's start plus the position, or `now` less how far behind
    // live the picture is.
    std::int64_t ShownTime(std::int64_t now) const;
    // The back buffer's window in seconds (the setting; 0: none).
    static int WindowSeconds();

    // What can be done now.
    bool CanPause() const;
    bool Paused() const { return last_.paused; }
    bool BehindLive() const {
        return !archived_ && last_.known && last_.live && !AtLiveEdge(last_);
    }
    // "Back to live" has something to do.
    bool CanGoLive() const { return archived_ || BehindLive() || Paused(); }

    void TogglePause();
    // 30 s back (-1) or forward (+1).
    void Step(int direction);
    void SeekTo(double position);
    void GoLive();

    // Reads where the player stands and shows it (the view's timer, and
    // after every move).
    void Refresh();
    const PlaybackPosition& LastPosition() const { return last_; }

signals:
    // The buffer on disk outgrew its window: open the stream again.
    void freshBufferNeeded();
    // "Back to live" while an archived programme plays.
    void liveRequested();

private:
    void ShowPosition();

    PositionBar& bar_;
    ChannelTitleBar& title_;
    MediaOutput* player_ = nullptr;
    PlaybackPosition last_;
    int window_ = 0;  // of the stream playing, seconds
    std::optional<ProgrammeSummary> archived_;
    // An archived programme's bar takes the focus once it shows, so Left
    // and Right move within the programme.
    bool focusWhenShown_ = false;
};

}  // namespace lumora
