// Pause and rewind within the back buffer of a live stream: the rules that
// keep a position within what can be played, and the player on a paced
// loopback stream.

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include "catalogue/catchup_address.h"
#include "player/media_player_host.h"
#include "player/playback_position.h"
#include "player_test_support.h"
#include "process_state.h"
#include "scratch_folder.h"

namespace lumora::test {
namespace {

PlaybackPosition Live(double position, double end, double age = 10, bool paused = false) {
    return {true, position, 0, end, true, paused, age};
}

TEST(PlaybackPositionTest, SeeksStayWithinTheWindowAndShortOfTheLiveEdge) {
    const PlaybackPosition recording{true, 100, 0, 3600, false, false, 5};
    struct Row {
        const char* what;
        PlaybackPosition at;
        double window;
        double target;
        double landed;
        double behind;
    };
    const Row rows[] = {
        {"back past the window", Live(100, 101), 60, 10, 41, 1},
        {"back within the buffer", Live(100, 101), 600, 10, 10, 1},
        {"forward past live", Live(50, 101), 60, 500, 99, 51},
        {"a recording to its end", recording, 60, 4000, 3600, 0},
        {"a recording from its start", recording, 60, -30, 0, 0},
        {"no number", Live(70, 101), 60, std::nan(""), 70, 31},
        {"unknown", PlaybackPosition{}, 60, 10, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_DOUBLE_EQ(ClampedSeek(row.at, row.target, row.window), row.landed);
        EXPECT_DOUBLE_EQ(BehindLive(row.at), row.behind);
    }
}

TEST(PlaybackPositionTest, ABufferIsBegunAgainOnlyWhenFullAndWatchedLive) {
    constexpr double kWindow = 600;
    struct Row {
        const char* what;
        PlaybackPosition at;
        double window;
        bool fresh;
    };
    const Row rows[] = {
        {"within its window and slack", Live(100, 101, 650), kWindow, false},
        {"past them, live", Live(100, 101, 700), kWindow, true},
        {"past them, paused", Live(100, 101, 700, true), kWindow, false},
        {"past them, behind live", Live(50, 101, 700), kWindow, false},
        {"no buffer", Live(100, 101, 700), 0, false},
        {"a recording", {true, 100, 0, 3600, false, false, 7000}, kWindow, false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(NeedsFreshBuffer(row.at, row.window), row.fresh) << row.what;
}

TEST(PlaybackPositionTest, DurationsReadAsMinutesAndSecondsWithHoursWhenThereAreAny) {
    const std::pair<double, const char*> rows[] = {
        {0, "00:00"},      {252.9, "04:12"}, {3599.9, "59:59"},
        {3852, "1:04:12"}, {-5, "00:00"},    {INFINITY, "00:00"},
    };
    for (const auto& [seconds, text] : rows)
        EXPECT_EQ(DurationText(seconds), text) << seconds;
}

// An open file of this process in `folder` that has no name any more.
bool HoldsUnlinkedFileIn(const std::filesystem::path& folder) {
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const std::string target = std::filesystem::read_symlink(fd.path(), error).string();
        if (!error && target.starts_with(folder.string()) && target.ends_with(" (deleted)"))
            return true;
    }
    return false;
}

class TimeshiftTest : public ::testing::Test {
protected:
    void SetUp() override {
        parent_.resize(400, 300);
        parent_.show();
        MediaPlayerHost::Started started =
            MediaPlayerHost::Create(&parent_, QRect(40, 30, 320, 240), Options());
        host_ = std::move(started.host);
        ASSERT_TRUE(host_ && host_->Ready());
        host_->Window()->show();
    }
    void TearDown() override {
        host_.reset();
        ResetProcessState();
    }
    PlaybackPosition At() const { return host_->Position(); }
    bool WaitFor(auto&& condition, int timeoutMs = 8000) {
        return QTest::qWaitFor(condition, timeoutMs);
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

TEST_F(TimeshiftTest, APausedLiveStreamKeepsArrivingAndRewindsWithinItsBuffer) {
    ScratchFolder folder;
    host_->SetTimeshift(60, folder.Path().string());
    // Sent at the stream's own rate: live, as far as the player can tell.
    const qint64 bytes = QFileInfo(StreamFolder() + "/long.ts").size();
    StreamServer server({"--pace", QString::number(bytes / 20)});
    host_->Play(server.Url("long.ts"));
    ASSERT_TRUE(WaitFor([&] { return At().known && At().position >= 1.0; }));
    EXPECT_TRUE(At().live);

    host_->SetPaused(true);
    ASSERT_TRUE(WaitFor([&] { return At().paused; }));
    const double pausedAt = At().position;
    ASSERT_TRUE(WaitFor([&] { return BehindLive(At()) > 2.0; }));
    EXPECT_NEAR(At().position, pausedAt, 0.2);
    // The buffer is a file in the folder that has no name there.
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
    EXPECT_TRUE(HoldsUnlinkedFileIn(folder.Path()));

    // Play resumes where it paused; a rewind to the buffer's start shows a
    // picture from there.
    host_->SetPaused(false);
    const int seeks = host_->SeeksDone();
    host_->SeekTo(At().start);
    ASSERT_TRUE(WaitFor([&] { return host_->SeeksDone() > seeks; }));
    EXPECT_LT(At().position, pausedAt);
    EXPECT_FALSE(At().paused);

    // And back to live.
    host_->SeekTo(ClampedSeek(At(), At().end, 60));
    ASSERT_TRUE(WaitFor([&] { return AtLiveEdge(At()); }));

    // Closing the stream gives the buffer's space back.
    host_->Stop();
    EXPECT_TRUE(WaitFor([&] { return !HoldsUnlinkedFileIn(folder.Path()); }));
    EXPECT_FALSE(At().known);
}

// The process's local time is UTC while the object lives.
class UtcZone {
public:
    UtcZone() {
        if (const char* zone = std::getenv("TZ"))
            saved_ = zone;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    ~UtcZone() {
        saved_ ? setenv("TZ", saved_->c_str(), 1) : unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> saved_;
};

TEST_F(TimeshiftTest, AnArchivedProgrammePlaysFromTheAddressItsTemplateMakes) {
    // The server knows only the archive's own name for 20:00 UTC, 10 March.
    const QString archive = StreamFolder() + "/archive-20240310-2000.ts";
    QFile::remove(archive);
    ASSERT_TRUE(QFile::copy(StreamFolder() + "/stream.ts", archive));
    StreamServer server;
    const std::string live = QString::fromStdU16String(server.Url("live.ts")).toStdString();
    CatchupAttributes catchup;
    catchup.style = CatchupStyle::Default;
    catchup.source =
        "http://127.0.0.1:" + std::to_string(server.Port()) + "/archive-{utc:Ymd-HM}.ts";
    const auto addressAt = [&](std::int64_t start) {
        const UtcZone utc;
        const CatchupAddress address =
            BuildCatchupAddress(live, catchup, {start, start + 3600, {}}, 1710109800);
        return QString::fromStdString(address.address).toStdU16String();
    };
    host_->Play(addressAt(1710100800));
    EXPECT_TRUE(WaitFor([&] { return recorder_.Saw(u"Playing"); }));
    // An hour later is another name, which the server does not know.
    host_->Play(addressAt(1710104400));
    EXPECT_TRUE(WaitFor([&] { return recorder_.Saw(u"Stream not found"); }));
    QFile::remove(archive);
}

TEST_F(TimeshiftTest, ANewStreamPlaysEvenWhenThePreviousWasPaused) {
    StreamServer server;
    host_->Play(server.Url("stream.ts"));
    ASSERT_TRUE(WaitFor([&] { return At().known; }));
    host_->SetPaused(true);
    ASSERT_TRUE(WaitFor([&] { return At().paused; }));
    host_->Play(server.Url("long.ts"));
    ASSERT_TRUE(WaitFor([&] { return At().known && At().position > 0.5; }));
    EXPECT_FALSE(At().paused);
}

}  // namespace
}  // namespace lumora::test
