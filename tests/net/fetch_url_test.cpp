// FetchUrl against a real HTTP server on 127.0.0.1.

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <thread>

#include "document/text_encoding.h"
#include "net/fetch_url.h"
#include "test_server.h"

namespace lumora {
namespace {

using test::QuickOptions;
using test::RandomBytes;
using test::ScratchFolder;
using test::TestServer;

class FetchUrlTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Running()); }

    std::unique_ptr<MemoryStream> Fetch(std::string_view path,
                                        const FetchOptions& options = QuickOptions()) {
        return FetchUrl(kUpdateAgent, server.Url(path), options);
    }
    void Publish(std::string_view path, std::string_view bytes) {
        test::WriteFileBytes(folder.Path() / std::string(path.substr(1)), bytes);
    }

    ScratchFolder folder;
    TestServer server{folder.Path()};
};

TEST_F(FetchUrlTest, ReturnsTheWholeBodyPositionedAtStart) {
    std::string bytes = RandomBytes(300 * 1024 + 17, 1);
    Publish("/big.bin", bytes);
    auto body = Fetch("/big.bin");
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->Position(), 0u);
    EXPECT_EQ(body->View(), bytes);
}

TEST_F(FetchUrlTest, EmptyBodyIsAnEmptyStreamNotNone) {
    Publish("/empty", "");
    auto body = Fetch("/empty");
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->Size(), 0u);
}

TEST_F(FetchUrlTest, ChunksOfDifferentSizesArriveWholeAndInOrder) {
    std::string bytes = RandomBytes(100 * 1000, 2);
    Publish("/chunked", bytes);
    server.SetRule("/chunked", R"({"mode":"chunks"})");
    auto body = Fetch("/chunked");
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->Position(), 0u);
    EXPECT_EQ(body->View(), bytes);
}

TEST_F(FetchUrlTest, ErrorPageIsReturnedAsTheBody) {
    // The status is not examined: the caller's parsing rejects the page.
    auto body = Fetch("/missing");
    ASSERT_NE(body, nullptr);
    EXPECT_NE(body->View().find("<html>"), std::string_view::npos);
}

TEST_F(FetchUrlTest, SendsTheAgentAndAsksCachesToFetchAnew) {
    server.SetRule("/echo", R"({"mode":"echo"})");
    auto body = Fetch("/echo");
    ASSERT_NE(body, nullptr);
    std::string request(body->View());
    EXPECT_EQ(request.rfind("GET /echo HTTP/1.1", 0), 0u) << request;
    EXPECT_NE(request.find("User-Agent: Agent\n"), std::string::npos) << request;
    EXPECT_NE(request.find("Content-Type: application/x-www-form-urlencoded\n"), std::string::npos);
    EXPECT_NE(request.find("Cache-Control: no-cache\n"), std::string::npos);
    EXPECT_NE(request.find("Pragma: no-cache\n"), std::string::npos);
}

TEST_F(FetchUrlTest, ProxySettingsOfTheEnvironmentAreIgnored) {
    std::string deadProxy = "http://127.0.0.1:" + std::to_string(test::UnusedPort());
    setenv("http_proxy", deadProxy.c_str(), 1);
    setenv("HTTP_PROXY", deadProxy.c_str(), 1);
    setenv("ALL_PROXY", deadProxy.c_str(), 1);
    Publish("/direct", "direct");
    auto body = Fetch("/direct");
    unsetenv("http_proxy");
    unsetenv("HTTP_PROXY");
    unsetenv("ALL_PROXY");
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->View(), "direct");
}

TEST_F(FetchUrlTest, RedirectsAreFollowedUpToTheLimit) {
    Publish("/target", "arrived");
    server.SetRule("/hop1", R"({"mode":"redirect","to":"/hop2"})");
    server.SetRule("/hop2", R"({"mode":"redirect","to":"/target"})");
    auto body = Fetch("/hop1");
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->View(), "arrived");

    server.SetRule("/loop", R"({"mode":"redirect","to":"/loop"})");
    EXPECT_EQ(Fetch("/loop"), nullptr);
}

