// The main window: commands by identifier, the soft keys and their keyboard
// keys, the road of a play request, full screen, volume, the timer, and
// pictures of the window at two resolutions.

#include <fcntl.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <tuple>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QTextBrowser>
#include <QThread>

#include <gtest/gtest.h>

#include "../guide/guide_samples.h"
#include "catalogue/catalogue.h"
#include "catalogue/languages.h"
#include "catalogue/settings.h"
#include "catalogue/settings_format.h"
#include "document/doc_node.h"
#include "document/text_encoding.h"
#include "guide/guide_import.h"
#include "guide/guide_store.h"
#include "net/catalogue_update.h"
#include "net/update_logic.h"
#include "player/media_player_host.h"
#include "player/output_registry.h"
#include "player/player_texts.h"
#include "player/video_widget.h"
#include "player_test_support.h"
#include "process_state.h"
#include "record/recording_schedule.h"
#include "resources/resources.h"
#include "scratch_folder_qt.h"
#include "server_process.h"
#include "shell/app/app_startup.h"
#include "shell/app/catalogue_preload.h"
#include "shell/app/commands.h"
#include "shell/app/data_folders.h"
#include "shell/app/localise.h"
#include "shell/app/shell_hooks.h"
#include "shell/desktop/mpris_service.h"
#include "shell/dialogs/channel_list_dialog.h"
#include "shell/dialogs/channel_list_view.h"
#include "shell/dialogs/channel_row_delegate.h"
#include "shell/dialogs/guide_grid_dialog.h"
#include "shell/dialogs/guide_grid_view.h"
#include "shell/dialogs/programme_details_dialog.h"
#include "shell/dialogs/recordings_dialog.h"
#include "shell/dialogs/show_text_message.h"
#include "shell/main_window/channel_title_bar.h"
#include "shell/main_window/control_bar.h"
#include "shell/main_window/guide_updater.h"
#include "shell/main_window/main_frame.h"
#include "shell/main_window/playback_control.h"
#include "shell/main_window/programme_guide.h"
#include "shell/main_window/recording_control.h"
#include "shell/widgets/position_bar.h"
#include "shell/widgets/soft_key_bar.h"
#include "shell_test_support.h"

namespace lumora {
namespace {

using test::FakeOutput;
using test::TestChannel;

class MainFrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ResetProcessState();
        // No background check against a server in these tests.
        SetBoolSetting(kAutoCU, false);
        test::LoadShippedInterface(96);
        cataloguePath_ = folders_.DataHome() + QStringLiteral("/Channels.lmch");
    }

    void TearDown() override {
        frame_.reset();
        app_.ReleaseCatalogue();
        test::ResetProcessState();
    }

    // Builds the main window over a catalogue of these channels.
    MainFrame& MakeFrame(const std::vector<TestChannel>& channels,
                         const std::u16string& guideAddresses = {}) {
        EXPECT_TRUE(test::WriteCatalogue(cataloguePath_, "1.0", channels, guideAddresses));
        frame_ =
            std::make_unique<MainFrame>(app_, test::FakePlayerOptions(cataloguePath_, player_));
        frame_->resize(360, 640);
        // What the view tells a new player (its volume) has a test of its
        // own; the tests below follow the calls from here on.
        player_->calls.clear();
        return *frame_;
    }

    bool ShowActive() {
        frame_->show();
        frame_->activateWindow();
        return QTest::qWaitForWindowActive(frame_.get());
    }

    Channel* FindChannel(std::string_view id) { return TheCatalogue()->FindChannel(id); }

    // The main window with the program's own player over the catalogue
    // already written; null when mpv cannot start on this machine.
    MediaPlayerHost* MakeRealPlayerFrame() {
        PlayerViewOptions options;
        options.cataloguePath = cataloguePath_.toStdU16String();
        frame_ = std::make_unique<MainFrame>(app_, std::move(options));
        frame_->resize(360, 640);
        frame_->show();
        frame_->View().EnsurePlayer();
        auto* host = dynamic_cast<MediaPlayerHost*>(frame_->View().Player());
        return host != nullptr && host->Ready() ? host : nullptr;
    }

    std::vector<TestChannel> TwoChannels() {
        return {{"de", "one", u"Eins", "n", {u"http://127.0.0.1:9/eins.ts?x=1&y=%20"}},
                {"fr", "two", u"Deux", "mu", {u"rtmp://example.invalid/live/deux", u"http://b"}}};
    }

    // Builds the main window while the catalogue of these channels loads
    // on a worker thread, as at a start after the first.
    MainFrame& MakeFrameBesideLoad(const std::vector<TestChannel>& channels) {
        EXPECT_TRUE(test::WriteCatalogue(cataloguePath_, "1.0", channels));
        app_.Preload().Start(cataloguePath_.toStdU16String(), kMaxCatalogueMessageBoxes);
        PlayerViewOptions options;
        options.playerFactory = [this](QWidget* parent, const QRect& rect) {
            auto output = std::make_unique<FakeOutput>(parent, rect);
            player_ = output.get();
            return output;
        };
        frame_ = std::make_unique<MainFrame>(app_, std::move(options));
        return *frame_;
    }

    test::IsolatedUserFolders folders_;
    QString cataloguePath_;
    // The program's state, which outlives the window.
    Application app_;
    std::unique_ptr<MainFrame> frame_;
    FakeOutput* player_ = nullptr;
};

TEST_F(MainFrameTest, CommandsReachTheirDialogsAndThePlayer) {
    MainFrame& frame = MakeFrame(TwoChannels());
    int settingsRuns = 0;
    int aboutRuns = 0;
    TheShellHooks().settingsDialog = [&](QWidget*) { ++settingsRuns; };
    TheShellHooks().aboutDialog = [&](QWidget*) { ++aboutRuns; };
    TheShellHooks().channelListDialog = [&](QWidget*) {
        return ChannelChoice{true, FindChannel("fr_two"), std::nullopt};
    };

    frame.OnCommand(ID_SETTINGS);
    frame.OnCommand(ID_APP_ABOUT);
    EXPECT_EQ(settingsRuns, 1);
    EXPECT_EQ(aboutRuns, 1);

    frame.OnCommand(ID_CHANNELS);
    ASSERT_EQ(player_->played.size(), 1u);
    EXPECT_EQ(player_->played.back(), u"rtmp://example.invalid/live/deux");

    frame.OnCommand(ID_FULLSCREEN);
    EXPECT_TRUE(player_->IsFullScreen());
    frame.OnCommand(ID_FULLSCREEN);
    EXPECT_FALSE(player_->IsFullScreen());

    // Unknown identifiers change nothing.
    frame.OnCommand(12345);
    frame.OnCommand(UM_PLAY);
    EXPECT_EQ(player_->played.size(), 1u);
}

TEST_F(MainFrameTest, ChannelListClosedWithoutChoicePlaysNothing) {
    MainFrame& frame = MakeFrame(TwoChannels());
    TheShellHooks().channelListDialog = [&](QWidget*) {
        return ChannelChoice{false, FindChannel("de_one"), std::nullopt};
    };
    frame.OnCommand(ID_CHANNELS);
    EXPECT_TRUE(player_->played.empty());
    EXPECT_FALSE(frame.View().Playing());
}

TEST_F(MainFrameTest, SoftKeysCarryTheMenuOfTheWindow) {
    MainFrame& frame = MakeFrame(TwoChannels());
    SoftKeyBar& keys = frame.SoftKeys();
    EXPECT_EQ(keys.KeyCommand(SoftKey::Left), ID_CHANNELS);
    EXPECT_EQ(keys.KeyText(SoftKey::Left), QString::fromStdU16String(LookupText("menu_channels")));
    EXPECT_EQ(keys.KeyText(SoftKey::Right), QString::fromStdU16String(LookupText("menu_menu")));
    ASSERT_EQ(keys.KeyMenu(SoftKey::Right), &frame.MenuPopup());

    const std::vector<std::pair<const char*, int>> expected = {
        {"menu_fullscreen", ID_FULLSCREEN},
        {"menu_settings", ID_SETTINGS},
        {"menu_channel_update", ID_CHANNEL_UPDATE},
        {"menu_update_guide", ID_GUIDE_UPDATE},
        {"menu_guide", ID_GUIDE},
        {"menu_pause", ID_PAUSE},
        {"menu_live", ID_LIVE},
        {"menu_watch_from_start", ID_FROM_START},
        {"menu_tracks", ID_TRACKS},
        {"menu_record", ID_RECORD},
        {"menu_recordings", ID_RECORDINGS},
        {nullptr, 0},
        {"menu_about", ID_APP_ABOUT},
        {nullptr, 0},
        {"menu_exit", ID_APP_EXIT}};
    const auto actions = frame.MenuPopup().actions();
    ASSERT_EQ(actions.size(), qsizetype(expected.size()));
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        if (expected[i].first == nullptr) {
            EXPECT_TRUE(actions[i]->isSeparator());
            continue;
        }
        // The text, and after a tab the key that runs it (the grid's "G").
        EXPECT_EQ(actions[i]->text().section(QLatin1Char('\t'), 0, 0),
                  QString::fromStdU16String(LookupText(expected[i].first)));
        EXPECT_EQ(actions[i]->data().toInt(), expected[i].second);
    }
    // The shipped pack has every text of the window.
    EXPECT_FALSE(keys.KeyText(SoftKey::Left).isEmpty());
    EXPECT_FALSE(actions[0]->text().isEmpty());

    // A menu entry goes the same road as the command.
    int aboutRuns = 0;
    TheShellHooks().aboutDialog = [&](QWidget*) { ++aboutRuns; };
    actions[12]->trigger();  // "menu_about"
    EXPECT_EQ(aboutRuns, 1);
}

