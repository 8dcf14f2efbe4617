// The catalogue side of `lumora-data check`, without any network: how probe
// results reorder and rewrite a catalogue, the report's CSV, and the
// command lines the verb refuses.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data_verb_runner.h"
#include "document/doc_node.h"
#include "document/text_encoding.h"
#include "tools/check_report.h"
#include "tools/checked_catalogue.h"

namespace lumora::tools {
namespace {

ProbeResult Working(int height, int kbps) {
    ProbeResult result;
    result.outcome = ProbeOutcome::Working;
    result.height = height;
    result.kbps = kbps;
    return result;
}

ProbeResult Dead() {
    ProbeResult result;
    result.outcome = ProbeOutcome::TimedOut;
    return result;
}

// A catalogue with one channel "us"/"C" whose streams are addressed "s0",
// "s1" ... each with "b" = 7.
std::unique_ptr<DocNode> OneChannel(std::size_t streams) {
    auto root = std::make_unique<DocNode>("2.0.0.1");
    DocNode* channel = root->AddChild("us")->AddChild("C");
    channel->SetWString("n", u"Channel");
    for (std::size_t i = 0; i < streams; ++i) {
        DocNode* stream = channel->AddChild(std::to_string(i));
        stream->SetInt("b", 7);
        stream->SetWString("u", FromUtf8("http://example.org/s" + std::to_string(i)));
    }
    return root;
}

std::vector<std::string> AddressesOf(const DocNode& channel) {
    std::vector<std::string> addresses;
    while (const DocNode* stream = channel.Child(std::to_string(addresses.size())))
        addresses.push_back(
            ToUtf8(stream->GetWString("u")).substr(std::string("http://example.org/").size()));
    return addresses;
}

TEST(CheckedCatalogue, RanksWorkingStreamsByHeightThenBitRate) {
    struct Case {
        const char* what;
        std::vector<ProbeResult> results;
        std::vector<std::string> order;
        std::vector<int> bitRates;  // "b" of the streams in their new order
    };
    const std::vector<Case> cases = {
        {"dead then alive", {Dead(), Working(720, 900)}, {"s1", "s0"}, {900, 7}},
        {"taller first",
         {Working(480, 3000), Working(1080, 2000), Working(720, 5000)},
         {"s1", "s2", "s0"},
         {2000, 5000, 3000}},
        {"same height: higher rate first",
         {Working(720, 900), Working(720, 2500)},
         {"s1", "s0"},
         {2500, 900}},
        {"ties and dead keep their order",
         {Dead(), Working(0, 0), Dead(), Working(0, 0)},
         {"s1", "s3", "s0", "s2"},
         {7, 7, 7, 7}},
        {"all dead: unchanged", {Dead(), Dead()}, {"s0", "s1"}, {7, 7}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto root = OneChannel(c.results.size());
        std::vector<CatalogueStream> streams = CollectStreams(*root, {});
        ASSERT_EQ(streams.size(), c.results.size());
        ResultOfStream results;
        for (std::size_t i = 0; i < streams.size(); ++i)
            results[streams[i].node] = &c.results[i];

        RankedCatalogue ranked = RankStreams(*root, {}, results, DeadChannels::Keep);
        const DocNode& channel = *ranked.document->Child("us")->Child("C");
        EXPECT_EQ(AddressesOf(channel), c.order);
        for (std::size_t k = 0; k < c.bitRates.size(); ++k)
            EXPECT_EQ(channel.Child(std::to_string(k))->GetInt("b", -1), c.bitRates[k]) << k;
        EXPECT_EQ(ranked.channels, 1u);
    }
}

TEST(CheckedCatalogue, KeepsEverythingButTheStreamOrder) {
    auto root = OneChannel(2);
    DocNode* channel = root->Child("us")->Child("C");
    channel->SetString("c", "mu");
    channel->Child("1")->SetWString("ua", u"Agent/1");
    channel->AddChild("5")->SetWString("u", u"http://example.org/after-a-gap");
    root->Child("us")->SetInt("extra", 3);
    std::vector<CatalogueStream> streams = CollectStreams(*root, {});
    ASSERT_EQ(streams.size(), 2u);  // the node after the gap is no stream
    EXPECT_EQ(streams[1].userAgent, "Agent/1");
    EXPECT_EQ(streams[1].channelId, "us_C");
    ProbeResult dead = Dead(), alive = Working(0, 0);
    ResultOfStream results = {{streams[0].node, &dead}, {streams[1].node, &alive}};

    RankedCatalogue ranked = RankStreams(*root, {}, results, DeadChannels::Keep);
    const DocNode& out = *ranked.document->Child("us")->Child("C");
    EXPECT_EQ(ranked.document->Name(), "2.0.0.1");
    EXPECT_EQ(ranked.document->Child("us")->GetInt("extra", 0), 3);
    EXPECT_EQ(out.GetString("c"), "mu");
    EXPECT_EQ(ToUtf8(out.Child("0")->GetWString("ua")), "Agent/1");
    EXPECT_EQ(ToUtf8(out.Child("5")->GetWString("u")), "http://example.org/after-a-gap");
}

// The player takes names and addresses from wide strings only; a narrow one
// is nothing to it, so the checker must not probe or rank it either.
TEST(CheckedCatalogue, ReadsTextsAsThePlayerDoes) {
    auto root = OneChannel(2);
    DocNode* channel = root->Child("us")->Child("C");
    channel->SetString("n", "Narrow name");
    DocNode* narrow = channel->Child("0");
    narrow->SetString("u", "http://example.org/narrow");
    narrow->SetString("ua", "Agent/narrow");
    narrow->SetString("ref", "http://example.org/narrow-ref");

    std::vector<CatalogueStream> streams = CollectStreams(*root, {});
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0].channelName, "");
    EXPECT_EQ(streams[0].address, "");
    EXPECT_EQ(streams[0].userAgent, "");
    EXPECT_EQ(streams[0].referrer, "");
    EXPECT_EQ(streams[1].address, "http://example.org/s1");
}

TEST(CheckedCatalogue, DropsOnlyCheckedChannelsWithoutAWorkingStream) {
    DocNode root("1.0.0.1");
    for (const char* country : {"de", "us"}) {
        DocNode* channel = root.AddChild(country)->AddChild("Dead");
        channel->AddChild("0")->SetWString("u", u"http://example.org/dead");
    }
    std::vector<CatalogueStream> streams = CollectStreams(root, CheckScope{{"de"}});
    ASSERT_EQ(streams.size(), 1u);
    ProbeResult dead = Dead();
    RankedCatalogue ranked =
        RankStreams(root, CheckScope{{"de"}}, {{streams[0].node, &dead}}, DeadChannels::Drop);
    EXPECT_EQ(ranked.document->Child("de"), nullptr);
    EXPECT_NE(ranked.document->Child("us"), nullptr);
    EXPECT_EQ(ranked.dropped, 1u);
    EXPECT_EQ(ranked.channels, 1u);
}

TEST(CheckReport, QuotesFieldsAndDisarmsFormulas) {
    CatalogueStream stream;
    stream.country = "us";
    stream.channelId = "us_X";
    stream.index = 2;
    stream.address = "http://example.org/a,b";
    ProbeResult result = Working(720, 1800);
    result.reason = "mpegts";
    result.codecs = "h264+aac";
    result.firstPacketMs = 42;
    struct Case {
        const char* name;
        const char* field;
    };
    const Case cases[] = {
        {"Plain", "Plain"},
        {"Say \"hi\"", "\"Say \"\"hi\"\"\""},
        {"=HYPERLINK(\"http://x\")", "\"'=HYPERLINK(\"\"http://x\"\")\""},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"line\nbreak", "\"line\nbreak\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        stream.channelName = c.name;
        std::string text = CheckReportText({stream}, {result});
        std::string row = text.substr(text.find("\r\n") + 2);
        EXPECT_EQ(row, std::string("us,us_X,") + c.field +
                           ",2,\"http://example.org/a,b\",working,mpegts,1800,720,h264+aac,42\r\n");
    }
}

TEST(CheckCommandLine, RefusesWhatItCannotDo) {
    verbtest::ScratchFolder scratch;
    DocNode catalogue("1.0.0.1");
    catalogue.AddChild("us");
    std::string in = scratch / "in.lmch";
    ASSERT_TRUE(catalogue.SaveToFile(FromUtf8(in)));
    verbtest::WriteBytes(scratch / "not-a-document", "hello");
    std::string out = scratch / "out.lmch";
    struct Case {
        std::vector<std::string> args;
        int exitCode;
    };
    const std::vector<Case> cases = {
        {{"check", in}, 2},
        {{"check", in, out, "--jobs", "0"}, 2},
        {{"check", in, out, "--jobs", "2.5"}, 2},
        {{"check", in, out, "--timeout", "soon"}, 2},
        {{"check", in, out, "--only", ","}, 2},
        {{"check", in, out, "--fast"}, 2},
        {{"check", in, out, "--report"}, 2},
        {{"check", in, out, "--only", "zz"}, 1},
        {{"check", scratch / "not-a-document", out}, 1},
        {{"check", scratch / "missing.lmch", out}, 1},
        // Refused before any probing, not after it.
        {{"check", in, scratch / "no-folder/out.lmch"}, 1},
        {{"check", in, out, "--report", scratch / "no-folder/report.csv"}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back());
        verbtest::ToolResult result = verbtest::RunDataTool(scratch, c.args);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.errors;
        EXPECT_FALSE(result.errors.empty());
        EXPECT_FALSE(std::filesystem::exists(out));
    }
}

}  // namespace
}  // namespace lumora::tools
