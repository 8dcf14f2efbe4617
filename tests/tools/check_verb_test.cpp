// `lumora-data check` end to end: a catalogue of loopback streams in, the
// ranked catalogue and the report out.

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "document/doc_node.h"
#include "document/text_encoding.h"
#include "probe_test_support.h"
#include "tools/data_verb_runner.h"

extern char** environ;

namespace lumora::probetest {
namespace {

using tools::verbtest::RunDataTool;
using tools::verbtest::ScratchFolder;

struct StreamSpec {
    std::string address;
    int bitRate = -1;  // "b", -1 for none
};
struct ChannelSpec {
    std::string country;
    std::string node;
    std::vector<StreamSpec> streams;
};

void AddChannel(DocNode& root, const ChannelSpec& spec) {
    DocNode* country = root.Child(spec.country, ChildMode::CreateIfMissing);
    DocNode* channel = country->AddChild(spec.node);
    channel->SetWString("n", FromUtf8(spec.node + " TV"));
    channel->SetString("p", "");
    channel->SetString("c", "n");
    for (std::size_t i = 0; i < spec.streams.size(); ++i) {
        DocNode* stream = channel->AddChild(std::to_string(i));
        if (spec.streams[i].bitRate >= 0)
            stream->SetInt("b", spec.streams[i].bitRate);
        stream->SetWString("u", FromUtf8(spec.streams[i].address));
    }
}

std::string WriteCatalogue(const ScratchFolder& scratch, const std::vector<ChannelSpec>& channels) {
    DocNode root("1.0.0.1");
    for (const ChannelSpec& channel : channels)
        AddChannel(root, channel);
    std::string path = scratch / "in.lmch";
    EXPECT_TRUE(root.SaveToFile(FromUtf8(path)));
    return path;
}

std::string Address(const DocNode& stream) {
    return ToUtf8(stream.GetWString("u"));
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

class CheckCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!Loopback::Get().Ready())
            GTEST_FAIL() << "the test media or the loopback server could not be made";
    }
    const Loopback& server = Loopback::Get();
    ScratchFolder scratch;
};

TEST_F(CheckCommandTest, PutsTheWorkingStreamFirstWithItsMeasuredBitRate) {
    const std::string dead = server.Url("/missing.ts");
    const std::string alive = server.Url("/stream.ts");
    std::string in = WriteCatalogue(scratch, {{"us", "News", {{dead, 1500}, {alive, 0}}}});
    std::string out = scratch / "out.lmch";
    std::string report = scratch / "report.csv";

    auto result = RunDataTool(scratch, {"check", in, out, "--report", report, "--timeout", "20"});
    ASSERT_EQ(result.exitCode, 0) << result.errors;

    DocNode checked;
    ASSERT_TRUE(checked.LoadFromFile(FromUtf8(out)));
    const DocNode* channel = checked.Child("us")->Child("News");
    ASSERT_NE(channel, nullptr);
    ASSERT_NE(channel->Child("0"), nullptr);
    ASSERT_NE(channel->Child("1"), nullptr);
    EXPECT_EQ(Address(*channel->Child("0")), alive);
    EXPECT_NEAR(channel->Child("0")->GetInt("b", 0), kEncodedKbps, kEncodedKbps * 0.15);
    EXPECT_EQ(Address(*channel->Child("1")), dead);
    EXPECT_EQ(channel->Child("1")->GetInt("b", 0), 1500);  // unknown stays as it was
    EXPECT_EQ(ToUtf8(channel->GetWString("n")), "News TV");

    std::vector<std::string> lines = Lines(ReadText(report));
    ASSERT_EQ(lines.size(), 3u) << ReadText(report);
    EXPECT_EQ(
        lines[0],
        "country,channel,name,stream,address,result,reason,kbps,height,codecs,first_packet_ms");
    EXPECT_EQ(lines[1], "us,us_News,News TV,0," + dead + ",http error,HTTP 404,,,,");
    EXPECT_TRUE(lines[2].starts_with("us,us_News,News TV,1," + alive + ",working,mpegts,"))
        << lines[2];
    EXPECT_NE(lines[2].find(",240,h264+aac,"), std::string::npos) << lines[2];
}