TEST_F(MainFrameTest, KeyboardPressesTheSoftKeysAndCtrlQExits) {
    MainFrame& frame = MakeFrame(TwoChannels());
    ASSERT_TRUE(ShowActive());
    int listRuns = 0;
    TheShellHooks().channelListDialog = [&](QWidget*) {
        ++listRuns;
        return ChannelChoice{};
    };

    QTest::keyClick(&frame, Qt::Key_F1);
    EXPECT_EQ(listRuns, 1);

    // A tap on the left key does the same.
    SoftKeyBar& keys = frame.SoftKeys();
    QTest::mouseClick(&keys, Qt::LeftButton, {}, keys.KeyRect(SoftKey::Left).center());
    EXPECT_EQ(listRuns, 2);

    QTest::keyClick(&frame, Qt::Key_F2);
    EXPECT_TRUE(QTest::qWaitFor([&] { return frame.MenuPopup().isVisible(); }));
    // The menu opens above the key.
    EXPECT_LE(frame.MenuPopup().geometry().bottom(), keys.mapToGlobal(QPoint(0, 0)).y());
    frame.MenuPopup().hide();

    ASSERT_TRUE(ShowActive());
    QSignalSpy closed(&frame, &MainFrame::closed);
    QTest::keyClick(&frame, Qt::Key_Q, Qt::ControlModifier);
    // The exit command is posted: the window closes once events are served.
    EXPECT_TRUE(frame.isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !frame.isVisible(); }));
    EXPECT_EQ(closed.size(), 1);
}

TEST_F(MainFrameTest, PlayRequestStartsTheChannelAndFollowsThePlayer) {
    MainFrame& frame = MakeFrame(TwoChannels());
    PlayerView& view = frame.View();
    Channel* channel = FindChannel("de_one");
    ASSERT_NE(channel, nullptr);

    view.OnMessage(UM_PLAY, channel);
    // Stopped first, then the buffer's window for the stream, then the
    // address exactly as the catalogue holds it.
    ASSERT_EQ(player_->calls, (std::vector<std::string>{"stop", "timeshift", "play"}));
    EXPECT_EQ(player_->played.back(), u"http://127.0.0.1:9/eins.ts?x=1&y=%20");
    EXPECT_EQ(TheCatalogue()->CurrentChannel(), channel);
    EXPECT_EQ(GetStringSetting(kCurChannel, u""), u"de_one");
    EXPECT_EQ(view.TitleBar()->channelName(), QStringLiteral("Eins"));
    EXPECT_TRUE(view.Controls()->isPlaying());

    view.OnPlayerStatus({PlayerStatus::Going, u"Buffering 40%"});
    EXPECT_EQ(view.TitleBar()->status(), QStringLiteral("Buffering 40%"));
    EXPECT_TRUE(view.Controls()->isPlaying());

    view.OnPlayerStatus({PlayerStatus::NotPlaying, u"Cannot connect"});
    EXPECT_EQ(view.TitleBar()->status(), QStringLiteral("Cannot connect"));
    EXPECT_FALSE(view.Controls()->isPlaying());

    // The play button (null channel) plays the current channel again.
    emit view.Controls()->playClicked();
    EXPECT_EQ(player_->played.size(), 2u);
    EXPECT_TRUE(view.Controls()->isPlaying());

    emit view.Controls()->stopClicked();
    EXPECT_EQ(player_->calls.back(), "stop");
    EXPECT_FALSE(view.Controls()->isPlaying());
}

TEST_F(MainFrameTest, PlayWithoutAnyChannelOnlyStops) {
    MainFrame& frame = MakeFrame(TwoChannels());
    PlayerView& view = frame.View();
    ASSERT_EQ(TheCatalogue()->CurrentChannel(), nullptr);
    view.OnMessage(UM_PLAY);
    EXPECT_EQ(player_->calls, std::vector<std::string>{"stop"});
    EXPECT_FALSE(view.Controls()->isPlaying());
    EXPECT_TRUE(view.TitleBar()->channelName().isEmpty());
}

TEST_F(MainFrameTest, ChannelWithoutStreamsSaysSoAndDoesNotPlay) {
    test::RecordedMessages messages;  // the catalogue reports the entry
    MainFrame& frame = MakeFrame({{"de", "mute", u"Stumm", "n", {}}});
    PlayerView& view = frame.View();
    Channel* channel = FindChannel("de_mute");
    ASSERT_NE(channel, nullptr);
    view.OnMessage(UM_PLAY, channel);
    EXPECT_TRUE(player_->played.empty());
    EXPECT_FALSE(view.Controls()->isPlaying());
    EXPECT_EQ(view.TitleBar()->channelName(), QStringLiteral("Stumm"));
    EXPECT_FALSE(view.TitleBar()->status().isEmpty());
}

// HOME and the folders' settings point at a scratch folder while it lives,
// so the recordings folder is the scratch folder's.
class ScratchHome {
public:
    ScratchHome() : oldHome_(qgetenv("HOME")), oldConfig_(qgetenv("XDG_CONFIG_HOME")) {
        qputenv("HOME", QByteArray::fromStdString(home_.Path().string()));
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((home_.Path() / ".config").string()));
        QDir().mkpath(test::QtPath(home_, ".config"));
        QFile dirs(test::QtPath(home_, ".config/user-dirs.dirs"));
        if (dirs.open(QIODevice::WriteOnly))
            dirs.write("XDG_VIDEOS_DIR=\"$HOME/Filme\"\n");
    }
    ~ScratchHome() {
        qputenv("HOME", oldHome_);
        if (oldConfig_.isEmpty())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", oldConfig_);
    }
    std::filesystem::path Path(std::string_view name) const { return home_.Path(name); }

private:
    test::ScratchFolder home_;
    QByteArray oldHome_;
    QByteArray oldConfig_;
};

TEST_F(MainFrameTest, RecordRecordsTheChannelShownUntilStoppedAndKeepsItInTheRecordingsFile) {
    const ScratchHome home;
    test::RecordedMessages messages;
    const qint64 size = QFileInfo(test::StreamFolder() + QStringLiteral("/long.ts")).size();
    test::StreamServer server({QStringLiteral("--pace"), QString::number(size / 20)});
    ASSERT_GT(server.Port(), 0);
    MainFrame& frame = MakeFrame({{"de", "one", u"Eins", "n", {server.Url("/long.ts")}}});
    ASSERT_TRUE(ShowActive());
    frame.View().OnMessage(UM_PLAY, FindChannel("de_one"));
    const std::u16string schedulePath =
        (folders_.UserFolder() + QStringLiteral("/Recordings.lmrc")).toStdU16String();
    auto only = [&] {
        RecordingSchedule schedule;
        EXPECT_TRUE(schedule.Load(schedulePath));
        EXPECT_EQ(schedule.Entries().size(), 1u);
        return schedule.Entries().empty() ? ScheduledRecording{} : schedule.Entries()[0];
    };

    QTest::keyClick(&frame, Qt::Key_R);
    ScheduledRecording running = only();
    EXPECT_EQ(running.state, ScheduleState::Running);
    EXPECT_EQ(running.channelId, "de_one");
    const std::filesystem::path file(running.file);
    EXPECT_EQ(file.parent_path(), home.Path("Filme/Lumora"));
    EXPECT_TRUE(file.filename().string().starts_with("Eins \u2013 ")) << running.file;
    // Until the guide knows the programme: long, but not for ever.
    EXPECT_GT(running.stop - running.start, 3600);
    emit frame.MenuPopup().aboutToShow();
    EXPECT_EQ(frame.MenuPopup().actions()[9]->text().section(QLatin1Char('\t'), 0, 0),
              QString::fromStdU16String(LookupText("menu_stop_recording")));

    // Zapping away or stopping the picture does not stop the recording.
    frame.View().OnMessage(UM_STOP);
    QTest::qWait(2500);
    frame.OnCommand(ID_RECORD);
    EXPECT_TRUE(QTest::qWaitFor([&] { return only().state != ScheduleState::Running; }, 5000));
    const ScheduledRecording done = only();
    EXPECT_EQ(done.state, ScheduleState::Done) << done.error;
    EXPECT_GT(done.bytes, 0);
    std::error_code error;
    EXPECT_EQ(std::filesystem::file_size(file, error), std::uintmax_t(done.bytes));
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join(u'|').toStdString();
}

