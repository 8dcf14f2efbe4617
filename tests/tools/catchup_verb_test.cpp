// lumora-data catchup: a playlist's catch-up attributes through the import
// and the catalogue file to the archive address, or the reason there is none.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/tools/data_verb_runner.h"

namespace lumora::tools {
namespace {

using verbtest::RunDataTool;
using verbtest::ScratchFolder;
using verbtest::WriteBytes;

const std::string kPlaylist =
    "#EXTM3U catchup=\"shift\" catchup-days=\"2\"\n"
    "#EXTINF:-1 tvg-id=\"One.de\",One\nhttp://h.example/live/one.ts?token=x\n"
    "#EXTINF:-1 tvg-id=\"Two.de\" catchup=\"flussonic-ts\" catchup-correction=\"1\",Two\n"
    "http://c.example/151/mpegts\n"
    "#EXTINF:-1 tvg-id=\"Three.de\" catchup=\"none\",Three\nhttp://h.example/3.ts\n"
    "#EXTINF:-1 tvg-id=\"Four.de\" catchup=default "
    "catchup-source=\"http://a.example/{catchup-id}.ts\",Four\n"
    "http://h.example/4.ts\n";

TEST(CatchupVerb, PrintsTheAddressOrSaysWhyThereIsNone) {
    ScratchFolder scratch;
    WriteBytes(scratch / "de.m3u", kPlaylist);
    const std::string catalogue = scratch / "channels.lmch";
    const auto imported = RunDataTool(
        scratch, {"import-m3u", "--version", "2024.3.10", catalogue, scratch / "de.m3u"});
    ASSERT_EQ(imported.exitCode, 0) << imported.errors;

    const std::string start = "2024-03-10T20:00:00Z";
    const std::string stop = "2024-03-10T21:00:00Z";
    const std::string now = "2024-03-10T22:30:00Z";
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string output;  // stdout when it succeeds, a piece of stderr otherwise
    } rows[] = {
        {{"de_One", start, stop, "--now", now},
         0,
         "http://h.example/live/one.ts?token=x&utc=1710100800&lutc=1710109800\n"},
        {{"de_Two", start, stop, "--now", now},
         0,
         "http://c.example/151/timeshift_abs-1710097200.ts\n"},
        {{"de_Four", start, stop, "--now", now, "--catchup-id", "p/7"},
         0,
         "http://a.example/p%2F7.ts\n"},
        {{"de_One", start, stop, "--now", "2024-03-12T20:00:01Z"}, 1, "older than the provider"},
        {{"de_One", start, stop}, 1, "older than the provider"},  // now, years later
        {{"de_One", start, stop, "--now", "2024-03-10T19:00:00Z"}, 1, "not started"},
        {{"de_Three", start, stop, "--now", now}, 1, "has no catch-up"},
        {{"de_Four", start, stop, "--now", now}, 1, "catch-up id"},
        {{"de_Five", start, stop, "--now", now}, 1, "no channel de_Five"},
        {{"de_One", "2024-03-10 20:00", stop}, 2, "usage:"},
        {{"de_One", start, stop, "--now"}, 2, "--now needs a value"},
        {{"de_One", start}, 2, "usage:"},
    };
    for (const auto& row : rows) {
        std::vector<std::string> args = {"catchup", catalogue};
        args.insert(args.end(), row.args.begin(), row.args.end());
        const auto result = RunDataTool(scratch, args);
        EXPECT_EQ(result.exitCode, row.exitCode) << row.args.front() << " " << result.errors;
        if (row.exitCode == 0)
            EXPECT_EQ(result.output, row.output) << row.args.front();
        else
            EXPECT_NE(result.errors.find(row.output), std::string::npos)
                << row.args.front() << ": " << result.errors;
    }
    const auto missing =
        RunDataTool(scratch, {"catchup", scratch / "none.lmch", "de_One", start, stop});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.errors.find("cannot read the catalogue"), std::string::npos);
}

}  // namespace
}  // namespace lumora::tools
