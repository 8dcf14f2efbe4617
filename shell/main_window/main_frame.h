#pragma once

// The main window: the PlayerView above the two soft keys. It loads the
// catalogue before it makes the view and starts the automatic update
// check; the view's first timer tick ends the splash, and a newer catalogue
// that check found is offered at a tick while the window is active. The left key
// opens the channel list (ID_CHANNELS); the right key opens the menu of
// full screen, settings, catalogue update, guide update, the programme
// grid (also G), the audio and subtitle tracks (TrackMenu; greyed while the
// stream offers no choice), about and exit. Every command
// goes through OnCommand, whoever sends it: keys, menu, Ctrl+Q, the view's
// timer, tests.
//
// Up/Down, Page Up/Page Down and the channel and media keys step to the
// previous/next channel (Zap); the volume slider keeps Left/Right.
//
// Closing the window says so (closed); start-up ends the event loop then,
// with exit code 1.
//
// Threads: the UI thread only.

#include <optional>

#include <QMenu>
#include <QWidget>

#include "catalogue/channel_views.h"
#include "catalogue/zap_order.h"
#include "shell/app/application.h"
#include "shell/desktop/reminder_notifier.h"
#include "shell/main_window/guide_updater.h"
#include "shell/main_window/player_view.h"
#include "shell/main_window/programme_guide.h"
#include "shell/main_window/programme_title.h"
#include "shell/main_window/recording_control.h"
#include "shell/main_window/track_menu.h"

namespace lumora {

class SoftKeyBar;

class MainFrame : public QWidget {
    Q_OBJECT
public:
    // `application` holds the catalogue and the update state; it outlives
    // the window.
    explicit MainFrame(Application& application, PlayerViewOptions options = {});
    ~MainFrame() override;

    // Runs a command by its identifier (commands.h); unknown ones are ignored.
    void OnCommand(int command);

    // Shows the window at the front and gives it the focus (a second
    // instance was started).
    void BringToFront();

    // Plays the channel before or after the current one in the list the
    // user last chose from in the channel list (its tab, country and
    // category; the ZapOrder), wrapping at the ends; without a current
    // channel in that list, the first or last. False when that list is
    // empty.
    bool Zap(ZapDirection direction);
    // Where the user left the channel list, which zapping follows.
    ZapOrder& Zapping() { return zapOrder_; }
    // Asks whether the playlist (an address or an absolute path) the command
    // line played from should become the channel source; yes stores it and
    // updates the catalogue from it. Nothing is asked when it is already the
    // source.
    void OfferChannelSource(const QString& playlist);

    // Updates the programme guide in the background: `Stale` only when it
    // is old or its sources changed. While one runs, the title bar says so
    // and a request is kept for when it ends. Only an update the user asked
    // for says when it fails.
    void UpdateGuide(GuideUpdater::When when);
    GuideUpdater& Guide() { return *guide_; }
    // What is on, as the window and the lists show it.
    ProgrammeGuide& Programmes() { return *programmes_; }
    ProgrammeTitle& ProgrammeShown() { return *programmeTitle_; }

    PlayerView& View() { return *view_; }
    // What the catalogue update remembers between its runs.
    UpdateState& Updates() { return application_.Updates(); }
    SoftKeyBar& SoftKeys() { return *softKeys_; }
    // The popup of the right soft key.
    QMenu& MenuPopup() { return *menu_; }
    // The popup of the tracks command, and its entry in the menu.
    TrackMenu& TracksPopup() { return *tracksMenu_; }
    QAction& TracksEntry() { return *tracksEntry_; }

signals:
    // The window was closed: the program ends.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void BuildMenu();
    // The start-up work that waits for the view's timer.
    void OnViewTick();
    void AddZapKeys();
    void AddGuideKeys();
    // Pause, rewind, forward and live: window-wide keys and the menu.
    void AddPlaybackKeys();
    void UpdatePlaybackMenu();
    // The programme on now of the channel shown, when its archive keeps it.
    std::optional<ProgrammeSummary> ProgrammeFromStart() const;
    void WatchFromStart();
    // Records the channel shown, or stops the recording.
    void ToggleRecording();
    void RecordingEnded(bool failed);
    void ShowReminder(const QString& channelId, const QString& channelName, const QString& title);
    void WatchReminded(const QString& channelId);
    // The handheld size, never more than the screen's available area,
    // centred on it.
    void PlaceOnScreen();
    // Shrinks the window, its frame included, into the screen's available
    // area once the frame is known (after the first show).
    void FitIntoScreen();
    void RunChannelList();
    void RunGuide();
    void RunTracks();
    void UpdateTracksEntry();
    void RunUpdate();
    void ShowGuideProgress(quint64 bytes);
    void GuideUpdateEnded(GuideUpdater::Outcome outcome, const QString& message);

    QMenu* menu_ = nullptr;
    QAction* pauseAction_ = nullptr;
    QAction* liveAction_ = nullptr;
    QAction* fromStartAction_ = nullptr;
    QAction* recordAction_ = nullptr;
    RecordingControl* recording_ = nullptr;
    ReminderNotifier* reminders_ = nullptr;
    PlayerView* view_ = nullptr;
    SoftKeyBar* softKeys_ = nullptr;
    bool fitted_ = false;
    GuideUpdater* guide_ = nullptr;
    ProgrammeGuide* programmes_ = nullptr;
    ProgrammeTitle* programmeTitle_ = nullptr;
    std::optional<GuideUpdater::When> guideAgain_;  // asked for while one ran
    bool guideAskedByUser_ = false;
    TrackMenu* tracksMenu_ = nullptr;
    QAction* tracksEntry_ = nullptr;
    ZapOrder zapOrder_;
    Application& application_;
};

// The main window while it exists, else null.
MainFrame* TheMainFrame();

}  // namespace lumora