TEST_F(MainFrameTest, ProgrammesAreScheduledRecordedWhenDueAndKeptOverARestart) {
    const ScratchHome home;
    test::RecordedMessages messages;
    SetIntSetting(kRecordMarginMinutes, 0);
    SetIntSetting(kRecordMostAtOnce, 1);
    const qint64 size = QFileInfo(test::StreamFolder() + QStringLiteral("/long.ts")).size();
    test::StreamServer server({QStringLiteral("--pace"), QString::number(size / 20)});
    ASSERT_GT(server.Port(), 0);
    MakeFrame({{"de", "one", u"Eins", "n", {server.Url("/long.ts")}},
               {"de", "two", u"Zwei", "n", {server.Url("/long.ts")}}});
    RecordingControl& recordings = *TheRecordings();
    const Channel& one = *FindChannel("de_one");
    const Channel& two = *FindChannel("de_two");
    const std::int64_t now = ProgrammeGuide::Now();
    using Result = RecordingControl::ScheduleResult;

    // Seconds of slack, so that a loaded machine still schedules before the
    // ends come.
    EXPECT_EQ(recordings.Schedule(one, {1, now - 60, now + 6, "Now"}), Result::Started);
    EXPECT_TRUE(recordings.Recording("de_one"));
    EXPECT_EQ(recordings.Schedule(one, {1, now - 60, now + 6, "Now"}), Result::AlreadyThere);
    EXPECT_EQ(recordings.Schedule(one, {2, now - 600, now - 60, "Past"}), Result::Ended);
    EXPECT_EQ(recordings.Schedule(one, {3, now + 3600, now + 7200, "Later"}), Result::Scheduled);
    // One at a time: the second channel's programme waits, and is missed
    // when its end comes first.
    EXPECT_EQ(recordings.Schedule(two, {4, now - 30, now + 3, "Crowded"}), Result::Scheduled);
    EXPECT_EQ(recordings.Start(two, std::nullopt), RecordingControl::StartResult::TooMany);

    const RecordingSchedule* schedule = &recordings.Entries();
    auto state = [&](const char* title) {
        for (const ScheduledRecording& entry : schedule->Entries()) {
            if (entry.title == title)
                return entry;
        }
        return ScheduledRecording{};
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return state("Now").state == ScheduleState::Done; }, 20000));
    EXPECT_GT(state("Now").bytes, 0);
    EXPECT_TRUE(std::filesystem::exists(state("Now").file));
    EXPECT_EQ(state("Crowded").state, ScheduleState::Missed);
    EXPECT_EQ(state("Later").state, ScheduleState::Scheduled);
    EXPECT_EQ(state("Later").start, now + 3600 - RecordingControl::kLeadSeconds);
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join(u'|').toStdString();

    // The program ends and starts again: the plan is still there.
    frame_.reset();
    RecordingControl again(folders_.UserFolder() + QStringLiteral("/Recordings.lmrc"));
    schedule = &again.Entries();
    EXPECT_EQ(schedule->Entries().size(), 3u);
    EXPECT_EQ(state("Now").state, ScheduleState::Done);
    EXPECT_EQ(state("Later").state, ScheduleState::Scheduled);
}

TEST_F(MainFrameTest, ARecordingChosenInTheRecordingsListPlaysOnlyFromTheRecordingsFolder) {
    const ScratchHome home;
    test::RecordedMessages messages;
    const std::filesystem::path folder = home.Path("Filme/Lumora");
    std::filesystem::create_directories(folder);
    const std::filesystem::path inside = folder / "Eins \u2013 Tagesschau.ts";
    const std::filesystem::path outside = home.Path("thesis.ts");
    std::ofstream(inside) << "recorded";
    std::ofstream(outside) << "not a recording";
    RecordingSchedule schedule;
    const std::int64_t now = ProgrammeGuide::Now();
    auto add = [&](const char* title, const std::filesystem::path& file) {
        ScheduledRecording entry;
        entry.channelId = "de_one";
        entry.channelName = "Eins";
        entry.title = title;
        entry.start = now - 3600;
        entry.stop = now + (file.empty() ? 3600 : -600);
        const std::int32_t id = *schedule.Add(entry);
        if (!file.empty()) {
            schedule.MarkRunning(id, file.string());
            RecordingOutcome outcome;
            outcome.status = RecordingStatus::Completed;
            outcome.bytes = 8;
            schedule.MarkEnded(id, outcome);
        }
    };
    add("Tagesschau", inside);
    add("Elsewhere", outside);
    add("Later", {});
    ASSERT_TRUE(QDir().mkpath(folders_.UserFolder()));
    ASSERT_TRUE(schedule.Save(
        (folders_.UserFolder() + QStringLiteral("/Recordings.lmrc")).toStdU16String()));
    MainFrame& frame = MakeFrame(TwoChannels());
    PlayerView& view = frame.View();

    const struct {
        QString title;
        bool plays;
        QString status;   // the status line after the choice, when refused
        QString message;  // the message box the list shows instead, if any
    } rows[] = {
        {QStringLiteral("Tagesschau"), true, QString(), QString()},
        {QStringLiteral("Elsewhere"), false, Text("str_recording_refused"), QString()},
        {QStringLiteral("Later"), false, QString(), Text("msg_recording_no_file")},
    };
    for (const auto& row : rows) {
        messages.texts.clear();
        player_->recordings.clear();
        test::WhenModal<RecordingsDialog>([&](RecordingsDialog& dialog) {
            QListWidget& list = dialog.List();
            for (int i = 0; i < list.count(); ++i) {
                if (list.item(i)->text().startsWith(row.title + QLatin1Char('\n')))
                    list.setCurrentRow(i);
            }
            // Enter on the row plays it; a list still open is closed.
            QTest::keyClick(&list, Qt::Key_Return);
            if (dialog.isVisible())
                dialog.DispatchCommand(RecordingsDialog::kCloseCommand);
        });
        frame.OnCommand(ID_RECORDINGS);
        const std::string title = row.title.toStdString();
        EXPECT_EQ(messages.texts, row.message.isEmpty() ? QStringList() : QStringList{row.message})
            << title;
        if (row.plays) {
            ASSERT_EQ(player_->recordings.size(), 1u) << title;
            EXPECT_EQ(player_->recordings[0].first, std::filesystem::canonical(inside));
            EXPECT_EQ(player_->recordings[0].second, RecordingGrowth::Finished);
            EXPECT_EQ(view.TitleBar()->channelName(), QStringLiteral("Eins \u2013 Tagesschau"));
            EXPECT_TRUE(view.Playing());
            EXPECT_EQ(view.ShownChannel(), nullptr);
        } else {
            EXPECT_TRUE(player_->recordings.empty()) << title;
        }
        if (!row.status.isEmpty()) {
            EXPECT_EQ(view.StatusText(), row.status) << title;
            EXPECT_FALSE(view.Playing()) << title;
        }
    }
}

TEST_F(MainFrameTest, StatusFromAnotherThreadArrivesOnTheUiThread) {
    MainFrame& frame = MakeFrame(TwoChannels());
    PlayerView& view = frame.View();
    view.OnMessage(UM_PLAY, FindChannel("de_one"));
    QThread* worker = QThread::create([&view] {
        view.OnPlayerStatus({PlayerStatus::NotPlaying, u"Lost"});
    });
    worker->start();
    worker->wait();
    delete worker;
    EXPECT_TRUE(view.Controls()->isPlaying());  // not yet: handed over
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return view.TitleBar()->status() == QStringLiteral("Lost"); }));
    EXPECT_FALSE(view.Controls()->isPlaying());
}

TEST_F(MainFrameTest, LayoutFollowsBarHeightAndSurvivesFullScreen) {
    MainFrame& frame = MakeFrame(TwoChannels());
    frame.show();
    PlayerView& view = frame.View();
    const int bar = BarHeight();
    const int margin = bar / 8;
    ASSERT_EQ(bar, 24);
    const QRect expected(margin, bar + margin, view.width() - 2 * margin,
                         view.height() - 2 * (bar + margin));
    EXPECT_EQ(player_->Window()->geometry(), expected);
    EXPECT_EQ(view.TitleBar()->geometry(), QRect(0, 0, view.width(), bar));
    EXPECT_EQ(view.Controls()->geometry(), QRect(0, view.height() - bar, view.width(), bar));
    EXPECT_EQ(frame.SoftKeys().height(), bar);

    // Through the menu, twice: back to the same layout.
    frame.OnCommand(ID_FULLSCREEN);
    view.Tick();
    EXPECT_TRUE(player_->Window()->isWindow());
    frame.OnCommand(ID_FULLSCREEN);
    view.Tick();
    EXPECT_EQ(player_->Window()->geometry(), expected);

    // The player leaves full screen by itself: one tick puts it back.
    view.OnMessage(UM_FULLSCREEN);
    view.Tick();
    player_->LeaveFullScreenByItself();
    EXPECT_NE(player_->Window()->geometry(), expected);
    view.Tick();
    EXPECT_EQ(player_->Window()->geometry(), expected);
}

TEST_F(MainFrameTest, VolumeGoesToThePlayerAndTheSettings) {
    SetIntSetting(kSoundVolume, 35);
    MainFrame& frame = MakeFrame(TwoChannels());
    ControlBar& controls = *frame.View().Controls();
    EXPECT_EQ(controls.volume(), 35);
    // The player plays at once at the volume the slider shows.
    EXPECT_EQ(player_->volume, 35);
    emit controls.volumeChanged(70);
    EXPECT_EQ(player_->volume, 70);
    EXPECT_EQ(GetIntSetting(kSoundVolume, 50), 70);
}