TEST_F(FetchUrlTest, RedirectToAFileAddressIsRefused) {
    server.SetRule("/local", R"({"mode":"redirect","to":"file:///etc/hostname"})");
    EXPECT_EQ(Fetch("/local"), nullptr);
    EXPECT_EQ(FetchUrl(kUpdateAgent, u"file:///etc/hostname", QuickOptions()), nullptr);
}

// Every broken transfer gives none, never the bytes received so far.
TEST_F(FetchUrlTest, BrokenTransfersGiveNone) {
    Publish("/file", RandomBytes(64 * 1024, 3));
    struct Row {
        const char* rule;
        const char* what;
    } rows[] = {
        {R"({"mode":"short"})", "body cut short of its announced length"},
        {R"({"mode":"reset"})", "connection reset mid-body"},
        {R"({"mode":"stall"})", "server stalls mid-body"},
        {R"({"mode":"stall_headers"})", "server never answers"},
        {R"({"mode":"drip"})", "one byte every half second, below the lowest speed"},
    };
    for (const Row& row : rows) {
        server.SetRule("/file", row.rule);
        EXPECT_EQ(Fetch("/file"), nullptr) << row.what;
    }
}

TEST_F(FetchUrlTest, OverallTimeLimitCutsATransferThatNeverEnds) {
    // Fast enough not to count as crawling, but it would go on for an hour.
    server.SetRule("/endless", R"({"mode":"trickle"})");
    FetchOptions options = QuickOptions();
    options.stallTimeout = std::chrono::seconds(3);
    options.totalTimeout = std::chrono::seconds(2);
    EXPECT_EQ(Fetch("/endless", options), nullptr);
}

TEST_F(FetchUrlTest, ValidatorsOfTheAnswerAskForTheFileOnlyWhenItChanged) {
    Publish("/list.m3u", "#EXTM3U\n");
    FetchReply first = FetchUrlReply(kUpdateAgent, server.Url("/list.m3u"), {}, QuickOptions());
    ASSERT_NE(first.body, nullptr);
    EXPECT_EQ(first.status, 200);
    EXPECT_FALSE(first.validators.etag.empty());
    EXPECT_FALSE(first.validators.lastModified.empty());
    EXPECT_FALSE(first.NotModified());

    struct Row {
        const char* what;
        HttpValidators conditions;
        bool notModified;
    } rows[] = {
        {"same ETag", {first.validators.etag, ""}, true},
        {"same date", {"", first.validators.lastModified}, true},
        {"other ETag", {"\"elsewhere\"", ""}, false},
    };
    for (const Row& row : rows) {
        FetchReply reply =
            FetchUrlReply(kUpdateAgent, server.Url("/list.m3u"), row.conditions, QuickOptions());
        ASSERT_NE(reply.body, nullptr) << row.what;
        EXPECT_EQ(reply.NotModified(), row.notModified) << row.what;
        EXPECT_EQ(reply.body->Size(), row.notModified ? 0u : 8u) << row.what;
    }

    Publish("/list.m3u", "#EXTM3U\n#EXTINF:-1,New\nhttp://example.org/new\n");
    FetchReply changed = FetchUrlReply(kUpdateAgent, server.Url("/list.m3u"),
                                       {first.validators.etag, ""}, QuickOptions());
    ASSERT_NE(changed.body, nullptr);
    EXPECT_FALSE(changed.NotModified());
    EXPECT_NE(changed.validators.etag, first.validators.etag);
}

TEST_F(FetchUrlTest, BodyOverTheSizeLimitGivesNone) {
    Publish("/large", RandomBytes(5000, 4));
    FetchOptions options = QuickOptions();
    options.maxBodyBytes = 1000;
    EXPECT_EQ(Fetch("/large", options), nullptr);
    server.SetRule("/large", R"({"mode":"chunks"})");  // no announced length
    EXPECT_EQ(Fetch("/large", options), nullptr);
    options.maxBodyBytes = 5000;
    EXPECT_NE(Fetch("/large", options), nullptr);
}

TEST_F(FetchUrlTest, CallsOnSeveralThreadsAtOnceDoNotMix) {
    std::string first = RandomBytes(200 * 1000, 5);
    std::string second = RandomBytes(150 * 1000, 6);
    Publish("/one", first);
    Publish("/two", second);
    server.SetRule("/one", R"({"mode":"chunks"})");
    server.SetRule("/two", R"({"mode":"chunks"})");
    std::unique_ptr<MemoryStream> a, b;
    std::thread other([&] { a = Fetch("/one"); });
    b = Fetch("/two");
    other.join();
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(a->View(), first);
    EXPECT_EQ(b->View(), second);
}

TEST(FetchUrlUnreachable, RefusedConnectionAndUnknownHostGiveNone) {
    std::string refused = "http://127.0.0.1:" + std::to_string(test::UnusedPort()) + "/x";
    EXPECT_EQ(FetchUrl(FromUtf8(refused)), nullptr);
    EXPECT_EQ(FetchUrl(kUpdateAgent, u"http://no-such-host.invalid/x", QuickOptions()), nullptr);
    EXPECT_EQ(FetchUrl(u"not a url at all"), nullptr);
}

}  // namespace
}  // namespace lumora