TEST_F(CheckCommandTest, DropDeadLeavesOutChannelsWithoutAWorkingStream) {
    std::string in = WriteCatalogue(
        scratch, {{"us", "Alive", {{server.Url("/missing.ts")}, {server.Url("/stream.ts")}}},
                  {"us", "Dead", {{server.Url("/missing.ts")}}},
                  {"us", "Empty", {}},
                  {"de", "Gone", {{server.Url("/page.html")}}}});
    std::string out = scratch / "out.lmch";

    auto result = RunDataTool(scratch, {"check", in, out, "--drop-dead", "--timeout", "20"});
    ASSERT_EQ(result.exitCode, 0) << result.errors;

    DocNode checked;
    ASSERT_TRUE(checked.LoadFromFile(FromUtf8(out)));
    ASSERT_EQ(checked.Children().size(), 1u);  // "de" lost its only channel
    const DocNode* us = checked.Child("us");
    ASSERT_NE(us, nullptr);
    ASSERT_EQ(us->Children().size(), 1u);
    EXPECT_EQ(Address(*us->Child("Alive")->Child("0")), server.Url("/stream.ts"));
}

TEST_F(CheckCommandTest, OnlyTheNamedCountriesAreChecked) {
    const std::string unchecked = server.Url("/missing.ts?unchecked");
    std::string in = WriteCatalogue(
        scratch, {{"us", "Kept", {{unchecked}, {server.Url("/stream.ts?us")}}},
                  {"de", "Ranked", {{server.Url("/missing.ts")}, {server.Url("/stream.ts")}}}});
    std::string out = scratch / "out.lmch";

    auto result =
        RunDataTool(scratch, {"check", in, out, "--only", "DE", "--drop-dead", "--timeout", "20"});
    ASSERT_EQ(result.exitCode, 0) << result.errors;

    DocNode checked;
    ASSERT_TRUE(checked.LoadFromFile(FromUtf8(out)));
    EXPECT_EQ(Address(*checked.Child("us")->Child("Kept")->Child("0")), unchecked);
    EXPECT_EQ(Address(*checked.Child("de")->Child("Ranked")->Child("0")), server.Url("/stream.ts"));
    EXPECT_EQ(server.Requests().find("unchecked"), std::string::npos);
}

TEST_F(CheckCommandTest, AnInterruptedRunLeavesNoOutput) {
    for (int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        const std::string tag = "/silent/interrupt-" + std::to_string(signal);
        std::string in = WriteCatalogue(scratch, {{"us", "Slow", {{server.Url(tag)}}}});
        std::string out = scratch / "out.lmch";

        std::string exe = LUMORA_DATA_EXE;
        std::vector<std::string> args = {exe, "check", in, out, "--timeout", "600"};
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        pid_t pid = -1;
        ASSERT_EQ(posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv.data(), environ), 0);
        // Once the server saw the request, the probe is running.
        bool probing = server.WaitForRequest(tag);
        kill(pid, signal);
        int status = 0;
        waitpid(pid, &status, 0);

        ASSERT_TRUE(probing);
        ASSERT_TRUE(WIFEXITED(status)) << "ended by the signal instead of stopping its probes";
        EXPECT_EQ(WEXITSTATUS(status), 128 + signal);
        EXPECT_FALSE(std::filesystem::exists(out));
        EXPECT_FALSE(std::filesystem::exists(out + ".tmp"));
    }
}

TEST_F(CheckCommandTest, ACatalogueWithoutStreamsComesOutUnchanged) {
    std::string in = WriteCatalogue(scratch, {{"us", "NoUrl", {}}});
    DocNode root;
    ASSERT_TRUE(root.LoadFromFile(FromUtf8(in)));
    root.AddChild("fr");  // a country without channels
    ASSERT_TRUE(root.SaveToFile(FromUtf8(in)));
    std::string out = scratch / "out.lmch";
    std::string report = scratch / "report.csv";

    auto result = RunDataTool(scratch, {"check", in, out, "--report", report});
    ASSERT_EQ(result.exitCode, 0) << result.errors;
    EXPECT_EQ(ReadText(out), ReadText(in));
    EXPECT_EQ(Lines(ReadText(report)).size(), 1u);
}

}  // namespace
}  // namespace lumora::probetest