TEST_F(MainFrameTest, FirstTickEndsTheSplashOnceBeforeItStartsAnUpdate) {
    test::RecordedMessages messages;
    QStringList steps;
    TheShellHooks().endLoadingDialog = [&] { steps << "splash ended"; };
    TheShellHooks().updateDialog = [&](QWidget*, const std::shared_ptr<UpdateRun>&) {
        steps << "update";
    };
    MainFrame& frame = MakeFrame(TwoChannels());
    ASSERT_TRUE(ShowActive());
    frame.Updates().SetPending(true);
    frame.View().Tick();
    frame.View().Tick();
    frame.View().Tick();
    EXPECT_EQ(steps, QStringList({"splash ended", "update"}));
    EXPECT_EQ(frame.View().TickCount(), 1500);
}

TEST_F(MainFrameTest, PendingUpdateIsOfferedOnceAndOnlyWhileTheWindowIsActive) {
    test::RecordedMessages messages;
    MainFrame& frame = MakeFrame(TwoChannels());
    int updateRuns = 0;
    TheShellHooks().updateDialog = [&](QWidget*, const std::shared_ptr<UpdateRun>&) {
        ++updateRuns;
    };
    frame.Updates().SetPending(true);

    // Another window is active (a dialog is open): not yet.
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    frame.View().Tick();
    EXPECT_EQ(updateRuns, 0);

    ASSERT_TRUE(ShowActive());
    frame.View().Tick();
    EXPECT_EQ(updateRuns, 1);
    // The dialog did not start the run: "no update" is reported.
    ASSERT_EQ(messages.texts.size(), 1);
    EXPECT_EQ(messages.texts[0], QString::fromStdU16String(LookupText("msg_noupdates")));

    frame.Updates().SetPending(true);
    frame.View().Tick();
    frame.View().Tick();
    EXPECT_EQ(updateRuns, 1);
}

// An update server on 127.0.0.1 serving a folder, for the life of the object.
class LocalUpdateServer {
public:
    LocalUpdateServer() {
        server_.setProcessChannelMode(QProcess::MergedChannels);
        server_.start(QStringLiteral("python3"),
                      {QStringLiteral("-u"), QStringLiteral("-m"), QStringLiteral("http.server"),
                       QStringLiteral("0"), QStringLiteral("--bind"), QStringLiteral("127.0.0.1"),
                       QStringLiteral("--directory"), test::QtPath(folder_)});
        if (!server_.waitForStarted())
            return;
        QByteArray output;
        while (!output.contains("port") && server_.waitForReadyRead(5000))
            output += server_.readAll();
        const qsizetype at = output.indexOf("port ");
        if (at >= 0)
            port_ = output.mid(at + 5).split(' ').front().toInt();
    }
    ~LocalUpdateServer() {
        server_.kill();
        server_.waitForFinished();
    }
    QString Folder() const { return test::QtPath(folder_) + QStringLiteral("/downloads/mobile"); }
    const test::ScratchFolder& Root() const { return folder_; }
    std::u16string Address() const {
        return QStringLiteral("http://127.0.0.1:%1").arg(port_).toStdU16String();
    }
    int Port() const { return port_; }

private:
    test::ScratchFolder folder_;
    QProcess server_;
    int port_ = 0;
};

TEST_F(MainFrameTest, UpdateStopsPlaybackThenReloadsAndTellsTheUser) {
    test::RecordedMessages messages;
    LocalUpdateServer server;
    ASSERT_GT(server.Port(), 0);
    ASSERT_TRUE(QDir().mkpath(server.Folder()));
    DocNode marker("2.0");
    ASSERT_TRUE(
        marker.SaveToFile((server.Folder() + QStringLiteral("/cupdate.dat")).toStdU16String()));
    ASSERT_TRUE(test::WriteCatalogue(server.Folder() + QStringLiteral("/Channels.lmch"), "2.0",
                                     {{"it", "new", u"Nuovo", "n", {u"http://new"}}}));

    MainFrame& frame = MakeFrame(TwoChannels());
    SetStringSetting(kUpdateServer, server.Address());
    frame.View().OnMessage(UM_PLAY, FindChannel("de_one"));
    player_->calls.clear();

    frame.OnCommand(ID_CHANNEL_UPDATE);
    ASSERT_EQ(messages.texts.size(), 1);
    EXPECT_EQ(messages.texts[0], QString::fromStdU16String(LookupText("msg_cupdated")));
    EXPECT_EQ(player_->calls, std::vector<std::string>{"stop"});
    EXPECT_FALSE(frame.View().Controls()->isPlaying());
    EXPECT_EQ(TheCatalogue()->Version(), "2.0");
    EXPECT_NE(FindChannel("it_new"), nullptr);
    EXPECT_EQ(FindChannel("de_one"), nullptr);
    // The old channel is gone, and so is its name above the player.
    EXPECT_EQ(TheCatalogue()->CurrentChannel(), nullptr);
    EXPECT_TRUE(frame.View().TitleBar()->channelName().isEmpty());
}

TEST_F(MainFrameTest, UpdateFromADeadServerSaysSoAndKeepsTheCatalogue) {
    test::RecordedMessages messages;
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const quint16 deadPort = probe.serverPort();
    probe.close();

    MainFrame& frame = MakeFrame(TwoChannels());
    SetStringSetting(kUpdateServer,
                     QStringLiteral("http://127.0.0.1:%1").arg(deadPort).toStdU16String());
    frame.OnCommand(ID_CHANNEL_UPDATE);
    ASSERT_EQ(messages.texts.size(), 1);
    EXPECT_EQ(messages.texts[0], QString::fromStdU16String(LookupText("msg_error_connection")));
    EXPECT_EQ(TheCatalogue()->Version(), "1.0");
    EXPECT_NE(FindChannel("de_one"), nullptr);
}

TEST_F(MainFrameTest, BadCatalogueCostsTheUserOnlyAFewMessages) {
    test::RecordedMessages messages;
    app_.ShowCatalogueMessages();
    std::vector<TestChannel> broken;
    for (int i = 0; i < 300; ++i)
        broken.push_back({"de", "c" + std::to_string(i), u"Kaputt", "n", {}});
    MakeFrame(broken);
    ASSERT_EQ(messages.texts.size(), kMaxCatalogueMessageBoxes + 1);
    EXPECT_TRUE(messages.texts.front().contains(QStringLiteral("No url!")));
    EXPECT_TRUE(messages.texts.back().startsWith(QStringLiteral("295 more")));

    // The next load counts afresh.
    messages.texts.clear();
    app_.ReloadCatalogue();
    EXPECT_EQ(messages.texts.size(), kMaxCatalogueMessageBoxes + 1);
}

TEST_F(MainFrameTest, TheWindowTakesTheCatalogueLoadingBesideItBeforeItIsShown) {
    auto channels = TwoChannels();
    channels.push_back({"de", "bad", u"Kaputt", "n", {}});
    test::RecordedMessages messages;
    app_.ShowCatalogueMessages();
    SetStringSetting(kCurChannel, u"fr_two");
    MainFrame& frame = MakeFrameBesideLoad(channels);

    // Built, not shown yet: the catalogue is in, its message has been shown
    // and the title strip names the current channel.
    EXPECT_FALSE(frame.isVisible());
    EXPECT_FALSE(app_.Preload().Pending());
    ASSERT_NE(TheCatalogue(), nullptr);
    EXPECT_EQ(messages.texts.size(), 1);
    EXPECT_EQ(frame.View().ShownName(), QStringLiteral("Deux"));
    EXPECT_NE(TheCatalogue()->Countries().at("de")->flag, nullptr);
    frame.OnCommand(ID_FULLSCREEN);
    EXPECT_EQ(messages.texts.size(), 1);
}

TEST_F(MainFrameTest, APlaylistFromTheCommandLineIsOfferedAsTheChannelSource) {
    MainFrame& frame = MakeFrame(TwoChannels());
    const QString playlist = folders_.DataHome() + QStringLiteral("/mine.m3u");
    int updates = 0;
    TheShellHooks().updateDialog = [&](QWidget*, const std::shared_ptr<UpdateRun>&) { ++updates; };
    struct Case {
        int answer;
        std::u16string sourceAfter;
        int questions;
        int updates;
    };
    const std::u16string builtIn = UpdateServer();
    // No keeps the source; yes takes the playlist and updates from it; then
    // it is the source and nothing is asked.
    for (const Case& c : {Case{kMessageResultNo, builtIn, 1, 0},
                          Case{kMessageResultYes, playlist.toStdU16String(), 1, 1},
                          Case{kMessageResultYes, playlist.toStdU16String(), 0, 0}}) {
        QStringList questions;
        SetMessagePresenter([&](QWidget*, const QString& text, const QString&, int style) {
            if (style != kMessageStyleYesNo)
                return kMessageResultOk;  // what the update says afterwards
            questions << text;
            return c.answer;
        });
        updates = 0;
        frame.OfferChannelSource(playlist);
        SetMessagePresenter({});
        EXPECT_EQ(questions.size(), c.questions);
        if (!questions.isEmpty()) {
            EXPECT_TRUE(questions[0].contains(playlist)) << questions[0].toStdString();
        }
        EXPECT_EQ(UpdateServer(), c.sourceAfter);
        EXPECT_EQ(updates, c.updates);
    }
}

