// The player against real streams on 127.0.0.1.

#include <algorithm>
#include <memory>

#include <QCoreApplication>
#include <QFile>

#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include "catalogue/settings.h"
#include "catalogue/settings_format.h"
#include "player/media_player_host.h"
#include "player/output_registry.h"
#include "player/player_event_sink.h"
#include "player/video_widget.h"
#include "player_test_support.h"
#include "process_state.h"

namespace lumora::test {
namespace {

// Generous bounds: a failure must arrive well within mpv's network timeout.
constexpr int kStartTimeoutMs = 8000;
constexpr int kFailureTimeoutMs = 15000;

class PlaybackTest : public ::testing::Test {
protected:
    void SetUp() override {
        parent_.resize(400, 300);
        parent_.show();
        MediaPlayerHost::Started started =
            MediaPlayerHost::Create(&parent_, QRect(40, 30, 320, 240), Options());
        host_ = std::move(started.host);
        ASSERT_TRUE(host_ && host_->Ready())
            << QString::fromStdU16String(started.failure).toStdString();
        host_->Window()->show();
    }

    void TearDown() override {
        host_.reset();
        ResetProcessState();
    }

    bool WaitForText(const std::u16string& text, int timeoutMs = kStartTimeoutMs) {
        return QTest::qWaitFor([&] { return recorder_.Saw(text); }, timeoutMs);
    }

    bool WaitForFailure(int timeoutMs = kFailureTimeoutMs) {
        return QTest::qWaitFor(
            [&] {
                return recorder_.Last() && recorder_.Last()->status == PlayerStatus::NotPlaying;
            },
            timeoutMs);
    }

    // Plays the address until frames are painted; checks the report order
    // and that the picture shows the test pattern.
    void ExpectPlaysPattern(const std::u16string& url, const QString& screenshot) {
        host_->Play(url);
        ASSERT_TRUE(WaitForText(u"Playing")) << "no Playing report";
        const int connecting = recorder_.IndexOf(u"Connecting...");
        ASSERT_GE(connecting, 0);
        EXPECT_LT(connecting, recorder_.IndexOf(u"Playing"));
        EXPECT_EQ(recorder_.reports[recorder_.IndexOf(u"Playing")].status, PlayerStatus::Going);
        for (const Report& report : recorder_.reports)
            EXPECT_TRUE(report.onUiThread);

        ASSERT_TRUE(QTest::qWaitFor([&] { return host_->Video()->FramesRendered() >= 5; },
                                    kStartTimeoutMs));
        const QImage picture = host_->Video()->grab().toImage();
        SaveScreenshot(picture, screenshot);
        // A 16:9 picture in a 4:3 window keeps black bars: 75% is lit.
        EXPECT_GT(ShareNotBlack(picture), 0.7);
        // testsrc2 is a patchwork of saturated colours.
        EXPECT_GT(CoarseColourCount(picture), 20);

        // Playing is not buffering: the poll has ended by itself.
        EXPECT_FALSE(host_->Sink().IsBuffering());
        EXPECT_FALSE(host_->Sink().Poll().IsRunning());
    }

    QWidget parent_;
    // A silent player that reports to the recorder.
    PlayerOptions Options() {
        PlayerOptions options{"null"};
        options.listener = &recorder_;
        return options;
    }

