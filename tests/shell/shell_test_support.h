#pragma once

// Helpers of the shell's widget tests: the application object, isolated user
// folders, small catalogues, a fake player and recorded message boxes.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QByteArray>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "catalogue/catchup_attributes.h"
#include "player/media_output.h"
#include "scratch_folder_qt.h"
#include "shell/dialogs/show_text_message.h"
#include "shell/main_window/player_view.h"

class QWidget;

namespace lumora::test {

// The folder of the build: the program, the shipped data files, screenshots.
QString BuildDir();

// Saves the widget's picture to <build>/screenshots/<name>.png.
QString SaveScreenshot(QWidget& widget, const QString& name);

// Points XDG_DATA_HOME, XDG_CACHE_HOME and XDG_RUNTIME_DIR at fresh
// temporary folders for the object's life and puts the old values back
// afterwards.
class IsolatedUserFolders {
public:
    IsolatedUserFolders();
    ~IsolatedUserFolders();
    QString DataHome() const { return test::QtPath(data_); }
    QString RuntimeDir() const { return test::QtPath(runtime_); }
    QString CacheHome() const { return test::QtPath(cache_); }
    QString UserFolder() const { return test::QtPath(data_) + QStringLiteral("/lumora"); }

private:
    test::ScratchFolder data_;
    test::ScratchFolder runtime_;
    test::ScratchFolder cache_;
    QByteArray oldDataHome_;
    QByteArray oldCacheHome_;
    QByteArray oldRuntimeDir_;
};

// A channel of a test catalogue; no addresses means no stream nodes.
struct TestChannel {
    std::string country;
    std::string key;
    std::u16string name;
    std::string category = "n";
    std::vector<std::u16string> addresses;
    // The user agent each stream needs, by the streams' order; missing or
    // empty for none.
    std::vector<std::u16string> userAgents = {};
    std::u16string tvgId = {};       // for the guide; empty for none
    CatchupAttributes catchup = {};  // the provider's archive; none by default
};
// Writes a catalogue document with the given version and channels.
// `guideAddresses` become the root's "url-tvg" when not empty.
bool WriteCatalogue(const QString& path, const std::string& version,
                    const std::vector<TestChannel>& channels,
                    const std::u16string& guideAddresses = {});

class FakeOutput;

// Main-window options that load `cataloguePath` and give the view a
// FakeOutput, kept in `player` once it is made.
PlayerViewOptions FakePlayerOptions(const QString& cataloguePath, FakeOutput*& player);

// A player that only records what it is told. Its window is a plain child
// widget; full screen makes the window top-level, as the real player does.
class FakeOutput : public MediaOutput {
public:
    FakeOutput(QWidget* parent, const QRect& rect);
    ~FakeOutput() override;
    void Play(const std::u16string& url) override;
    // Joins "recording" to the calls and the file to `recordings`.
    void PlayRecording(const RecordingToPlay& recording, RecordingGrowth growth) override;
    void Stop() override;
    void SetVolume(int volume) override;
    void ToggleFullScreen() override;
    bool IsFullScreen() const override { return fullScreen_; }
    // Pause and rewind act on `position`, which a test sets as a player
    // would report it; "timeshift", "pause", "seek" join the calls.
    void SetTimeshift(int seconds, const std::string& folder) override;
    void SetPaused(bool paused) override;
    void SeekTo(double to) override;
    PlaybackPosition Position() const override { return position; }
    // What the player's own Esc does: leaves full screen without the view.
    void LeaveFullScreenByItself();
    // A player of which a part could not start: not ready (nothing plays)
    // or ready without a picture, with the reason it gives.
    void FailToStart(bool ready, const std::u16string& reason);

    // Tracks: selecting marks the track selected and tells the view, as the
    // player does; SetTracks is a new stream's list arriving.
    std::vector<MediaTrack> Tracks() const override { return tracks; }
    void SelectAudioTrack(std::int64_t id) override;
    void SelectSubtitleTrack(std::optional<std::int64_t> id) override;
    void SetTrackPreference(const TrackPreference& preference) override {
        preferences.push_back(preference);
    }
    void SetTracks(std::vector<MediaTrack> list);
    std::vector<MediaTrack> tracks;
    // Every preference given, in order.
    std::vector<TrackPreference> preferences;

    std::vector<std::u16string> played;
    std::vector<std::pair<std::filesystem::path, RecordingGrowth>> recordings;
    PlaybackPosition position;
    int timeshiftSeconds = 0;
    // Every call in order: "play", "stop", "volume".
    std::vector<std::string> calls;
    int volume = -1;

private:
    QWidget* parent_;
    bool fullScreen_ = false;
};

// Acts on the modal dialog of type Dialog as soon as it is up, inside its
// own event loop. A dialog still open after a few seconds is ended with 99,
// so a failing test never hangs.
template <typename Dialog>
void WhenModal(std::function<void(Dialog&)> action) {
    auto* timer = new QTimer(QCoreApplication::instance());
    auto waited = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, waited, action] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible()) {
            if ((*waited += 10) > 5000) {
                timer->deleteLater();
                timer->stop();
            }
            return;
        }
        timer->stop();
        timer->deleteLater();
        dialog->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(dialog));
        action(*dialog);
        QTimer::singleShot(5000, dialog, [dialog] {
            if (dialog->isVisible())
                dialog->done(99);
        });
    });
    timer->start(10);
}

// Replaces the message boxes with a recorder for the object's life.
class RecordedMessages {
public:
    RecordedMessages();
    ~RecordedMessages();
    QStringList texts;
    // What every box answers.
    int answer = kMessageResultOk;
};

// Loads the shipped interface resources and language pack of the build at
// the given DPI (the settings pick the language).
void LoadShippedInterface(int dpi);

}  // namespace lumora::test