TEST_F(MainFrameTest, TheProgramsPlayerIsMadeOnceTheWindowHasBeenPainted) {
    PlayerViewOptions options;
    options.cataloguePath = cataloguePath_.toStdU16String();
    frame_ = std::make_unique<MainFrame>(app_, std::move(options));
    // Built without waiting for libmpv; painted, the view makes its player.
    EXPECT_EQ(frame_->View().Player(), nullptr);
    frame_->resize(360, 640);
    frame_->show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return frame_->View().Player() != nullptr; }, 10000));
}

TEST_F(MainFrameTest, RealPlayerShowsThePictureOfAChannel) {
    // The offline test card of the shipped catalogue: a lavfi test source.
    ASSERT_TRUE(test::WriteCatalogue(
        cataloguePath_, "1.0",
        {{"de", "bars", u"Testbild", "n", {u"av://lavfi:testsrc=size=320x240:rate=25"}}}));
    MediaPlayerHost* host = MakeRealPlayerFrame();
    if (host == nullptr)
        GTEST_SKIP() << "mpv could not start here";
    PlayerView& view = frame_->View();

    view.OnMessage(UM_PLAY, FindChannel("de_bars"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return host->Video()->FramesRendered() > 3; }, 10000));
    EXPECT_TRUE(view.Controls()->isPlaying());
    EXPECT_FALSE(view.TitleBar()->status().isEmpty());
    const QImage image = frame_->grab().toImage();
    const QRect picture = host->Window()->geometry();
    // The test picture is colourful: its middle is not the black of an
    // empty player.
    EXPECT_NE(QColor(image.pixel(picture.center())).rgb(), QColor(Qt::black).rgb());
    test::SaveScreenshot(*frame_, QStringLiteral("main_window_playing"));

    view.OnMessage(UM_STOP);
    EXPECT_FALSE(view.Controls()->isPlaying());
}

TEST_F(MainFrameTest, RealPlayerRefusesAddressesThatReachBeyondTheNetwork) {
    // A short clip made by ffmpeg, a file that must keep its content, and
    // a descriptor of this process that must stay open.
    test::ScratchFolder scratch;
    const QString clip = test::QtPath(scratch, "bars.ts");
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-f"),
                  QStringLiteral("lavfi"), QStringLiteral("-i"),
                  QStringLiteral("testsrc=size=320x240:rate=25"), QStringLiteral("-t"),
                  QStringLiteral("5"), QStringLiteral("-c:v"), QStringLiteral("mpeg2video"), clip});
    ASSERT_TRUE(ffmpeg.waitForFinished(30000) && ffmpeg.exitCode() == 0);
    const QString kept = test::QtPath(scratch, "kept.txt");
    {
        QFile file(kept);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("the user's file");
    }
    const int descriptor = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(descriptor, 0);

    const std::vector<std::u16string> hostile = {
        u"fdclose://" + QString::number(descriptor).toStdU16String(),
        u"fd://0",
        clip.toStdU16String(),
        u"file://" + clip.toStdU16String(),
        u"av://lavfi:testsrc2,metadata=mode=print:file=" + kept.toStdU16String(),
        u"av://lavfi:movie=" + clip.toStdU16String(),
    };
    std::vector<TestChannel> channels;
    for (std::size_t i = 0; i < hostile.size(); ++i)
        channels.push_back({"de", "bad" + std::to_string(i), u"Schlecht", "n", {hostile[i]}});
    channels.push_back(
        {"de", "card", u"Testbild", "n", {u"av://lavfi:testsrc2=size=320x240:rate=25"}});
    ASSERT_TRUE(test::WriteCatalogue(cataloguePath_, "1.0", channels));
    MediaPlayerHost* host = MakeRealPlayerFrame();
    if (host == nullptr)
        GTEST_SKIP() << "mpv could not start here";
    PlayerView& view = frame_->View();

    for (std::size_t i = 0; i < hostile.size(); ++i) {
        SCOPED_TRACE(QString::fromStdU16String(hostile[i]).toStdString());
        view.OnMessage(UM_PLAY, FindChannel("de_bad" + std::to_string(i)));
        EXPECT_EQ(view.TitleBar()->status(), QStringLiteral("Cannot play stream"));
        EXPECT_FALSE(view.Controls()->isPlaying());
        EXPECT_EQ(view.LastPlaybackEnd(), PlaybackEnd::CannotPlay);
    }
    // Given time to do harm, nothing played, was written or was closed.
    QTest::qWait(1500);
    EXPECT_EQ(host->Video()->FramesRendered(), 0);
    EXPECT_EQ(view.TitleBar()->status(), QStringLiteral("Cannot play stream"));
    QFile file(kept);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("the user's file"));
    EXPECT_NE(::fcntl(descriptor, F_GETFD), -1);
    ::close(descriptor);

    view.OnMessage(UM_PLAY, FindChannel("de_card"));
    EXPECT_TRUE(view.Controls()->isPlaying());
    EXPECT_TRUE(QTest::qWaitFor([&] { return host->Video()->FramesRendered() > 3; }, 10000));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return view.TitleBar()->status() == QStringLiteral("Playing"); }, 10000));
}

// Runs a guide update the way `start` does and waits for its end.
std::optional<GuideUpdater::Outcome> GuideUpdateOf(MainFrame& frame,
                                                   const std::function<void()>& start) {
    QSignalSpy ended(&frame.Guide(), &GuideUpdater::finished);
    start();
    if (!ended.wait(20000))
        return std::nullopt;
    return ended.front().front().value<GuideUpdater::Outcome>();
}

TEST_F(MainFrameTest, APlaylistsGuideArrivesWithoutTheUserAndIsKeptWhileFresh) {
    test::RecordedMessages messages;
    LocalUpdateServer server;
    ASSERT_NE(server.Port(), 0);
    const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
    test::WriteFileBytes(
        (test::QtPath(server.Root()) + QStringLiteral("/guide.xml.gz")).toStdString(),
        test::Gzip(test::Guide(test::Channel("One.de", "Das Erste") +
                               test::Programme("One.de", test::XmltvStamp(now - 600),
                                               test::XmltvStamp(now + 600), "Tagesschau"))));
    std::vector<TestChannel> channels = TwoChannels();
    channels[0].tvgId = u"one.de";
    MainFrame& frame = MakeFrame(
        channels, QString::fromStdU16String(server.Address() + u"/guide.xml.gz").toStdU16String());

    EXPECT_EQ(GuideUpdateOf(frame, [&] { frame.UpdateGuide(GuideUpdater::When::Stale); }),
              GuideUpdater::Outcome::Updated);
    // The window reads the new store at once.
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame.Programmes().Ready(); }, 5000));
    const std::optional<ProgrammeSummary> onNow = frame.Programmes().On("de_one", now);
    ASSERT_TRUE(onNow.has_value());
    EXPECT_EQ(onNow->title, "Tagesschau");
    EXPECT_TRUE(frame.View().TitleBar()->note().isEmpty());

    // Fresh: a start does nothing; the user's request asks the server,
    // which says the guide has not changed.
    EXPECT_EQ(GuideUpdateOf(frame, [&] { frame.UpdateGuide(GuideUpdater::When::Stale); }),
              GuideUpdater::Outcome::Current);
    EXPECT_EQ(GuideUpdateOf(frame, [&] { frame.OnCommand(ID_GUIDE_UPDATE); }),
              GuideUpdater::Outcome::Current);
    EXPECT_TRUE(messages.texts.isEmpty());
}

TEST_F(MainFrameTest, OnlyAGuideUpdateTheUserAskedForSaysThatItFailed) {
    test::RecordedMessages messages;
    MainFrame& frame = MakeFrame(TwoChannels());
    SetStringSetting(kGuideSources, u"/nowhere/guide.xml");
    EXPECT_EQ(GuideUpdateOf(frame, [&] { frame.UpdateGuide(GuideUpdater::When::Stale); }),
              GuideUpdater::Outcome::Failed);
    EXPECT_TRUE(messages.texts.isEmpty());
    EXPECT_EQ(GuideUpdateOf(frame, [&] { frame.OnCommand(ID_GUIDE_UPDATE); }),
              GuideUpdater::Outcome::Failed);
    ASSERT_EQ(messages.texts.size(), 1);
    EXPECT_EQ(messages.texts[0], QString::fromStdU16String(LookupText("msg_guide_failed")));
}

// A guide store where the user's is, with these programmes of the
// catalogue channel "de_one" (guide channel "one.de"): title, start, stop.
void WriteGuideStore(
    const std::vector<std::tuple<std::string, std::int64_t, std::int64_t>>& shows) {
    std::string body = test::Channel("one.de", "Eins");
    for (const auto& [title, start, stop] : shows)
        body += test::Programme("one.de", test::XmltvStamp(start), test::XmltvStamp(stop), title);
    test::ScratchFolder folder;
    test::WriteFileBytes(folder.Path() / "guide.xml", test::Guide(body));
    GuideImportOptions options;
    options.now = ProgrammeGuide::Now();
    std::string error;
    std::unique_ptr<GuideImport> import =
        GuideImport::Begin(GuideStorePath().toStdString(), options, error);
    ASSERT_TRUE(import) << error;
    ASSERT_TRUE(ImportGuideFile(*import, (folder.Path() / "guide.xml").string()));
    CatalogueChannel one;
    one.lumoraId = "de_one";
    one.tvgId = "one.de";
    ASSERT_TRUE(import->Commit(std::vector<CatalogueChannel>{one})) << import->Error();
}

