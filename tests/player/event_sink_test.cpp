// The reporting rules: gate, latch, buffering poll, listener hand-over.
// The host is real but idle; the events are given to its sink directly.

#include <memory>
#include <thread>

#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include "player/media_player_host.h"
#include "player/player_event_sink.h"
#include "player_test_support.h"

namespace lumora::test {
namespace {

class EventSinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        errorLatch.store(false);
        buffering.store(false);
        // A short poll: 10 ms, 20 cycles.
        host_ = std::make_unique<MediaPlayerHost>(&parent_, QRect(0, 0, 64, 48),
                                                  PlayerOptions{"null"}, 10, 20);
        ASSERT_TRUE(host_->Ready());
    }

    // The sink is the host's; the tests drive it as mpv's events would.
    PlayerEventSink& Sink() { return const_cast<PlayerEventSink&>(host_->Sink()); }

    QWidget parent_;
    StatusRecorder recorder_;
    std::unique_ptr<MediaPlayerHost> host_;
};

TEST_F(EventSinkTest, ErrorLatchesUntilNextBufferingStart) {
    Sink().Error();
    ASSERT_EQ(recorder_.reports.size(), 1u);
    EXPECT_EQ(recorder_.reports[0].code, kStatusNotPlaying);
    EXPECT_TRUE(errorLatch.load());

    // Latched: status changes, errors and a buffering stop are silent.
    Sink().StatusChange();
    Sink().Error();
    buffering.store(true);
    Sink().Buffering(false);
    EXPECT_EQ(recorder_.reports.size(), 1u);
    EXPECT_FALSE(buffering.load());  // the stop still clears the flag

    // A buffering start lifts the latch; the poll reports at once.
    Sink().Buffering(true);
    EXPECT_FALSE(errorLatch.load());
    ASSERT_EQ(recorder_.reports.size(), 2u);
    EXPECT_EQ(recorder_.reports[1].code, kStatusInformation);
    Sink().Buffering(false);
    EXPECT_EQ(recorder_.reports.size(), 3u);
    Sink().StatusChange();
    EXPECT_EQ(recorder_.reports.size(), 4u);
}

TEST_F(EventSinkTest, PollEndsWhenBufferingStopsOrAfterItsCycles) {
    Sink().Buffering(true);
    EXPECT_TRUE(Sink().Poll().IsRunning());
    QTest::qWait(55);
    Sink().Buffering(false);
    const std::size_t count = recorder_.reports.size();
    EXPECT_GE(count, 3u);
    QTest::qWait(60);
    EXPECT_FALSE(Sink().Poll().IsRunning());
    EXPECT_EQ(recorder_.reports.size(), count);

    // Without a stop, the poll ends by itself after its cycles and the
    // flag stays set until the stop event.
    recorder_.reports.clear();
    Sink().Buffering(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Sink().Poll().IsRunning(); }, 3000));
    EXPECT_EQ(recorder_.reports.size(), 20u);
    EXPECT_TRUE(buffering.load());
    QTest::qWait(50);
    EXPECT_EQ(recorder_.reports.size(), 20u);
}

TEST_F(EventSinkTest, EndedStreamReportsNotPlayingWithoutLatch) {
    // What the host does when a live stream ends by itself.
    StreamServer server({"--pace", "200000", "--die-after", "150000"});
    host_->Play(server.Url("stream.ts"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return host_->State() == PlayerState::kEnded; }, 15000));
    recorder_.reports.clear();
    Sink().StatusChange();
    ASSERT_EQ(recorder_.reports.size(), 1u);
    EXPECT_EQ(recorder_.reports[0].code, kStatusNotPlaying);
    EXPECT_EQ(recorder_.reports[0].text, u"Stream lost");
    EXPECT_FALSE(errorLatch.load());
    // Not latched, so the next status change still reports.
    Sink().StatusChange();
    EXPECT_EQ(recorder_.reports.size(), 2u);
}

TEST_F(EventSinkTest, ReportsFromOtherThreadsArriveOnTheUiThread) {
    std::thread worker([] { ReportThroughGate(kStatusInformation); });
    worker.join();
    EXPECT_TRUE(recorder_.reports.empty());  // not delivered on the worker
    ASSERT_TRUE(QTest::qWaitFor([&] { return !recorder_.reports.empty(); }, 1000));
    EXPECT_TRUE(recorder_.reports[0].onUiThread);
}

TEST_F(EventSinkTest, WithoutListenerOrHostReportsAreDropped) {
    SetStatusListener(nullptr);
    Sink().Error();  // formed and dropped
    EXPECT_TRUE(errorLatch.load());
    SetStatusListener(&recorder_);

    errorLatch.store(false);
    host_.reset();
    ReportThroughGate(kStatusInformation);
    ReportThroughGate(kStatusNotPlaying);
    EXPECT_TRUE(recorder_.reports.empty());
    EXPECT_FALSE(errorLatch.load());
}

}  // namespace
}  // namespace lumora::test
