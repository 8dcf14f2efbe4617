// The probing engine against loopback servers: what it reports for streams
// that play and for every way a stream can fail.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "probe/probe_pool.h"
#include "probe/stream_probe.h"
#include "probe_test_support.h"

namespace lumora::probetest {
namespace {

// Short enough that the failing rows, probed side by side, end in a few
// seconds; long enough for a loaded machine to answer a working stream.
constexpr std::chrono::milliseconds kTestDeadline{3000};

ProbeRequest RequestFor(const std::string& address) {
    ProbeRequest request;
    request.address = address;
    request.deadline = kTestDeadline;
    return request;
}

class StreamProbeTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!Loopback::Get().Ready())
            GTEST_FAIL() << "the test media or the loopback server could not be made";
    }
    const Loopback& server = Loopback::Get();
};

TEST_F(StreamProbeTest, TellsWhyAStreamDoesNotWork) {
    struct Case {
        const char* what;
        std::string address;
        ProbeOutcome outcome;
        const char* reason;  // part of the reason text
    };
    const std::vector<Case> cases = {
        {"404", server.Url("/missing.ts"), ProbeOutcome::HttpError, "HTTP 404"},
        {"web page", server.Url("/page.html"), ProbeOutcome::NotMedia, ""},
        {"refused port", "http://127.0.0.1:" + std::to_string(UnusedPort()) + "/stream.ts",
         ProbeOutcome::Refused, "connection refused"},
        {"accepts, never answers", server.Url("/silent/stream.ts"), ProbeOutcome::TimedOut, "3 s"},
        {"headers, then stalls", server.Url("/stall/stream.ts"), ProbeOutcome::TimedOut, "3 s"},
        {"one byte a second", server.Url("/trickle/stream.ts"), ProbeOutcome::TimedOut, "3 s"},
        {"redirect loop", server.Url("/loop/stream.ts"), ProbeOutcome::Failed, "redirect"},
        {"local file", "file:///etc/passwd", ProbeOutcome::RefusedAddress, "refused address"},
        {"descriptor", "fd://0", ProbeOutcome::RefusedAddress, "refused address"},
        // A playlist from a server may not lead the probe to a local file.
        {"playlist naming a local file", server.Url("/local.m3u8"), ProbeOutcome::NotMedia, ""},
    };
    std::vector<ProbeRequest> requests;
    for (const Case& c : cases)
        requests.push_back(RequestFor(c.address));
    // Side by side, as the checker runs them.
    ProbePool pool(std::move(requests), int(cases.size()));
    pool.Start();
    std::vector<ProbeResult> results = pool.Join();

    ASSERT_EQ(results.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].what);
        EXPECT_EQ(OutcomeText(results[i].outcome), OutcomeText(cases[i].outcome))
            << results[i].reason;
        EXPECT_NE(results[i].reason.find(cases[i].reason), std::string::npos) << results[i].reason;
        EXPECT_EQ(results[i].kbps, 0);
    }
    EXPECT_EQ(results[0].httpStatus, 404);
}

TEST_F(StreamProbeTest, MeasuresAWorkingStream) {
    struct Case {
        const char* what;
        std::string address;
        int kbps;  // 0: none is measured
        int height;
        const char* codecs;
    };
    const std::vector<Case> cases = {
        {"TS over HTTP", server.Url("/stream.ts"), kEncodedKbps, kEncodedHeight, "h264+aac"},
        {"HLS playlist", server.Url("/hls/index.m3u8"), kEncodedKbps, kEncodedHeight, "h264+aac"},
        {"the player's test pattern", "av://lavfi:testsrc2=size=640x360:rate=25", 0, 360,
         "rawvideo"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::atomic<bool> stop{false};
        ProbeRequest request = RequestFor(c.address);
        request.deadline = std::chrono::seconds(20);
        ProbeResult result = ProbeStream(request, stop);
        ASSERT_TRUE(result.Working()) << OutcomeText(result.outcome) << ": " << result.reason;
        EXPECT_NEAR(result.kbps, c.kbps, c.kbps * 0.15);
        EXPECT_EQ(result.height, c.height);
        EXPECT_EQ(result.codecs, c.codecs);
        EXPECT_GE(result.firstPacketMs, 0);
    }
}

TEST_F(StreamProbeTest, SendsTheStreamsUserAgentAndReferrer) {
    std::atomic<bool> stop{false};
    ProbeRequest request = RequestFor(server.Url("/headers/stream.ts"));
    request.deadline = std::chrono::seconds(20);
    request.userAgent = "LumoraCheck/1.0 (tests)";
    request.referrer = "http://portal.example.org/live";
    ASSERT_TRUE(ProbeStream(request, stop).Working());
    // A value that would end the header line early is not sent at all.
    request.userAgent = "Evil/1.0\r\nX-Injected: yes";
    request.referrer = "http://portal.example.org/\r\nX-Injected: yes";
    ASSERT_TRUE(ProbeStream(request, stop).Working());

    std::string headers = ReadText(server.Root() / "headers.log");
    EXPECT_NE(headers.find("User-Agent: LumoraCheck/1.0 (tests)"), std::string::npos) << headers;
    EXPECT_NE(headers.find("Referer: http://portal.example.org/live"), std::string::npos)
        << headers;
    EXPECT_EQ(headers.find("X-Injected"), std::string::npos) << headers;
    EXPECT_EQ(headers.find("Evil"), std::string::npos) << headers;
}

TEST_F(StreamProbeTest, StopEndsARunningProbe) {
    std::atomic<bool> stop{false};
    ProbeRequest request = RequestFor(server.Url("/silent/stop-me"));
    request.deadline = std::chrono::minutes(10);
    std::thread stopper([&] {
        server.WaitForRequest("/silent/stop-me");
        stop.store(true);
    });
    ProbeResult result = ProbeStream(request, stop);
    stopper.join();
    EXPECT_EQ(OutcomeText(result.outcome), OutcomeText(ProbeOutcome::Interrupted));
}

}  // namespace
}  // namespace lumora::probetest