TEST_F(MainFrameTest, TheTitleStripShowsTheProgrammeOncePlayingAndTheNextWhenItEnds) {
    const std::int64_t now = ProgrammeGuide::Now();
    WriteGuideStore({{"First", now - 60, now + 2}, {"Second", now + 2, now + 3600}});
    MainFrame& frame = MakeFrame(TwoChannels());
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame.Programmes().Ready(); }, 5000));
    MprisService mpris(frame, nullptr);
    QSignalSpy programmeChanges(&frame.ProgrammeShown(), &ProgrammeTitle::programmeChanged);
    ChannelTitleBar& bar = *frame.View().TitleBar();
    frame.View().OnMessage(UM_PLAY, FindChannel("de_one"));
    frame.View().OnPlayerStatus({PlayerStatus::Going, u"Connecting"});
    EXPECT_TRUE(bar.programme().isEmpty());  // other statuses keep their place

    frame.View().OnPlayerStatus({PlayerStatus::Going, Localised(kTextPlaying)});
    EXPECT_TRUE(bar.programme().endsWith(QStringLiteral(" First")))
        << bar.programme().toStdString();
    EXPECT_GT(bar.programmeProgress(), 0.9);
    EXPECT_EQ(mpris.Metadata().value(QStringLiteral("xesam:title")).toString(),
              QStringLiteral("First"));
    EXPECT_EQ(mpris.Metadata().value(QStringLiteral("xesam:artist")).toStringList(),
              QStringList{QStringLiteral("Eins")});

    test::SaveScreenshot(frame, QStringLiteral("main_window_programme"));

    // By itself when the programme ends.
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return bar.programme().endsWith(QStringLiteral(" Second")); }, 5000));
    EXPECT_LT(bar.programmeProgress(), 0.1);
    EXPECT_EQ(programmeChanges.size(), 2);
    const QVariantMap metadata = mpris.Metadata();
    EXPECT_EQ(metadata.value(QStringLiteral("xesam:title")).toString(), QStringLiteral("Second"));
    EXPECT_EQ(metadata.value(QStringLiteral("mpris:length")).toLongLong(), 3598LL * 1000000);

    // Stopped: the status again, and the channel's name for the desktop.
    frame.View().OnMessage(UM_STOP);
    frame.View().OnPlayerStatus({PlayerStatus::NotPlaying, u"Stopped"});
    EXPECT_TRUE(bar.programme().isEmpty());
    EXPECT_EQ(mpris.Metadata().value(QStringLiteral("xesam:title")).toString(),
              QStringLiteral("Eins"));
}

TEST_F(MainFrameTest, AChannelListRowShowsWhatIsOnAndHowFarItHasRun) {
    const std::int64_t now = ProgrammeGuide::Now();
    WriteGuideStore({{"Tagesschau", now - 600, now + 600}});
    MainFrame& frame = MakeFrame(TwoChannels());
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame.Programmes().Ready(); }, 5000));
    ChannelListDialog dialog(nullptr, frame.Zapping());
    dialog.show();
    dialog.resize(360, 600);
    QApplication::processEvents();
    test::SaveScreenshot(dialog, QStringLiteral("dialog_channel_list_programme"));
    // The progress line's blue, half-way along the guided row only ("Eins",
    // after "Deux"); right of the flags.
    const QImage shot = dialog.ChannelList()->viewport()->grab().toImage();
    const int rowHeight = ChannelRowDelegate::RowHeight();
    const int textLeft = 24 * std::max(1, rowHeight / 32);
    auto blueColumns = [&](int row) {
        int columns = 0;
        for (int x = textLeft; x < shot.width(); ++x) {
            bool blue = false;
            for (int y = row * rowHeight; y < (row + 1) * rowHeight && y < shot.height(); ++y) {
                const QColor c(shot.pixel(x, y));
                blue = blue || (c.blue() > 180 && c.red() < 100);
            }
            columns += blue ? 1 : 0;
        }
        return columns;
    };
    const int guided = blueColumns(1);
    EXPECT_GT(guided, (shot.width() - textLeft) / 4);
    EXPECT_LT(guided, (shot.width() - textLeft) * 3 / 4);
    EXPECT_EQ(blueColumns(0), 0);
}

TEST_F(MainFrameTest, RealPlayerStartsAtTheSavedVolume) {
    SetIntSetting(kSoundVolume, 35);
    ASSERT_TRUE(test::WriteCatalogue(cataloguePath_, "1.0", TwoChannels()));
    MediaPlayerHost* host = MakeRealPlayerFrame();
    if (host == nullptr)
        GTEST_SKIP() << "mpv could not start here";
    // mpv's own volume, as mpv reports it, before any slider move.
    EXPECT_TRUE(QTest::qWaitFor([&] { return host->PlayerVolume() == 35.0; }, 5000));
}

TEST_F(MainFrameTest, PlayerThatCannotStartSaysSoAndTheProgramStaysUsable) {
    struct Row {
        bool ready;
        std::u16string reason;
        bool plays;
    };
    for (const Row& row :
         {Row{false, u"No player here.", false}, Row{true, u"No picture here.", true}}) {
        SCOPED_TRACE(QString::fromStdU16String(row.reason).toStdString());
        test::RecordedMessages messages;
        frame_.reset();
        EXPECT_TRUE(test::WriteCatalogue(cataloguePath_, "1.0", TwoChannels()));
        PlayerViewOptions options;
        options.cataloguePath = cataloguePath_.toStdU16String();
        options.playerFactory = [&](QWidget* parent, const QRect& rect) {
            auto output = std::make_unique<FakeOutput>(parent, rect);
            output->FailToStart(row.ready, row.reason);
            player_ = output.get();
            return output;
        };
        frame_ = std::make_unique<MainFrame>(app_, std::move(options));
        QApplication::processEvents();
        // One box at start naming what failed.
        EXPECT_EQ(messages.texts, QStringList{QString::fromStdU16String(row.reason)});

        PlayerView& view = frame_->View();
        view.OnMessage(UM_PLAY, FindChannel("de_one"));
        EXPECT_EQ(view.Controls()->isPlaying(), row.plays);
        EXPECT_EQ(player_->played.size(), row.plays ? 1u : 0u);
        if (!row.plays) {
            EXPECT_EQ(view.TitleBar()->status(), QString::fromStdU16String(row.reason));
        }
        EXPECT_EQ(view.TitleBar()->channelName(), QStringLiteral("Eins"));
    }
}

TEST_F(MainFrameTest, ScreenshotsAt96And192Dpi) {
    for (int dpi : {96, 192}) {
        SCOPED_TRACE(dpi);
        frame_.reset();
        test::LoadShippedInterface(dpi);
        MainFrame& frame = MakeFrame(TwoChannels());
        frame.resize(360 * dpi / 96, 640 * dpi / 96);
        frame.show();
        QApplication::processEvents();
        frame.View().OnMessage(UM_PLAY, FindChannel("de_one"));
        frame.View().OnPlayerStatus({PlayerStatus::Going, u"Buffering 40%"});
        const int bar = BarHeight();
        EXPECT_EQ(bar, dpi == 96 ? 24 : 48);
        EXPECT_EQ(frame.SoftKeys().height(), bar);
        EXPECT_EQ(frame.View().TitleBar()->height(), bar);
        const QImage image = frame.grab().toImage();
        // The frame around the player is drawn in the frame pen's colour.
        const QPoint corner = player_->Window()->geometry().topLeft() - QPoint(1, 1);
        EXPECT_EQ(QColor(image.pixel(corner)), FramePen().color());
        // Between the bars the background brush shows beside the frame.
        EXPECT_EQ(QColor(image.pixel(0, bar + 1)), BackgroundBrush().color());
        test::SaveScreenshot(frame, QStringLiteral("main_window_%1dpi").arg(dpi));
    }
}

TEST_F(MainFrameTest, PauseRewindAndLiveMoveWithinTheBufferAndSayWhereThePictureIs) {
    SetIntSetting(kTimeshiftMinutes, 10);
    MainFrame& frame = MakeFrame(TwoChannels());
    ASSERT_TRUE(ShowActive());
    PlayerView& view = frame.View();
    view.OnMessage(UM_PLAY, FindChannel("de_one"));
    EXPECT_EQ(player_->timeshiftSeconds, 600);
    PositionBar& bar = *view.Controls()->positionBar();
    player_->position = {true, 500, 100, 501, true, false, 400};
    view.Tick();
    EXPECT_TRUE(bar.isVisible());
    EXPECT_EQ(bar.shown().text, Text("str_live"));

    // Paused: the title strip says so, and the bar takes the arrow keys.
    QTest::keyClick(&frame, Qt::Key_P);
    EXPECT_TRUE(player_->position.paused);
    EXPECT_TRUE(bar.hasFocus());
    player_->position.end = 531;
    view.Tick();
    EXPECT_EQ(view.TitleBar()->mark(), Text("str_paused") + QStringLiteral(" -00:31"));
    QTest::keyClick(&bar, Qt::Key_Left);
    EXPECT_DOUBLE_EQ(player_->position.position, 470);
    // Never further back than the buffer holds (here less than the window).
    for (int i = 0; i < 20; ++i)
        QTest::keyClick(&bar, Qt::Key_Left);
    EXPECT_DOUBLE_EQ(player_->position.position, 100);
    EXPECT_EQ(bar.shown().text, QStringLiteral("-07:11"));

    // Back to live: playing again, at the edge.
    QTest::keyClick(&frame, Qt::Key_L);
    EXPECT_FALSE(player_->position.paused);
    EXPECT_DOUBLE_EQ(player_->position.position, 531 - kLiveMarginSeconds / 2);
    view.Tick();
    EXPECT_TRUE(view.TitleBar()->mark().isEmpty());
}

