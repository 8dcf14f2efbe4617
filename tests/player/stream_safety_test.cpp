// What no stream may do to the player: reach local files through what it
// refers to, or hold it at "Connecting..." for ever; and what the player
// does when part of it cannot start.

#include <filesystem>
#include <memory>

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include "catalogue/languages.h"
#include "catalogue/settings.h"
#include "catalogue/settings_format.h"
#include "catalogue/text_fallbacks.h"
#include "player/media_player_host.h"
#include "player/player_event_sink.h"
#include "player/player_texts.h"
#include "player/video_widget.h"
#include "player_test_support.h"
#include "process_state.h"
#include "record/recording_files.h"
#include "scratch_folder.h"

namespace lumora::test {
namespace {

constexpr int kWaitMs = 15000;
constexpr const char16_t* kTestCard = u"av://lavfi:testsrc2=size=320x240:rate=25";

class StreamSafetyTest : public ::testing::Test {
protected:
    void SetUp() override {
        parent_.resize(400, 300);
        parent_.show();
    }

    void TearDown() override {
        host_.reset();
        ReleaseLanguages();
        ResetProcessState();
    }

    MediaPlayerHost& MakeHost(PlayerOptions options = {}) {
        options.audioOutput = "null";
        options.listener = &recorder_;
        MediaPlayerHost::Started started =
            MediaPlayerHost::Create(&parent_, QRect(40, 30, 320, 240), options);
        host_ = std::move(started.host);
        EXPECT_TRUE(host_) << QString::fromStdU16String(started.failure).toStdString();
        host_->Window()->show();
        return *host_;
    }

    bool WaitForFailure() {
        return QTest::qWaitFor(
            [&] {
                return recorder_.Last() && recorder_.Last()->status == PlayerStatus::NotPlaying;
            },
            kWaitMs);
    }

    // The player is still fit for the next channel: the test card shows.
    void ExpectTestCardPlays() {
        recorder_.reports.clear();
        host_->Play(kTestCard);
        EXPECT_TRUE(QTest::qWaitFor([&] { return recorder_.Saw(u"Playing"); }, kWaitMs));
        EXPECT_TRUE(QTest::qWaitFor([&] { return host_->Video()->FramesRendered() > 2; }, kWaitMs));
    }

    QWidget parent_;
    StatusRecorder recorder_;
    std::unique_ptr<MediaPlayerHost> host_;
};

TEST_F(StreamSafetyTest, HlsSegmentPointingAtALocalFileIsNotPlayed) {
    // A playlist served over http whose one segment is a local media file
    // that would play.
    const QString name =
        QStringLiteral("local-segment-%1.m3u8").arg(QCoreApplication::applicationPid());
    QFile playlist(StreamFolder() + "/" + name);
    ASSERT_TRUE(playlist.open(QIODevice::WriteOnly));
    playlist.write(
        "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:6\n#EXT-X-MEDIA-SEQUENCE:0\n"
        "#EXTINF:6.0,\nfile://" +
        QFile::encodeName(StreamFolder()) +
        "/stream.ts\n"
        "#EXT-X-ENDLIST\n");
    playlist.close();
    StreamServer server;
    MakeHost().Play(server.Url(name));
    ASSERT_TRUE(WaitForFailure());
    EXPECT_EQ(host_->Video()->FramesRendered(), 0);
    EXPECT_FALSE(recorder_.Saw(u"Playing"));
    QFile::remove(playlist.fileName());
}

// A recording of the user's is the one local file the player opens, and
// only once checked against the recordings folder; one still being written
// plays too.
TEST_F(StreamSafetyTest, OnlyACheckedRecordingPlaysAsALocalFile) {
    const ScratchFolder home;
    const std::filesystem::path folder = home.Path("Lumora");
    std::filesystem::create_directories(folder);
    const std::filesystem::path source =
        QFile::encodeName(StreamFolder() + "/stream.ts").toStdString();
    std::filesystem::copy_file(source, folder / "Eins \u2013 Tagesschau.ts");
    std::filesystem::copy_file(source, home.Path("elsewhere.ts"));
    const struct {
        std::filesystem::path file;
        RecordingGrowth growth;
        bool plays;
    } rows[] = {
        {folder / "Eins \u2013 Tagesschau.ts", RecordingGrowth::Finished, true},
        {folder / "Eins \u2013 Tagesschau.ts", RecordingGrowth::Growing, true},
        {home.Path("elsewhere.ts"), RecordingGrowth::Finished, false},
    };
    MakeHost();
    for (const auto& row : rows) {
        recorder_.reports.clear();
        host_->PlayRecording(CheckRecordingToPlay(row.file, folder), row.growth);
        if (row.plays) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return recorder_.Saw(u"Playing"); }, kWaitMs))
                << row.file;
        } else {
            ASSERT_TRUE(WaitForFailure());
            EXPECT_EQ(host_->Failure(), PlaybackEnd::CannotPlay);
        }
    }
}

class SilentServerTest : public StreamSafetyTest,
                         public ::testing::WithParamInterface<const char*> {};

TEST_P(SilentServerTest, EndsAsCannotConnectAtTheDeadline) {
    // Accepts connections (the system completes them) and never says a word.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    PlayerOptions options;
    options.connectDeadlineMs = 1500;
    MakeHost(options).Play(QString("%1://127.0.0.1:%2/live/channel")
                               .arg(GetParam())
                               .arg(silent.serverPort())
                               .toStdU16String());
    ASSERT_TRUE(WaitForFailure());
    EXPECT_EQ(recorder_.Last()->text, u"Cannot connect");
    EXPECT_EQ(recorder_.Last()->status, PlayerStatus::NotPlaying);
    EXPECT_EQ(recorder_.Last()->end, PlaybackEnd::CannotConnect);
    EXPECT_TRUE(host_->Sink().ErrorLatched());
    EXPECT_FALSE(host_->Sink().IsBuffering());
    ExpectTestCardPlays();
}

INSTANTIATE_TEST_SUITE_P(Protocols, SilentServerTest, ::testing::Values("rtsp", "rtmp"));

TEST_F(StreamSafetyTest, WithoutVideoOutputTheSoundPlaysOn) {
    PlayerOptions options;
    options.renderApi = "no-such-render-api";
    MediaPlayerHost& host = MakeHost(options);
    ASSERT_TRUE(host.Ready());
    EXPECT_EQ(host.StartFailure(), *EnglishFallback(kTextVideoFailed.key));
    StreamServer server;
    host.Play(server.Url("stream.ts"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return recorder_.Saw(u"Playing"); }, kWaitMs));
    EXPECT_EQ(host.Video()->FramesRendered(), 0);
}

TEST_F(StreamSafetyTest, StatusLineSpeaksTheLanguageOfThePack) {
    SetStringSetting(kLanguage, u"de");
    LoadLanguages((QString(LUMORA_BUILD_DIR) + "/Languages.lngp").toStdU16String());
    MediaPlayerHost& host = MakeHost();
    host.Play(u"file:///etc/hostname");
    ASSERT_NE(recorder_.Last(), nullptr);
    EXPECT_EQ(recorder_.Last()->text, LookupText(kTextCannotPlay.key));
    EXPECT_NE(recorder_.Last()->text, *EnglishFallback(kTextCannotPlay.key));
    host.Play(kTestCard);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return recorder_.Saw(LookupText(kTextPlaying.key)); }, kWaitMs));
    EXPECT_TRUE(recorder_.Saw(LookupText(kTextConnecting.key)));
    EXPECT_EQ(BufferingText(40), u"Puffern 40 %");
}

}  // namespace
}  // namespace lumora::test