    StatusRecorder recorder_;
    std::unique_ptr<MediaPlayerHost> host_;
};

TEST_F(PlaybackTest, TransportStreamOverHttpPlaysAndStops) {
    StreamServer server;
    ExpectPlaysPattern(server.Url("stream.ts"), "player_ts");

    host_->Stop();
    ASSERT_TRUE(WaitForText(u"Stopped"));
    EXPECT_EQ(recorder_.Last()->status, PlayerStatus::Going);
    EXPECT_EQ(recorder_.Last()->end, PlaybackEnd::Stopped);
    EXPECT_EQ(host_->State(), PlayerState::Stopped);
    // No frozen last picture: black once mpv is idle, also at a new size.
    auto black = [this] { return ShareNotBlack(host_->Video()->grab().toImage()) == 0.0; };
    EXPECT_TRUE(QTest::qWaitFor(black, kStartTimeoutMs));
    host_->Move(0, 0, 160, 90);
    EXPECT_TRUE(black());
}

TEST_F(PlaybackTest, HlsPlays) {
    StreamServer server;
    ExpectPlaysPattern(server.Url("hls/index.m3u8"), "player_hls");
}

TEST_F(PlaybackTest, OfflineTestCardPlaysAndFollowsResizes) {
    ExpectPlaysPattern(u"av://lavfi:testsrc2=size=640x360:rate=25", "player_test_card");

    // A new size is rendered anew at once, not scaled from the old frame.
    host_->Move(0, 0, 160, 90);
    const QImage small = host_->Video()->grab().toImage();
    SaveScreenshot(small, "player_test_card_small");
    EXPECT_EQ(small.size(), QSize(160, 90));
    EXPECT_GT(ShareNotBlack(small), 0.9);  // 16:9 in 16:9: no bars
}

struct FailureRow {
    const char* name;
    enum class Source { DeadPort, MissingPage, WebPage, EmptyAddress } source;
    std::u16string text;
    PlayerStatus status;
    PlaybackEnd end;
};

void PrintTo(const FailureRow& row, std::ostream* out) {
    *out << row.name;
}

class PlaybackFailureTest : public PlaybackTest,
                            public ::testing::WithParamInterface<FailureRow> {};

TEST_P(PlaybackFailureTest, EndsInFailureWithoutLaterReports) {
    const FailureRow& row = GetParam();
    StreamServer server;
    std::u16string url;
    switch (row.source) {
    case FailureRow::Source::DeadPort:
        url = QString("http://127.0.0.1:%1/stream.ts").arg(UnusedPort()).toStdU16String();
        break;
    case FailureRow::Source::MissingPage: url = server.Url("no-such-stream.ts"); break;
    case FailureRow::Source::WebPage: url = server.Url("page.html"); break;
    case FailureRow::Source::EmptyAddress: url = u""; break;
    }
    host_->Play(url);
    ASSERT_TRUE(WaitForFailure());
    EXPECT_EQ(recorder_.Last()->text, row.text);
    EXPECT_EQ(recorder_.Last()->status, row.status);
    EXPECT_EQ(recorder_.Last()->end, row.end);
    EXPECT_TRUE(host_->Sink().ErrorLatched());
    EXPECT_FALSE(host_->Sink().IsBuffering());

    // The latch keeps the failure on the status line.
    const std::size_t count = recorder_.reports.size();
    host_->Stop();
    QTest::qWait(200);
    EXPECT_EQ(recorder_.reports.size(), count);
    EXPECT_FALSE(host_->Sink().Poll().IsRunning());
}

INSTANTIATE_TEST_SUITE_P(
    Sources, PlaybackFailureTest,
    ::testing::Values(
        FailureRow{"DeadPort", FailureRow::Source::DeadPort, u"Cannot connect",
                   PlayerStatus::NotPlaying, PlaybackEnd::CannotConnect},
        FailureRow{"MissingPage", FailureRow::Source::MissingPage, u"Stream not found",
                   PlayerStatus::NotPlaying, PlaybackEnd::NotFound},
        FailureRow{"WebPage", FailureRow::Source::WebPage, u"Unrecognized stream format",
                   PlayerStatus::NotPlaying, PlaybackEnd::UnknownFormat},
        FailureRow{"EmptyAddress", FailureRow::Source::EmptyAddress, u"Cannot play stream",
                   PlayerStatus::NotPlaying, PlaybackEnd::CannotPlay}),
    [](const ::testing::TestParamInfo<FailureRow>& info) { return std::string(info.param.name); });

TEST_F(PlaybackTest, ServerKilledMidPlayIsStreamLost) {
    // Paced at about the stream's own rate, so mpv cannot read ahead far.
    StreamServer server({"--pace", "200000"});
    host_->Play(server.Url("stream.ts"));
    ASSERT_TRUE(WaitForText(u"Playing"));
    server.Kill();
    ASSERT_TRUE(WaitForFailure());
    EXPECT_EQ(recorder_.Last()->text, u"Stream lost");
    EXPECT_EQ(recorder_.Last()->status, PlayerStatus::NotPlaying);
    EXPECT_EQ(recorder_.Last()->end, PlaybackEnd::StreamLost);
    // Not a failure of the control: nothing is latched.
    EXPECT_FALSE(host_->Sink().ErrorLatched());
    EXPECT_FALSE(host_->Sink().Poll().IsRunning());
}

TEST_F(PlaybackTest, ServerDyingByItselfMidStreamIsStreamLost) {
    StreamServer server({"--pace", "200000", "--die-after", "300000"});
    host_->Play(server.Url("stream.ts"));
    ASSERT_TRUE(WaitForText(u"Playing"));
    ASSERT_TRUE(WaitForFailure());
    EXPECT_EQ(recorder_.Last()->text, u"Stream lost");
    EXPECT_EQ(recorder_.Last()->status, PlayerStatus::NotPlaying);
}

// Serves a playlist of these addresses (written beside the test streams)
// and gives its address; the file goes with the object.
class ServedPlaylist {
public:
    ServedPlaylist(const StreamServer& server, const QStringList& entries) {
        static int count = 0;
        name_ = QString("list-%1-%2.m3u").arg(QCoreApplication::applicationPid()).arg(++count);
        QFile file(StreamFolder() + "/" + name_);
        if (file.open(QIODevice::WriteOnly))
            file.write(("#EXTM3U\n" + entries.join("\n") + "\n").toUtf8());
        url_ = server.Url(name_);
    }
    ~ServedPlaylist() { QFile::remove(StreamFolder() + "/" + name_); }
    const std::u16string& Url() const { return url_; }

private:
    QString name_;
    std::u16string url_;
};

TEST_F(PlaybackTest, PlaylistEntriesThatFailAreNotTheRequestsFailure) {
    StreamServer server;
    const QString base = QString("http://127.0.0.1:%1/").arg(server.Port());
    ServedPlaylist playlist(server, {QString("http://127.0.0.1:%1/x.ts").arg(UnusedPort()),
                                     base + "no-such-stream.ts", base + "stream.ts"});
    host_->Play(playlist.Url());
    ASSERT_TRUE(WaitForText(u"Playing"));
    // mpv moved through the dead entries by itself; the button never
    // offered play while it did.
    for (const Report& report : recorder_.reports)
        EXPECT_EQ(report.status, PlayerStatus::Going)
            << QString::fromStdU16String(report.text).toStdString();

    // When every entry fails, the request fails once.
    recorder_.reports.clear();
    ServedPlaylist dead(server, {base + "gone-1.ts", base + "gone-2.ts"});
    host_->Play(dead.Url());
    ASSERT_TRUE(WaitForFailure());
    QTest::qWait(300);
    int failures = 0;
    for (const Report& report : recorder_.reports)
        failures += report.status == PlayerStatus::NotPlaying ? 1 : 0;
    EXPECT_EQ(failures, 1);
    EXPECT_EQ(recorder_.Last()->text, u"Stream not found");
}

TEST_F(PlaybackTest, LateFailureOfThePreviousChannelLeavesTheNextAlone) {
    StreamServer server;
    // A playlist whose one entry mpv refuses: that failure names no cause
    // in mpv's log, so it settles only a moment after the entry ended.
    ServedPlaylist refused(server, {"file://" + StreamFolder() + "/stream.ts"});
    host_->Play(refused.Url());
    // Connecting twice: the playlist, then its entry.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return std::count_if(recorder_.reports.begin(), recorder_.reports.end(),
                                 [](const Report& r) { return r.text == u"Connecting..."; }) >= 2;
        },
        kStartTimeoutMs));
    recorder_.reports.clear();
    host_->Stop();
    host_->Play(server.Url("stream.ts"));
    ASSERT_TRUE(WaitForText(u"Playing"));
    for (const Report& report : recorder_.reports)
        EXPECT_EQ(report.status, PlayerStatus::Going)
            << QString::fromStdU16String(report.text).toStdString();
    EXPECT_EQ(recorder_.Last()->end, PlaybackEnd::None);
}