TEST_F(MainFrameTest, ABufferPastItsWindowWhileWatchingLiveOpensTheStreamAgain) {
    SetIntSetting(kTimeshiftMinutes, 1);
    MainFrame& frame = MakeFrame(TwoChannels());
    frame.View().OnMessage(UM_PLAY, FindChannel("de_one"));
    ASSERT_EQ(player_->played.size(), 1u);
    player_->position = {true, 100, 0, 101, true, false, 60};
    frame.View().Tick();
    EXPECT_EQ(player_->played.size(), 1u);
    player_->position.bufferAge = 67;
    frame.View().Tick();
    ASSERT_EQ(player_->played.size(), 2u);
    EXPECT_EQ(player_->played[1], player_->played[0]);

    // With pausing off there is nothing to move in.
    SetIntSetting(kTimeshiftMinutes, 0);
    frame.View().OnMessage(UM_PLAY, FindChannel("de_one"));
    EXPECT_EQ(player_->timeshiftSeconds, 0);
    player_->position = {true, 100, 0, 101, true, false, 6000};
    frame.View().Tick();
    EXPECT_FALSE(frame.View().Controls()->positionBar()->isVisibleTo(&frame));
    EXPECT_EQ(player_->played.size(), 3u);
}

// A grid over both channels, "Eins" (with a past, a current and a later
// programme) first.
class GuideGridTest : public MainFrameTest {
protected:
    GuideGridDialog& MakeGrid() {
        const std::int64_t now = ProgrammeGuide::Now();
        WriteGuideStore({{"Past", now - 3600, now - 600},
                         {"Current", now - 600, now + 1200},
                         {"Later", now + 1200, now + 4800}});
        MainFrame& frame = MakeFrame(TwoChannels());
        EXPECT_TRUE(QTest::qWaitFor([&] { return frame.Programmes().Ready(); }, 5000));
        grid_ = std::make_unique<GuideGridDialog>(
            nullptr, std::vector<Channel*>{FindChannel("de_one"), FindChannel("fr_two")},
            &frame.Programmes());
        grid_->resize(360, 600);
        return *grid_;
    }
    QString Selected() const {
        const auto& programme = grid_->Grid().SelectedProgramme();
        return programme ? QString::fromStdString(programme->title) : QStringLiteral("-");
    }
    std::unique_ptr<GuideGridDialog> grid_;
};

TEST_F(GuideGridTest, KeysMoveTheSelectionAlongARowAndAcrossRows) {
    GuideGridDialog& grid = MakeGrid();
    EXPECT_EQ(Selected(), QStringLiteral("Current"));
    struct Step {
        int key;
        int row;
        const char* programme;
    };
    const Step steps[] = {
        {Qt::Key_Right, 0, "Later"},  {Qt::Key_Right, 0, "Later"},  // nothing after it
        {Qt::Key_Left, 0, "Current"}, {Qt::Key_Left, 0, "Past"},   {Qt::Key_Home, 0, "Current"},
        {Qt::Key_Down, 1, "-"},  // a channel without a guide
        {Qt::Key_Up, 0, "Current"},   {Qt::Key_PageDown, 1, "-"},  {Qt::Key_PageUp, 0, "Current"},
    };
    for (const Step& step : steps) {
        QTest::keyClick(&grid.Grid(), Qt::Key(step.key));
        EXPECT_EQ(grid.Grid().SelectedRow(), step.row) << step.key;
        EXPECT_EQ(Selected(), QString::fromLatin1(step.programme)) << step.key;
    }
}

TEST_F(GuideGridTest, EnterPlaysACurrentProgrammeAndRefusesAPastOne) {
    GuideGridDialog& grid = MakeGrid();
    test::RecordedMessages messages;
    QTest::keyClick(&grid.Grid(), Qt::Key_Left);
    QTest::keyClick(&grid.Grid(), Qt::Key_Return);
    EXPECT_FALSE(grid.PlayRequested());
    EXPECT_EQ(messages.texts, QStringList{Text("msg_programme_ended")});

    QTest::keyClick(&grid.Grid(), Qt::Key_Home);
    QTest::keyClick(&grid.Grid(), Qt::Key_Return);
    EXPECT_TRUE(grid.PlayRequested());
    EXPECT_EQ(grid.ChosenChannel(), FindChannel("de_one"));
}

// A point inside the cell of `row` at `at`, left-to-right.
QPoint CellPoint(const GuideGridView& grid, int row, std::int64_t at) {
    const int x = grid.NameWidth() + int((at - grid.ViewStart()) * grid.HalfHourWidth() / 1800);
    const int y = GuideGridView::HeaderHeight() + row * GuideGridView::RowHeight() +
                  GuideGridView::RowHeight() / 2;
    return grid.isRightToLeft() ? QPoint(grid.width() - 1 - x, y) : QPoint(x, y);
}

void Wheel(GuideGridView& grid, QPoint delta, Qt::KeyboardModifiers modifiers = {}) {
    const QPointF at(grid.width() / 2.0, grid.height() / 2.0);
    QWheelEvent event(at, grid.mapToGlobal(at), QPoint(), delta, Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&grid, &event);
}

TEST_F(GuideGridTest, AClickSelectsADoubleClickWatchesAndTheWheelScrolls) {
    GuideGridDialog& grid = MakeGrid();
    grid.show();
    QApplication::processEvents();
    GuideGridView& view = grid.Grid();
    const std::int64_t now = ProgrammeGuide::Now();
    QTest::mouseClick(&view, Qt::LeftButton, {}, CellPoint(view, 0, now + 1500));
    EXPECT_EQ(Selected(), QStringLiteral("Later"));
    EXPECT_FALSE(grid.PlayRequested());
    QTest::mouseDClick(&view, Qt::LeftButton, {}, CellPoint(view, 0, now));
    EXPECT_EQ(Selected(), QStringLiteral("Current"));
    EXPECT_TRUE(grid.PlayRequested());

    // Shift+wheel moves time by half hours, a touchpad's small turns add up.
    const std::int64_t start = view.ViewStart();
    Wheel(view, {0, -120}, Qt::ShiftModifier);
    EXPECT_EQ(view.ViewStart(), start + 1800);
    Wheel(view, {0, 60}, Qt::ShiftModifier);
    EXPECT_EQ(view.ViewStart(), start + 1800);
    Wheel(view, {0, 60}, Qt::ShiftModifier);
    EXPECT_EQ(view.ViewStart(), start);
    // The wheel alone scrolls rows, in a view one row high.
    view.resize(view.width(), GuideGridView::HeaderHeight() + GuideGridView::RowHeight());
    Wheel(view, {0, -120});
    EXPECT_EQ(view.TopRow(), 1);
    Wheel(view, {0, 120});
    EXPECT_EQ(view.TopRow(), 0);
}

TEST_F(GuideGridTest, RightToLeftTimeRunsLeftwardsForKeysAndClicks) {
    GuideGridDialog& grid = MakeGrid();
    grid.setLayoutDirection(Qt::RightToLeft);
    grid.show();
    QApplication::processEvents();
    GuideGridView& view = grid.Grid();
    ASSERT_TRUE(view.isRightToLeft());
    QTest::keyClick(&view, Qt::Key_Left);
    EXPECT_EQ(Selected(), QStringLiteral("Later"));
    QTest::keyClick(&view, Qt::Key_Right);
    QTest::keyClick(&view, Qt::Key_Right);
    EXPECT_EQ(Selected(), QStringLiteral("Past"));
    QTest::mouseClick(&view, Qt::LeftButton, {}, CellPoint(view, 0, ProgrammeGuide::Now() + 1500));
    EXPECT_EQ(Selected(), QStringLiteral("Later"));
}

TEST_F(GuideGridTest, ANarrowWindowStillShowsAnHourAndAHalfAtBothScales) {
    for (const int dpi : {96, 192}) {
        SCOPED_TRACE(dpi);
        test::LoadShippedInterface(dpi);
        GuideGridDialog& grid = MakeGrid();
        grid.resize(360, 640);
        grid.show();
        QApplication::processEvents();
        const GuideGridView& view = grid.Grid();
        const double hours = double(view.width() - view.NameWidth()) / view.HalfHourWidth() / 2.0;
        EXPECT_GE(hours, GuideGridView::kHoursInView);
        EXPECT_GE(view.HalfHourWidth(), 3 * BarHeight() / 2);  // a time and a word still fit
        grid_.reset();
        frame_.reset();
    }
    test::LoadShippedInterface(96);
}

TEST_F(GuideGridTest, TheGuideCommandPlaysWhatTheGridChose) {
    MainFrame& frame = MakeFrame(TwoChannels());
    TheShellHooks().guideGridDialog = [&](QWidget*) {
        return ChannelChoice{true, FindChannel("fr_two"), std::nullopt};
    };
    frame.OnCommand(ID_GUIDE);
    TheShellHooks().guideGridDialog = {};
    EXPECT_EQ(TheCatalogue()->CurrentChannel(), FindChannel("fr_two"));
}

