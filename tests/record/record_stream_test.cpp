// Recordings of paced loopback streams, read back with ffprobe: the file's
// duration is the time recorded, a dropped server is a gap, the address
// rule and the protocol list hold.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "record/record_stream.h"
#include "record/recording.h"
#include "record_test_support.h"

namespace lumora {
namespace {

using namespace std::chrono_literals;
using recordtest::LoopbackUrl;
using recordtest::ProbeFile;
using recordtest::ServeMedia;
using recordtest::TestMedia;
using Wall = std::chrono::system_clock;

// The file's duration may differ from the time recorded by this much.
constexpr double kDurationTolerance = 2.0;

RecordingRequest RequestFor(const std::string& address, const std::filesystem::path& file,
                            std::chrono::milliseconds length) {
    RecordingRequest request;
    request.address = address;
    request.file = file.string();
    request.channel = "Loop One";
    request.title = "The News";
    request.description = "What happened today.";
    request.until = Wall::now() + length;
    return request;
}

double SecondsSince(Wall::time_point start) {
    return std::chrono::duration<double>(Wall::now() - start).count();
}

class RecordStreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!TestMedia::Get().Ready())
            GTEST_SKIP() << "ffmpeg could not make the test media";
    }
    test::ScratchFolder scratch_;
};

TEST_F(RecordStreamTest, TsAndHlsStreamsBecomeFilesOfTheTimeRecorded) {
    auto server = ServeMedia();
    ASSERT_GT(server->Port(), 0);
    for (const char* path : {"/stream.ts", "/hls/index.m3u8"}) {
        const std::filesystem::path file = scratch_.Path("recording.ts");
        const Wall::time_point start = Wall::now();
        const RecordingOutcome outcome =
            RecordStream(RequestFor(LoopbackUrl(server->Port(), path), file, 6s), {false});
        const double recorded = SecondsSince(start);
        EXPECT_EQ(outcome.status, RecordingStatus::Completed) << path << ": " << outcome.error;
        EXPECT_TRUE(outcome.gaps.empty()) << path;
        EXPECT_EQ(outcome.bytes, std::int64_t(std::filesystem::file_size(file))) << path;
        const recordtest::Probed probed = ProbeFile(file);
        EXPECT_NEAR(probed.seconds, recorded, kDurationTolerance) << path;
        EXPECT_NEAR(outcome.seconds, probed.seconds, 0.5) << path;
        EXPECT_EQ(probed.serviceName, "Loop One") << path;
    }
}

TEST_F(RecordStreamTest, AStreamWhoseClockJumpsBackIsRecordedOnInOneRun) {
    auto server = ServeMedia();
    const std::filesystem::path file = scratch_.Path("jump.ts");
    const Wall::time_point start = Wall::now();
    const RecordingOutcome outcome =
        RecordStream(RequestFor(LoopbackUrl(server->Port(), "/jump.ts"), file, 7s), {false});
    const double recorded = SecondsSince(start);
    EXPECT_EQ(outcome.status, RecordingStatus::Completed) << outcome.error;
    EXPECT_NEAR(ProbeFile(file).seconds, recorded, kDurationTolerance);
}

TEST_F(RecordStreamTest, StoppingEndsTheRecordingWithAWholeFile) {
    auto server = ServeMedia();
    const std::filesystem::path file = scratch_.Path("stopped.ts");
    Recording recording(RequestFor(LoopbackUrl(server->Port(), "/stream.ts"), file, 60s));
    std::this_thread::sleep_for(3s);
    EXPECT_FALSE(recording.Finished());
    EXPECT_FALSE(recording.Outcome());
    const Wall::time_point stopped = Wall::now();
    recording.Stop();
    const RecordingOutcome& outcome = recording.Wait();
    EXPECT_LT(SecondsSince(stopped), 1.0);
    EXPECT_EQ(outcome.status, RecordingStatus::Stopped);
    EXPECT_TRUE(outcome.KeptFile());
    EXPECT_GT(ProbeFile(file).seconds, 1.0);
}

