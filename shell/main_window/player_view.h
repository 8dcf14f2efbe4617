#pragma once

// The playing screen: the ChannelTitleBar at the top (channel name and the
// player's status), the player in the middle and the ControlBar at the
// bottom. The view shows the catalogue's current channel, which must be
// loaded before the view is made (the main window does), runs the
// half-second timer and is the player's StatusListener.
//
// With the setting "auto_fallback" on (the default), a stream that cannot
// be opened makes the view try the channel's next stream ("Trying stream 2
// of 3..."), as StreamFallback decides; the view plays the stream it names
// and shows what it says. The stream that plays in the end is not made the
// channel's choice.
//
// Threads: the UI thread only (OnPlayerStatus hands reports made on other
// threads over to the UI thread first).

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QTimer>
#include <QWidget>

#include "catalogue/stream_fallback.h"
#include "guide/guide_store.h"
#include "player/media_output.h"
#include "player/status_listener.h"

namespace lumora {

struct Channel;
struct Stream;
class ChannelTitleBar;
class ControlBar;
class MediaOutput;
class PlaybackControl;

// Makes the view's player as a child of `parent` in `rect`.
using PlayerFactory =
    std::function<std::unique_ptr<MediaOutput>(QWidget* parent, const QRect& rect)>;

struct PlayerViewOptions {
    // Full path of the catalogue the main window loads before it makes the
    // view; empty: the one loading since start-up, else the user's
    // "Channels.lmch" (Application::LoadWindowCatalogue).
    std::u16string cataloguePath;
    // Empty: the program's MediaPlayerHost (libmpv).
    PlayerFactory playerFactory;
};

class PlayerView : public QWidget, public StatusListener {
    Q_OBJECT
public:
    static constexpr int kTimerPeriodMs = 500;

    explicit PlayerView(QWidget* parent, PlayerViewOptions options = {});
    ~PlayerView() override;

    // The view's messages: UM_PLAY (channel, or null for the current
    // channel), UM_STOP, UM_FULLSCREEN (channel unused). Others are ignored.
    void OnMessage(int message, Channel* channel = nullptr);

    // Plays `programme` of `channel` from the provider's archive, from its
    // start. False, with the reason in the status line, when the channel's
    // archive cannot give it.
    bool PlayArchived(Channel* channel, const ProgrammeSummary& programme);

    // Plays an address from outside the catalogue (the command line): the
    // title bar shows `name`, the current channel stays as it was. The
    // caller has checked the address against the stream address rule.
    void PlayAddress(const QString& address, const QString& name);
    // Plays one of the user's recordings, chosen from the recordings list,
    // with `name` in the title bar; the current channel stays as it was.
    // Only a recording file right in the recordings folder plays (checked
    // here, links resolved); anything else is refused with the reason in
    // the status line (false). One still being written plays as it grows.
    bool PlayRecording(const std::filesystem::path& file, const QString& name,
                       RecordingGrowth growth);
    // Shows why `target` is not played: its name and the status text.
    void ShowRefusedTarget(const QString& target, const QString& status);

    // The catalogue was rebuilt (after an update): no channel is current any
    // more, so the title bar forgets the name.
    void OnCatalogueReloaded();
    // The player's report: the status line goes to the title bar; a negative
    // code puts the control bar back into the not-playing state.
    void OnPlayerStatus(const PlayerReport& report) override;

    // One tick of the 500 ms timer (public so tests can step it): says
    // `ticked` first, then refreshes the playback state and the layout.
    void Tick();
    int TickCount() const { return tickCount_; }

    // Places the bars and the player for the current size.
    void LayOut();

    ChannelTitleBar* TitleBar() const { return titleBar_; }
    ControlBar* Controls() const { return controlBar_; }
    // Pause, rewind and the way back to live.
    PlaybackControl& Playback() const { return *playback_; }
    MediaOutput* Player() const { return player_.get(); }
    // Makes the player the first time it is needed: at once with a
    // factory of the caller's, else right after the view's first paint (or
    // the first request that needs it), so that the window is on screen
    // before libmpv is waited for.
    void EnsurePlayer();
    // Shows a notice in the status line (until the next status).
    void ShowNotice(const QString& text) { SetStatus(text); }
    // The status line last given to the title bar.
    const QString& StatusText() const { return statusText_; }
    // True while the control bar is in the playing state.
    bool Playing() const { return playing_; }
    // How the last play request ended, as the player's last report said
    // (kNone while it plays or before any report).
    PlaybackEnd LastPlaybackEnd() const { return lastEnd_; }
    // What the title bar names: the catalogue channel (null for an address
    // from outside the catalogue, or nothing) and its name.
    const Channel* ShownChannel() const { return shownChannel_; }
    QString ShownName() const;

signals:
    // A tick of the timer began (TickCount is up to date).
    void ticked();
    // The status line changed to this text.
    void statusShown(const QString& text);
    // The playing state or what the title bar names changed.
    void shownChanged();
    // The player's audio or subtitle tracks changed.
    void tracksChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Play(Channel* channel);
    void Stop();
    void SetPlaying(bool playing);
    void SetStatus(const QString& text);
    void ShowCurrentChannelName();
    void ReportPlayerStartFailure();
    QString PlayerStartFailure() const;
    void ShowName(const Channel* channel, const QString& name);
    // Stops what plays and names `name`; false (the failure shown) when no
    // player is ready to play anything.
    bool StartOver(const QString& name);
    QRect PlayerRect() const;
    // Fallback to the channel's other streams. True when the report was
    // taken as a step of the fallback.
    bool FallBack(const PlayerReport& report);
    void PlayFallbackStream(std::size_t index);
    // "Trying stream 2 of 3..." for the stream at `stream`.
    QString TryingText(std::size_t stream) const;
    void PlayStream(const Stream& stream);
    // Every stream reaches the player here.
    void PlayStream(const std::u16string& address, const StreamHeaders& headers,
                    std::optional<ProgrammeSummary> archived = std::nullopt);
    // An archived programme failed: say so and offer the channel live.
    void ArchiveFailed();
    void EndFallback();
    // Why CheckRecordingToPlay refused a file, in the user's language.
    static QString RecordingRefusal(RecordingFileCheck check);

    ChannelTitleBar* titleBar_ = nullptr;
    ControlBar* controlBar_ = nullptr;
    PlaybackControl* playback_ = nullptr;
    // The stream last given to the player, to open it again.
    std::u16string lastAddress_;
    StreamHeaders lastHeaders_;
    PlayerFactory playerFactory_;
    bool playerMade_ = false;
    bool playerAfterPaint_ = false;
    std::unique_ptr<MediaOutput> player_;
    QTimer timer_;
    int tickCount_ = 0;
    bool wasFullScreen_ = false;
    bool playing_ = false;
    const Channel* shownChannel_ = nullptr;
    QString statusText_;
    PlaybackEnd lastEnd_ = PlaybackEnd::None;

    // Which of the channel's streams plays next; the view runs its steps.
    StreamFallback fallback_;
    // Tells a queued fallback step whether its play request is still on.
    int fallbackRequest_ = 0;
    QTimer retryTimer_;
};

}  // namespace lumora
