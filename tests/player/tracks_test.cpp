// Audio and subtitle tracks of a real stream on 127.0.0.1: what the host
// lists, what selecting changes in mpv, and what a preference picks when
// the stream loads.

#include <memory>

#include <QDir>
#include <QFile>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include "player/language_spellings.h"
#include "player/media_player_host.h"
#include "player/track_list.h"
#include "player_test_support.h"
#include "process_state.h"

namespace lumora::test {
namespace {

constexpr int kTimeoutMs = 8000;

// A Matroska file with English and German audio (the English one marked
// default) and German and French subtitles. Made once per build tree.
QString TrackStreamFolder() {
    static const QString folder = [] {
        const QString root = QString(LUMORA_BUILD_DIR) + "/tests/player/track-streams";
        if (QFile::exists(root + "/tracks.mkv"))
            return root;
        QDir().mkpath(root);
        for (const char* language : {"de", "fr"}) {
            QFile subtitles(root + "/" + language + ".srt");
            if (!subtitles.open(QIODevice::WriteOnly) ||
                subtitles.write(QByteArray("1\n00:00:00,000 --> 00:00:20,000\n") + language +
                                "\n") <= 0)
                ADD_FAILURE() << "cannot write the subtitles";
        }
        QProcess ffmpeg;
        ffmpeg.start("ffmpeg", {"-loglevel",
                                "error",
                                "-y",
                                "-f",
                                "lavfi",
                                "-i",
                                "testsrc2=size=320x240:rate=25",
                                "-f",
                                "lavfi",
                                "-i",
                                "sine=frequency=440",
                                "-f",
                                "lavfi",
                                "-i",
                                "sine=frequency=880",
                                "-i",
                                root + "/de.srt",
                                "-i",
                                root + "/fr.srt",
                                "-t",
                                "20",
                                "-map",
                                "0",
                                "-map",
                                "1",
                                "-map",
                                "2",
                                "-map",
                                "3",
                                "-map",
                                "4",
                                "-c:v",
                                "libx264",
                                "-preset",
                                "ultrafast",
                                "-g",
                                "25",
                                "-c:a",
                                "aac",
                                "-c:s",
                                "webvtt",
                                "-metadata:s:a:0",
                                "language=eng",
                                "-metadata:s:a:1",
                                "language=deu",
                                "-metadata:s:s:0",
                                "language=deu",
                                "-metadata:s:s:1",
                                "language=fra",
                                "-disposition:a:0",
                                "default",
                                "-disposition:a:1",
                                "0",
                                "-disposition:s:0",
                                "0",
                                "-disposition:s:1",
                                "0",
                                root + "/tracks.tmp.mkv"});
        if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitCode() != 0 ||
            !QDir().rename(root + "/tracks.tmp.mkv", root + "/tracks.mkv"))
            ADD_FAILURE() << "ffmpeg could not make the track stream";
        return root;
    }();
    return folder;
}

class TracksTest : public ::testing::Test {
protected:
    void SetUp() override {
        parent_.resize(400, 300);
        parent_.show();
        MediaPlayerHost::Started started =
            MediaPlayerHost::Create(&parent_, QRect(40, 30, 320, 240), PlayerOptions{"null"});
        host_ = std::move(started.host);
        ASSERT_TRUE(host_ && host_->Ready());
        host_->SetTracksChangedCallback([this] { ++changes_; });
        server_ = std::make_unique<StreamServer>(QStringList{"--root", TrackStreamFolder()});
    }

    void TearDown() override {
        host_.reset();
        ResetProcessState();
    }

    // Plays the stream with the choice and settings and waits until its
    // tracks are settled: what mpv picks from here on is what the host chose.
    void PlayWith(const TrackChoice& remembered, const std::string& audioSetting,
                  const std::string& interfaceLanguage) {
        host_->Stop();
        host_->SetTrackPreference(MakeTrackPreference(remembered, audioSetting, "",
                                                      interfaceLanguage, &LanguageSpellingsOf));
        host_->Play(server_->Url("tracks.mkv"));
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return host_->State() == PlayerState::Playing; }, kTimeoutMs));
        ASSERT_TRUE(QTest::qWaitFor([&] { return host_->TracksSettled(); }, kTimeoutMs));
    }

    std::optional<std::int64_t> Selected(TrackKind kind) const {
        return SelectedTrack(host_->Tracks(), kind);
    }

    QWidget parent_;
    std::unique_ptr<MediaPlayerHost> host_;
    std::unique_ptr<StreamServer> server_;
    int changes_ = 0;
};