TEST_F(RecordStreamTest, ADroppedServerThatComesBackIsAGapInOneFile) {
    const int port = test::UnusedPort();
    // About three seconds of media, then the server is gone.
    auto first = ServeMedia({"--die-after", std::to_string(TestMedia::Get().Pace() * 3)}, port);
    ASSERT_EQ(first->Port(), port);
    const std::filesystem::path file = scratch_.Path("gap.ts");
    Recording recording(RequestFor(LoopbackUrl(port, "/stream.ts"), file, 12s));
    std::this_thread::sleep_for(6s);
    auto second = ServeMedia({}, port);
    ASSERT_EQ(second->Port(), port);
    const RecordingOutcome& outcome = recording.Wait();
    EXPECT_EQ(outcome.status, RecordingStatus::Completed) << outcome.error;
    ASSERT_EQ(outcome.gaps.size(), 1u);
    EXPECT_NEAR(outcome.gaps[0].atSeconds, 3.0, 1.5);
    EXPECT_GT(outcome.gaps[0].lengthSeconds, 1.0);
    // Before and after the gap, in one file that plays through.
    EXPECT_GT(ProbeFile(file).seconds, 5.0);
}

TEST_F(RecordStreamTest, AStreamThatDoesNotComeBackEndsWithWhatCame) {
    const int port = test::UnusedPort();
    auto server = ServeMedia({"--die-after", std::to_string(TestMedia::Get().Pace() * 2)}, port);
    const std::filesystem::path file = scratch_.Path("lost.ts");
    RecordingRequest request = RequestFor(LoopbackUrl(port, "/stream.ts"), file, 60s);
    request.reconnectFor = 3s;
    const RecordingOutcome outcome = RecordStream(request, {false});
    EXPECT_EQ(outcome.status, RecordingStatus::StreamLost);
    EXPECT_FALSE(outcome.error.empty());
    EXPECT_EQ(outcome.gaps.size(), 1u);
    EXPECT_TRUE(outcome.KeptFile());
    EXPECT_GT(ProbeFile(file).seconds, 0.5);
}

TEST_F(RecordStreamTest, WhatMayNotBeOpenedMakesNoFile) {
    auto server = ServeMedia();
    const struct {
        std::string address;
        RecordingStatus status;
    } rows[] = {
        {"file://" + (TestMedia::Get().Root() / "stream.ts").string(),
         RecordingStatus::RefusedAddress},
        {(TestMedia::Get().Root() / "stream.ts").string(), RecordingStatus::RefusedAddress},
        {"av://lavfi:testsrc", RecordingStatus::OpenFailed},
        // A playlist on the network whose segment is a local file.
        {LoopbackUrl(server->Port(), "/local.m3u8"), RecordingStatus::OpenFailed},
        {LoopbackUrl(server->Port(), "/missing.ts"), RecordingStatus::OpenFailed},
        {LoopbackUrl(test::UnusedPort(), "/stream.ts"), RecordingStatus::OpenFailed},
    };
    for (const auto& row : rows) {
        const std::filesystem::path file = scratch_.Path("refused.ts");
        const RecordingOutcome outcome = RecordStream(RequestFor(row.address, file, 5s), {false});
        EXPECT_EQ(outcome.status, row.status) << row.address << ": " << outcome.error;
        EXPECT_FALSE(outcome.error.empty()) << row.address;
        EXPECT_FALSE(std::filesystem::exists(file)) << row.address;
    }
}

TEST_F(RecordStreamTest, AFileThatCannotBeMadeIsAFailure) {
    auto server = ServeMedia();
    const RecordingOutcome outcome = RecordStream(
        RequestFor(LoopbackUrl(server->Port(), "/stream.ts"), scratch_.Path("no/such/dir.ts"), 5s),
        {false});
    EXPECT_EQ(outcome.status, RecordingStatus::FileFailed);
    EXPECT_NE(outcome.error.find("no/such/dir.ts"), std::string::npos) << outcome.error;
}

}  // namespace
}  // namespace lumora
