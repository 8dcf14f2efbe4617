// FetchToSink against a real HTTP server on 127.0.0.1: the body in pieces,
// conditional requests, and every way a transfer ends short.

#include "net/fetch_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "document/text_encoding.h"
#include "test_server.h"

namespace lumora {
namespace {

using test::QuickOptions;
using test::RandomBytes;
using test::ScratchFolder;
using test::TestServer;

StreamRequest Request(std::string url, std::string agent = {}, std::string referrer = {}) {
    StreamRequest request;
    request.url = std::move(url);
    request.userAgent = std::move(agent);
    request.referrer = std::move(referrer);
    return request;
}

// What a sink was given.
struct Received {
    std::string bytes;
    std::size_t pieces = 0;
    std::size_t largestPiece = 0;

    ChunkSink Sink() {
        return [this](std::string_view chunk) {
            bytes.append(chunk);
            ++pieces;
            largestPiece = std::max(largestPiece, chunk.size());
            return true;
        };
    }
};

class FetchStreamTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Running()); }

    std::string Url(std::string_view path) const { return ToUtf8(server.Url(path)); }
    void Publish(std::string_view path, std::string_view bytes) {
        test::WriteFileBytes(folder.Path() / std::string(path.substr(1)), bytes);
    }
    StreamResult Fetch(const StreamRequest& request, Received& received) {
        return FetchToSink(request, received.Sink(), QuickOptions());
    }

    ScratchFolder folder;
    TestServer server{folder.Path()};
};

TEST_F(FetchStreamTest, AChunkedLargeBodyArrivesInPiecesAndWholeUntilTheSinkSaysStop) {
    const std::string bytes = RandomBytes(1024 * 1024 + 17, 1);
    Publish("/guide.xml.gz", bytes);
    server.SetRule("/guide.xml.gz", R"({"mode":"chunks"})");
    Received received;
    StreamResult result = Fetch(Request(Url("/guide.xml.gz")), received);
    EXPECT_EQ(result.status, StreamStatus::Ok) << result.message;
    EXPECT_EQ(result.bodyBytes, bytes.size());
    EXPECT_TRUE(received.bytes == bytes);
    EXPECT_GT(received.pieces, 10u);
    EXPECT_LE(received.largestPiece, 64u * 1024u);

    std::size_t calls = 0;
    result = FetchToSink(
        Request(Url("/guide.xml.gz")), [&](std::string_view) { return ++calls < 2; },
        QuickOptions());
    EXPECT_EQ(result.status, StreamStatus::Aborted);
    EXPECT_EQ(calls, 2u);
}

TEST_F(FetchStreamTest, ValidatorsMakeAnUnchangedGuideNotModified) {
    Publish("/guide.xml", "<tv/>");
    Received first, again;
    StreamRequest request = Request(Url("/guide.xml"));
    request.conditions = Fetch(request, first).validators;
    ASSERT_FALSE(request.conditions.etag.empty());
    StreamResult result = Fetch(request, again);
    EXPECT_EQ(result.status, StreamStatus::NotModified);
    EXPECT_TRUE(result.Succeeded());
    EXPECT_EQ(result.httpStatus, 304);
    EXPECT_EQ(again.pieces, 0u);
    EXPECT_EQ(result.validators.etag, request.conditions.etag);
}

// Each way a transfer ends short says why; refused addresses and error
// pages give the sink nothing at all.
TEST_F(FetchStreamTest, EveryFailureHasItsOwnResult) {
    Publish("/file", RandomBytes(64 * 1024, 2));
    server.SetRule("/to-file", R"({"mode":"redirect","to":"file:///etc/hostname"})");
    server.SetRule("/stall", R"({"mode":"stall"})");
    server.SetRule("/silent", R"({"mode":"stall_headers"})");
    server.SetRule("/loop", R"({"mode":"redirect","to":"/loop"})");
    StreamRequest capped = Request(Url("/file"));
    capped.maxBodyBytes = 1000;
    const struct {
        const char* what;
        StreamRequest request;
        StreamStatus status;
        long httpStatus;
        bool sinkMayRun;
    } rows[] = {
        {"missing file", Request(Url("/missing")), StreamStatus::HttpError, 404, false},
        {"redirect to a file address", Request(Url("/to-file")), StreamStatus::Refused, 302, false},
        {"file address", Request("file:///etc/hostname"), StreamStatus::Refused, 0, false},
        {"a path", Request("/dev/zero"), StreamStatus::Refused, 0, false},
        {"another scheme", Request("ftp://127.0.0.1/x"), StreamStatus::Refused, 0, false},
        {"stalls mid-body", Request(Url("/stall")), StreamStatus::TransferFailed, 200, true},
        {"never answers", Request(Url("/silent")), StreamStatus::TransferFailed, 0, false},
        {"endless redirects", Request(Url("/loop")), StreamStatus::TransferFailed, 302, false},
        {"over the cap", capped, StreamStatus::TooLarge, 200, false},
    };
    for (const auto& row : rows) {
        Received received;
        StreamResult result = Fetch(row.request, received);
        EXPECT_EQ(result.status, row.status) << row.what << ": " << result.message;
        EXPECT_EQ(result.httpStatus, row.httpStatus) << row.what;
        EXPECT_FALSE(result.Succeeded()) << row.what;
        EXPECT_FALSE(result.message.empty()) << row.what;
        if (!row.sinkMayRun) {
            EXPECT_EQ(received.pieces, 0u) << row.what;
        }
    }
}

TEST_F(FetchStreamTest, SendsTheStreamsAgentAndReferrerButNoForgedHeader) {
    server.SetRule("/echo", R"({"mode":"echo"})");
    const struct {
        std::string agent;
        std::string referrer;
        std::vector<std::string> sent;
        std::string notSent;
    } rows[] = {
        {"Player/2.0",
         "https://r.example/",
         {"User-Agent: Player/2.0\n", "Referer: https"},
         "curl"},
        {"Bad\r\nX-Evil: 1", "a\nX-Evil: 2", {"Cache-Control: no-cache\n"}, "X-Evil"},
    };
    for (const auto& row : rows) {
        Received received;
        StreamRequest request = Request(Url("/echo"), row.agent, row.referrer);
        ASSERT_EQ(Fetch(request, received).status, StreamStatus::Ok);
        for (const std::string& line : row.sent)
            EXPECT_NE(received.bytes.find(line), std::string::npos) << received.bytes;
        EXPECT_EQ(received.bytes.find(row.notSent), std::string::npos) << received.bytes;
    }
}

}  // namespace
}  // namespace lumora