TEST_F(TracksTest, ListsTheTracksAndSelectingOneChangesMpvsTrack) {
    PlayWith({}, "", "en");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return host_->Tracks().size() == 4 && Selected(TrackKind::Audio); }, kTimeoutMs));
    const std::vector<MediaTrack> tracks = host_->Tracks();
    ASSERT_EQ(tracks.size(), 4u);  // the video track is not listed
    EXPECT_EQ(tracks[0].kind, TrackKind::Audio);
    EXPECT_EQ(tracks[0].language, "eng");
    EXPECT_EQ(tracks[0].codec, "aac");
    EXPECT_TRUE(tracks[0].isDefault);
    EXPECT_EQ(tracks[1].language, "deu");
    EXPECT_EQ(tracks[2].kind, TrackKind::Subtitle);
    EXPECT_EQ(tracks[2].language, "deu");
    EXPECT_EQ(tracks[3].language, "fra");
    EXPECT_GT(changes_, 0);
    // English audio for an English interface: no subtitles.
    EXPECT_EQ(Selected(TrackKind::Audio), tracks[0].id);
    EXPECT_EQ(Selected(TrackKind::Subtitle), std::nullopt);

    host_->SelectAudioTrack(tracks[1].id);
    host_->SelectSubtitleTrack(tracks[3].id);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return Selected(TrackKind::Audio) == tracks[1].id; }, kTimeoutMs));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return Selected(TrackKind::Subtitle) == tracks[3].id; }, kTimeoutMs));
    host_->SelectSubtitleTrack(std::nullopt);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Selected(TrackKind::Subtitle); }, kTimeoutMs));
    EXPECT_EQ(host_->State(), PlayerState::Playing);
}

TEST_F(TracksTest, ThePreferencePicksTheTracksAtTheNextPlay) {
    struct Row {
        const char* name;
        std::string remembered;
        std::string audioSetting;
        std::string interfaceLanguage;
        std::int64_t audio;  // mpv's id: the position among the audio tracks
        std::optional<std::int64_t> subtitle;
    };
    const std::vector<Row> rows = {
        // The remembered German track, whatever the interface speaks.
        {"remembered", "deu/", "", "en", 2, std::nullopt},
        {"remembered_position", "#2/", "", "en", 2, std::nullopt},
        // The interface language, in another spelling than the stream's.
        {"interface", "", "", "de", 2, std::nullopt},
        // Nothing wished: the stream's default; French subtitles for a
        // French interface, which mpv alone would not show.
        {"foreign_audio", "", "", "fr", 1, 2},
        {"off", "/-", "", "fr", 1, std::nullopt},
        // A remembered position the stream lacks: the preference instead.
        {"missing_position", "#7/", "de", "en", 2, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PlayWith(*DecodeTrackChoice(row.remembered), row.audioSetting, row.interfaceLanguage);
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return Selected(TrackKind::Audio) == row.audio; }, kTimeoutMs));
        EXPECT_TRUE(QTest::qWaitFor([&] { return Selected(TrackKind::Subtitle) == row.subtitle; },
                                    kTimeoutMs));
    }
}

TEST(TrackOptions, PreferenceBecomesMpvsPerFileOptions) {
    TrackPreference preference;
    preference.audio.languages = {"de", "ger", "deu", "bad,tag", "x=y"};
    preference.subtitle.off = true;
    using Options = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(TrackOptions(preference), (Options{{"alang", "de,ger,deu"}, {"sid", "no"}}));
    preference.audio.position = 2;
    preference.subtitle = {0, false, {"fr", "fre"}};
    EXPECT_EQ(TrackOptions(preference), (Options{{"aid", "2"}, {"slang", "fr,fre"}}));
    EXPECT_TRUE(TrackOptions({}).empty());

    EXPECT_EQ(LanguageSpellingsOf("GER"), (std::vector<std::string>{"ger", "de", "deu"}));
    EXPECT_EQ(LanguageSpellingsOf("pt-BR"), (std::vector<std::string>{"pt-br", "pt", "por"}));
    EXPECT_EQ(LanguageSpellingsOf("qaa"), (std::vector<std::string>{"qaa"}));
    EXPECT_TRUE(LanguageSpellingsOf("").empty());
    EXPECT_EQ(ShortLanguageCode("fre"), "fr");
}

}  // namespace
}  // namespace lumora::test