TEST_F(GuideGridTest, ScreenshotsAtBothScales) {
    for (const int dpi : {96, 192}) {
        test::LoadShippedInterface(dpi);
        GuideGridDialog& grid = MakeGrid();
        grid.show();
        QApplication::processEvents();
        test::SaveScreenshot(grid, QStringLiteral("dialog_guide_grid_%1").arg(dpi));
        grid_.reset();
        frame_.reset();
    }
    test::LoadShippedInterface(96);
}

// "Eins" keeps two days of programmes in its provider's archive.
class CatchupTest : public GuideGridTest {
protected:
    void SetUp() override {
        GuideGridTest::SetUp();
        now_ = ProgrammeGuide::Now();
        WriteGuideStore({{"Past", now_ - 3600, now_ - 600},
                         {"Current", now_ - 600, now_ + 1200},
                         {"Ancient", now_ - 3 * 86400, now_ - 3 * 86400 + 600}});
        std::vector<TestChannel> channels = TwoChannels();
        channels[0].catchup = {CatchupStyle::Shift, {}, 2, 0};
        MainFrame& frame = MakeFrame(channels);
        ASSERT_TRUE(QTest::qWaitFor([&] { return frame.Programmes().Catchup("de_one"); }, 5000));
    }
    std::optional<ProgrammeSummary> Programme(const char* title) {
        for (const ProgrammeSummary& programme :
             frame_->Programmes().Between("de_one", now_ - 4 * 86400, now_ + 3600)) {
            if (programme.title == title)
                return programme;
        }
        return std::nullopt;
    }
    std::u16string ArchiveOf(std::int64_t start) const {
        return u"http://127.0.0.1:9/eins.ts?x=1&y=%20&utc=" + FromUtf8(std::to_string(start)) +
               u"&lutc=";
    }
    std::int64_t now_ = 0;
};

TEST_F(CatchupTest, OnlyProgrammesTheArchiveKeepsCanBeWatchedAgain) {
    ProgrammeGuide& guide = frame_->Programmes();
    EXPECT_TRUE(guide.InArchive("de_one", *Programme("Past"), now_));
    EXPECT_TRUE(guide.InArchive("de_one", *Programme("Current"), now_));
    EXPECT_FALSE(guide.InArchive("de_one", *Programme("Ancient"), now_));  // older than two days
    EXPECT_FALSE(guide.InArchive("fr_two", *Programme("Past"), now_));     // no archive
    GuideGridDialog grid(nullptr, {FindChannel("de_one"), FindChannel("fr_two")}, &guide);
    QTest::keyClick(&grid.Grid(), Qt::Key_Left);
    QTest::keyClick(&grid.Grid(), Qt::Key_Return);
    ASSERT_TRUE(grid.PlayRequested());
    ASSERT_TRUE(grid.ChosenArchived());
    EXPECT_EQ(grid.ChosenArchived()->title, "Past");
}

TEST_F(CatchupTest, AnArchivedProgrammePlaysFromItsStartNotLiveUntilTheUserGoesBack) {
    const ProgrammeSummary past = *Programme("Past");
    TheShellHooks().guideGridDialog = [&](QWidget*) {
        return ChannelChoice{true, FindChannel("de_one"), past};
    };
    frame_->OnCommand(ID_GUIDE);
    TheShellHooks().guideGridDialog = {};
    ASSERT_FALSE(player_->played.empty());
    EXPECT_TRUE(player_->played.back().starts_with(ArchiveOf(past.start)));
    PlayerView& view = frame_->View();
    view.OnPlayerStatus({PlayerStatus::Going, Localised(kTextPlaying)});
    player_->position = {true, 780, 0, 3000, false, false, 10};
    view.Tick();
    frame_->ProgrammeShown().Refresh();
    EXPECT_EQ(view.TitleBar()->mark(), Text("str_not_live"));
    EXPECT_TRUE(view.TitleBar()->programme().endsWith(QStringLiteral(" Past")));
    EXPECT_EQ(view.Controls()->positionBar()->shown().text,
              ProgrammeGuide::TimeOfDay(past.start + 780));

    // Back to live: the channel's own stream.
    frame_->OnCommand(ID_LIVE);
    EXPECT_EQ(player_->played.back(), u"http://127.0.0.1:9/eins.ts?x=1&y=%20");
    view.Tick();
    EXPECT_TRUE(view.TitleBar()->mark().isEmpty());
}

TEST_F(CatchupTest, TheProgrammeOnNowStartsFromItsBeginningAndAFailureOffersLive) {
    PlayerView& view = frame_->View();
    view.OnMessage(UM_PLAY, FindChannel("de_one"));
    frame_->OnCommand(ID_FROM_START);
    EXPECT_TRUE(player_->played.back().starts_with(ArchiveOf(Programme("Current")->start)));

    test::RecordedMessages messages;
    messages.answer = kMessageResultYes;
    view.OnPlayerStatus(
        {PlayerStatus::NotPlaying, Localised(kTextNotFound), PlaybackEnd::NotFound});
    EXPECT_EQ(view.StatusText(), Text("str_catchup_failed"));
    QApplication::processEvents();
    EXPECT_EQ(messages.texts, QStringList{Text("msg_catchup_live")});
    EXPECT_EQ(player_->played.back(), u"http://127.0.0.1:9/eins.ts?x=1&y=%20");
}

TEST_F(GuideGridTest, TheProgrammePageShowsWhatTheGuideKnows) {
    MakeFrame(TwoChannels());
    const std::int64_t now = ProgrammeGuide::Now();
    ProgrammeDetails details;
    details.summary = {1, now - 60, now + 60, "The Evening News"};
    details.subTitle = "Late edition";
    details.description = "What happened today.";
    details.categories = {"News", "Politics"};
    details.episodeXmltvNs = "1.4.0/1";
    details.rating = "12";
    ProgrammeDetailsDialog page(nullptr, *FindChannel("de_one"), details);
    const QString text = page.Body().toPlainText();
    for (const QString& expected :
         {QStringLiteral("The Evening News"), QStringLiteral("Late edition"),
          QStringLiteral("Eins"), QStringLiteral("News, Politics"), QStringLiteral("S2 E5"),
          QStringLiteral("What happened today.")})
        EXPECT_TRUE(text.contains(expected)) << expected.toStdString();
    EXPECT_TRUE(page.CanWatch());
    page.resize(360, 600);
    page.show();
    QApplication::processEvents();
    test::SaveScreenshot(page, QStringLiteral("dialog_programme_details"));
}

TEST_F(GuideGridTest, TheProgrammePageRecordsAndRemindsThroughTheRecordings) {
    const ScratchHome home;
    test::RecordedMessages messages;
    MakeFrame(TwoChannels());
    const Channel& channel = *FindChannel("de_one");
    const std::int64_t now = ProgrammeGuide::Now();
    using Page = ProgrammeDetailsDialog;
    const struct {
        const char* title;
        std::int64_t start, stop;
        int command;
        const char* message;  // nothing: the command is not offered
        bool added;           // a new entry, of this kind and state
        bool reminder;
        ScheduleState state;
    } rows[] = {
        {"Later", now + 3600, now + 7200, Page::kRecordCommand, "msg_recording_scheduled", true,
         false, ScheduleState::Scheduled},
        {"Later", now + 3600, now + 7200, Page::kRemindCommand, "msg_reminder_set", true, true,
         ScheduleState::Scheduled},
        {"Later",
         now + 3600,
         now + 7200,
         Page::kRecordCommand,
         "msg_recording_already",
         false,
         false,
         {}},
        {"Now", now - 60, now + 600, Page::kRecordCommand, "msg_recording_started", true, false,
         ScheduleState::Running},
        {"Now", now - 60, now + 600, Page::kRemindCommand, nullptr, false, false, {}},
        {"Past", now - 3600, now - 600, Page::kRecordCommand, nullptr, false, false, {}},
    };
    const RecordingSchedule& schedule = TheRecordings()->Entries();
    for (const auto& row : rows) {
        messages.texts.clear();
        const std::size_t before = schedule.Entries().size();
        ProgrammeDetails details;
        details.summary = {1, row.start, row.stop, row.title};
        Page page(nullptr, channel, details);
        if (row.command == Page::kRecordCommand) {
            QTest::keyClick(&page, Qt::Key_R);
        } else {
            // Through the right soft key's menu, as the keyboard reaches it.
            emit page.Menu().aboutToShow();
            page.Menu().actions()[1]->trigger();
        }
        const QString message = row.message != nullptr ? Text(row.message) : QString();
        EXPECT_EQ(messages.texts.value(0), message) << row.title;
        EXPECT_EQ(schedule.Entries().size(), before + (row.added ? 1 : 0)) << row.title;
        if (!row.added)
            continue;
        const ScheduledRecording& last = schedule.Entries().back();
        EXPECT_EQ(last.title, row.title);
        EXPECT_EQ(last.reminder, row.reminder) << row.title;
        EXPECT_EQ(last.state, row.state) << row.title;
    }
}

}  // namespace
}  // namespace lumora