TEST_F(PlaybackTest, RebufferStartsAtZeroAndPlaysOn) {
    // Live-paced, then three seconds of silence, then on again.
    StreamServer server({"--pace", "200000", "--stall-after", "250000", "--stall-seconds", "3"});
    host_->Play(server.Url("stream.ts"));
    ASSERT_TRUE(WaitForText(u"Playing"));
    const std::size_t played = recorder_.reports.size();
    ASSERT_TRUE(QTest::qWaitFor([&] { return host_->State() == PlayerState::Buffering; },
                                kFailureTimeoutMs));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return host_->State() == PlayerState::Playing; }, kFailureTimeoutMs));
    ASSERT_GT(recorder_.reports.size(), played);
    EXPECT_EQ(recorder_.reports[played].text, u"Buffering 0%");
    EXPECT_EQ(recorder_.Last()->text, u"Playing");
}

TEST_F(PlaybackTest, StalledServerGoesFromBufferingStraightToStreamLost) {
    // The server stops sending and keeps the connection: mpv gives up after
    // its network timeout and resumes to play what is left first.
    StreamServer server({"--pace", "200000", "--stall-after", "250000"});
    host_->Play(server.Url("stream.ts"));
    ASSERT_TRUE(WaitForText(u"Playing"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return host_->State() == PlayerState::Buffering; },
                                kFailureTimeoutMs));
    const std::size_t stalled = recorder_.reports.size();
    ASSERT_TRUE(QTest::qWaitFor([&] { return host_->State() == PlayerState::Ended; }, 30000));
    QTest::qWait(100);
    for (std::size_t i = stalled; i < recorder_.reports.size(); ++i)
        EXPECT_NE(recorder_.reports[i].text, u"Playing");
    EXPECT_EQ(recorder_.Last()->text, u"Stream lost");
}

