// The reporting rules: gate, latch, buffering poll, listener hand-over. The
// sink reads a snapshot the test sets, as the host would hand it over; no
// player runs.

#include <memory>
#include <thread>

#include <QTest>

#include <gtest/gtest.h>

#include "player/player_event_sink.h"
#include "status_recorder.h"

namespace lumora::test {
namespace {

class EventSinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A short poll: 10 ms, 20 cycles.
        sink_ = std::make_unique<PlayerEventSink>([this] { return snapshot_; }, &recorder_,
                                                  BufferingPollTiming{10, 20});
    }

    PlayerEventSink& Sink() { return *sink_; }

    PlayerSnapshot snapshot_{PlayerState::Opening, PlaybackEnd::None, u"Connecting..."};
    StatusRecorder recorder_;
    std::unique_ptr<PlayerEventSink> sink_;
};

TEST_F(EventSinkTest, ErrorLatchesUntilNextBufferingStart) {
    Sink().Error();
    ASSERT_EQ(recorder_.reports.size(), 1u);
    EXPECT_EQ(recorder_.reports[0].status, PlayerStatus::NotPlaying);
    EXPECT_TRUE(Sink().ErrorLatched());

    // Latched: status changes and errors are silent.
    Sink().ReportThroughGate(PlayerStatus::Going);
    Sink().Error();
    EXPECT_EQ(recorder_.reports.size(), 1u);
    // So is a buffering stop, which still clears the flag.
    Sink().Buffering(true);
    Sink().Error();
    ASSERT_EQ(recorder_.reports.size(), 3u);
    Sink().Buffering(false);
    EXPECT_EQ(recorder_.reports.size(), 3u);
    EXPECT_FALSE(Sink().IsBuffering());

    // A buffering start lifts the latch; the poll reports at once.
    Sink().Buffering(true);
    EXPECT_FALSE(Sink().ErrorLatched());
    ASSERT_EQ(recorder_.reports.size(), 4u);
    EXPECT_EQ(recorder_.reports[3].status, PlayerStatus::Going);
    Sink().Buffering(false);
    EXPECT_EQ(recorder_.reports.size(), 5u);
    Sink().ReportThroughGate(PlayerStatus::Going);
    EXPECT_EQ(recorder_.reports.size(), 6u);
}

TEST_F(EventSinkTest, ANewRequestTellsItsFailureThroughALatch) {
    Sink().Error();
    Sink().ClearErrorLatch();
    Sink().Error();
    ASSERT_EQ(recorder_.reports.size(), 2u);
    EXPECT_EQ(recorder_.reports[1].status, PlayerStatus::NotPlaying);
    EXPECT_TRUE(Sink().ErrorLatched());
}

TEST_F(EventSinkTest, PollEndsWhenBufferingStopsOrAfterItsCycles) {
    Sink().Buffering(true);
    EXPECT_TRUE(Sink().Poll().IsRunning());
    ASSERT_TRUE(QTest::qWaitFor([&] { return recorder_.reports.size() >= 3; }, 3000));
    Sink().Buffering(false);
    const std::size_t count = recorder_.reports.size();
    // The poll's next cycle sees the stop and ends without a report.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Sink().Poll().IsRunning(); }, 3000));
    EXPECT_EQ(recorder_.reports.size(), count);

    // Without a stop, the poll ends by itself after its cycles and the
    // flag stays set until the stop event.
    recorder_.reports.clear();
    Sink().Buffering(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Sink().Poll().IsRunning(); }, 3000));
    EXPECT_EQ(recorder_.reports.size(), 20u);
    EXPECT_TRUE(Sink().IsBuffering());
}

TEST_F(EventSinkTest, EndedStreamReportsNotPlayingWithoutLatch) {
    // What the host hands over once a live stream has ended by itself.
    snapshot_ = {PlayerState::Ended, PlaybackEnd::None, u"Stream lost"};
    Sink().ReportThroughGate(PlayerStatus::Going);
    ASSERT_EQ(recorder_.reports.size(), 1u);
    EXPECT_EQ(recorder_.reports[0].status, PlayerStatus::NotPlaying);
    EXPECT_EQ(recorder_.reports[0].text, u"Stream lost");
    EXPECT_EQ(recorder_.reports[0].end, PlaybackEnd::StreamLost);
    EXPECT_FALSE(Sink().ErrorLatched());
    // Not latched, so the next status change still reports.
    Sink().ReportThroughGate(PlayerStatus::Going);
    EXPECT_EQ(recorder_.reports.size(), 2u);
}

TEST(FormReport, StatusFollowsTheSnapshot) {
    struct Case {
        PlayerState state;
        PlaybackEnd failure;
        PlayerStatus status;
        PlayerStatus reported;
        PlaybackEnd end;
    };
    const Case cases[] = {
        {PlayerState::Playing, PlaybackEnd::None, PlayerStatus::Going, PlayerStatus::Going,
         PlaybackEnd::None},
        {PlayerState::Failed, PlaybackEnd::NotFound, PlayerStatus::NotPlaying,
         PlayerStatus::NotPlaying, PlaybackEnd::NotFound},
        {PlayerState::Failed, PlaybackEnd::CannotConnect, PlayerStatus::NotPlaying,
         PlayerStatus::NotPlaying, PlaybackEnd::CannotConnect},
        {PlayerState::Ended, PlaybackEnd::None, PlayerStatus::Going, PlayerStatus::NotPlaying,
         PlaybackEnd::StreamLost},
        {PlayerState::Stopped, PlaybackEnd::None, PlayerStatus::Going, PlayerStatus::Going,
         PlaybackEnd::Stopped},
    };
    for (const Case& c : cases) {
        const PlayerReport report = FormReport({c.state, c.failure, u"text"}, c.status);
        EXPECT_EQ(report.status, c.reported) << int(c.state);
        EXPECT_EQ(report.end, c.end) << int(c.state);
        EXPECT_EQ(report.text, u"text");
    }
}

TEST_F(EventSinkTest, ReportsFromOtherThreadsArriveOnTheUiThread) {
    std::thread worker([this] { Sink().ReportThroughGate(PlayerStatus::Going); });
    worker.join();
    EXPECT_TRUE(recorder_.reports.empty());  // not delivered on the worker
    ASSERT_TRUE(QTest::qWaitFor([&] { return !recorder_.reports.empty(); }, 1000));
    EXPECT_TRUE(recorder_.reports[0].onUiThread);
}

TEST_F(EventSinkTest, WithoutListenerOrSinkReportsAreDropped) {
    PlayerEventSink quiet([this] { return snapshot_; }, nullptr);
    quiet.Error();  // formed and dropped
    EXPECT_TRUE(quiet.ErrorLatched());
    EXPECT_TRUE(recorder_.reports.empty());

    // Reports handed to the UI thread are dropped when the sink (with its
    // host) has gone before they arrive.
    std::thread worker([this] {
        Sink().ReportThroughGate(PlayerStatus::Going);
        Sink().ReportThroughGate(PlayerStatus::NotPlaying);
    });
    worker.join();
    sink_.reset();
    QCoreApplication::processEvents();  // delivers what was posted
    EXPECT_TRUE(recorder_.reports.empty());
}

}  // namespace
}  // namespace lumora::test