TEST_F(PlaybackTest, NextChannelAfterFailureReportsAgain) {
    StreamServer server;
    host_->Play(server.Url("missing.ts"));
    ASSERT_TRUE(WaitForFailure());
    ASSERT_TRUE(host_->Sink().ErrorLatched());

    // What the view does for UM_PLAY: stop, then play.
    host_->Stop();
    host_->Play(server.Url("stream.ts"));
    ASSERT_TRUE(WaitForText(u"Playing"));
    EXPECT_FALSE(host_->Sink().ErrorLatched());
    EXPECT_EQ(recorder_.Last()->status, PlayerStatus::Going);
}

TEST_F(PlaybackTest, EndedStreamReportsNotPlayingWithoutLatch) {
    // What the host hands its sink when a live stream ends by itself.
    StreamServer server({"--pace", "200000", "--die-after", "150000"});
    host_->Play(server.Url("stream.ts"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return host_->State() == PlayerState::Ended; }, 15000));
    recorder_.reports.clear();
    PlayerEventSink& sink = const_cast<PlayerEventSink&>(host_->Sink());
    sink.ReportThroughGate(PlayerStatus::Going);
    ASSERT_EQ(recorder_.reports.size(), 1u);
    EXPECT_EQ(recorder_.reports[0].status, PlayerStatus::NotPlaying);
    EXPECT_EQ(recorder_.reports[0].text, u"Stream lost");
    EXPECT_FALSE(sink.ErrorLatched());
    // Not latched, so the next status change still reports.
    sink.ReportThroughGate(PlayerStatus::Going);
    EXPECT_EQ(recorder_.reports.size(), 2u);
}

TEST_F(PlaybackTest, SwitchingChannelsEndsOldStreamQuietly) {
    StreamServer server;
    host_->Play(server.Url("stream.ts"));
    ASSERT_TRUE(WaitForText(u"Playing"));
    recorder_.reports.clear();

    host_->Stop();
    host_->Play(server.Url("hls/index.m3u8"));
    ASSERT_TRUE(WaitForText(u"Playing"));
    for (const Report& report : recorder_.reports)
        EXPECT_EQ(report.status, PlayerStatus::Going)
            << QString::fromStdU16String(report.text).toStdString();
    EXPECT_LT(recorder_.IndexOf(u"Stopped"), recorder_.IndexOf(u"Connecting..."));
}

TEST_F(PlaybackTest, VolumeReachesPlayerAndSetting) {
    ApplyVolume(30);
    ASSERT_TRUE(QTest::qWaitFor([&] { return host_->PlayerVolume() == 30.0; }, 3000));
    EXPECT_EQ(GetIntSetting(kSoundVolume, 50), 30);

    // Out of range values are clamped before they reach mpv or the file.
    ApplyVolume(250);
    ASSERT_TRUE(QTest::qWaitFor([&] { return host_->PlayerVolume() == 100.0; }, 3000));
    EXPECT_EQ(GetIntSetting(kSoundVolume, 50), 100);
    ApplyVolume(-5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return host_->PlayerVolume() == 0.0; }, 3000));
    EXPECT_EQ(GetIntSetting(kSoundVolume, 50), 0);
}

TEST_F(PlaybackTest, FullScreenTogglesBackToItsPlace) {
    const QRect before = host_->Window()->geometry();
    EXPECT_FALSE(host_->IsFullScreen());
    host_->ToggleFullScreen();
    EXPECT_TRUE(host_->IsFullScreen());
    EXPECT_TRUE(host_->Window()->isWindow());
    host_->ToggleFullScreen();
    EXPECT_FALSE(host_->IsFullScreen());
    EXPECT_EQ(host_->Window()->parentWidget(), &parent_);
    EXPECT_EQ(host_->Window()->geometry(), before);

    // The player leaves full screen by itself on Esc.
    host_->ToggleFullScreen();
    QTest::keyClick(host_->Window(), Qt::Key_Escape);
    EXPECT_FALSE(host_->IsFullScreen());
}

TEST_F(PlaybackTest, MoveAndDestructionLeaveNoTrace) {
    host_->Move(5, 6, 200, 100);
    EXPECT_EQ(host_->Window()->geometry(), QRect(5, 6, 200, 100));
    EXPECT_EQ(TheOutputRegistry().Find("m"), host_.get());

    StreamServer server;
    host_->Play(server.Url("stream.ts"));
    ASSERT_TRUE(WaitForText(u"Playing"));
    // Destroyed while playing: the render context goes before the core, and
    // callbacks still queued are dropped.
    host_.reset();
    QTest::qWait(100);
    EXPECT_EQ(TheOutputRegistry().Find("m"), nullptr);
}

}  // namespace
}  // namespace lumora::test
