// lumora-data guide: the import's report and exit status, and the exact
// lines of show and match, which other tools read.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/doc_node.h"
#include "document/text_encoding.h"
#include "tests/guide/guide_samples.h"
#include "tests/tools/data_verb_runner.h"

namespace lumora::tools {
namespace {

using verbtest::ReadBytes;
using verbtest::RunDataTool;
using verbtest::ScratchFolder;
using verbtest::WriteBytes;

const std::string kGuide = test::Guide(
    test::Channel("BBCOne.uk", "BBC One") + test::Channel("Arte.fr", "Arte Français") +
    test::Programme("BBCOne.uk", "20350101200000 +0000", "20350101210000 +0000", "News\tat 8") +
    test::Programme("BBCOne.uk", "20350101210000 +0000", "", "Drama") +
    test::Programme("Arte.fr", "20350101213000 +0100", "20350101223000 +0100", "Kino") +
    test::Programme("Arte.fr", "20350101223000 +0100", "20350101213000 +0100", "Backwards") +
    test::Programme("Arte.fr", "20350101223000 XYZ", "20350101233000 +0000", "Late"));

// A catalogue with the channel attributes matching reads.
void WriteCatalogue(const std::string& path) {
    DocNode root("2035-01-01");
    struct Entry {
        const char* country;
        const char* node;
        const char* name;
        const char* tvgId;
        const char* tvgName;
        int shift;
    };
    const Entry entries[] = {
        {"uk", "bbc1", "BBC One HD", "bbcone.UK", "", 0},
        {"uk", "bbc1plus1", "BBC One +1", "", "BBC One", 60},
        {"fr", "arte", "ARTE francais", "", "", 0},
        {"de", "nothing", "Nothing TV", "", "", 0},
    };
    for (const Entry& entry : entries) {
        DocNode* country = root.Child(entry.country, ChildMode::CreateIfMissing);
        DocNode* channel = country->AddChild(entry.node);
        channel->SetWString("n", FromUtf8(entry.name));
        channel->SetString("p", "");
        if (*entry.tvgId != '\0')
            channel->SetWString("tvg-id", FromUtf8(entry.tvgId));
        if (*entry.tvgName != '\0')
            channel->SetWString("tvg-name", FromUtf8(entry.tvgName));
        if (entry.shift != 0)
            channel->SetInt("tvg-shift", entry.shift);
    }
    ASSERT_TRUE(root.SaveToFile(FromUtf8(path)));
}

TEST(GuideVerbs, ImportWithACatalogueThenShowAndMatchPrintTheContract) {
    ScratchFolder scratch;
    WriteBytes(scratch / "guide.xml.gz", test::Gzip(kGuide));
    WriteCatalogue(scratch / "channels.lmch");
    const std::string store = scratch / "cache/guide.sqlite";

    const auto imported =
        RunDataTool(scratch, {"guide", "import", store, "--catalogue", scratch / "channels.lmch",
                              scratch / "guide.xml.gz"});
    ASSERT_EQ(imported.exitCode, 0) << imported.errors;
    const std::string report = imported.output.substr(0, imported.output.find("seconds: "));
    EXPECT_EQ(report,
              "guides: 1\nchannels: 2\nprogrammes: 3\nmatched channels: 3 of 4\n"
              "dropped, bad time: 0\ndropped, no channel: 0\ndropped, stop before start: 1\n"
              "dropped, no stop: 1\ndropped, repeated start: 0\ndropped, older than 7 days: 0\n"
              "unknown zones: 1\n");

    const auto shown =
        RunDataTool(scratch, {"guide", "show", store, "--at", "2035-01-01T21:00:00Z"});
    EXPECT_EQ(shown.exitCode, 0) << shown.errors;
    EXPECT_EQ(shown.output,
              "fr_arte\t2035-01-01T20:30:00Z\t2035-01-01T21:30:00Z\tKino\n"
              "uk_bbc1plus1\t2035-01-01T21:00:00Z\t2035-01-01T22:00:00Z\tNews at 8\n");

    const auto one = RunDataTool(scratch, {"guide", "show", store, "--at", "2035-01-01T22:45:00Z",
                                           "--channel", "uk_bbc1", "--channel", "fr_arte"});
    EXPECT_EQ(one.output, "fr_arte\t2035-01-01T22:30:00Z\t2035-01-01T23:30:00Z\tLate\n");

    const auto matched = RunDataTool(scratch, {"guide", "match", store});
    EXPECT_EQ(matched.exitCode, 0) << matched.errors;
    EXPECT_EQ(matched.output,
              "de_nothing\t-\t-\n"
              "fr_arte\tArte.fr\tname\n"
              "uk_bbc1\tBBCOne.uk\tid\n"
              "uk_bbc1plus1\tBBCOne.uk\ttvg-name\n");
}

TEST(GuideVerbs, WithoutACatalogueTheGuidesOwnIdsAndTheShiftAreUsed) {
    ScratchFolder scratch;
    WriteBytes(scratch / "guide.xml", kGuide);
    const std::string store = scratch / "guide.sqlite";
    const auto imported =
        RunDataTool(scratch, {"guide", "import", store, "--shift", "-0.5", scratch / "guide.xml"});
    ASSERT_EQ(imported.exitCode, 0) << imported.errors;
    EXPECT_EQ(imported.output.find("matched"), std::string::npos);
    const auto shown = RunDataTool(scratch, {"guide", "show", store, "--at", "2035-01-01T20:00:00Z",
                                             "--channel", "bbcone.uk", "--channel", "unknown"});
    EXPECT_EQ(shown.output, "BBCOne.uk\t2035-01-01T19:30:00Z\t2035-01-01T20:30:00Z\tNews at 8\n");
    EXPECT_EQ(RunDataTool(scratch, {"guide", "match", store}).exitCode, 1);
}

TEST(GuideVerbs, ARefusedImportExitsOneAndKeepsTheStore) {
    ScratchFolder scratch;
    WriteBytes(scratch / "guide.xml", kGuide);
    WriteBytes(scratch / "login.xml", "<html><body>Please log in</body></html>");
    const std::string store = scratch / "guide.sqlite";
    ASSERT_EQ(RunDataTool(scratch, {"guide", "import", store, scratch / "guide.xml"}).exitCode, 0);
    const std::string before = ReadBytes(store);

    const auto refused = RunDataTool(
        scratch, {"guide", "import", store, scratch / "guide.xml", scratch / "login.xml"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.errors.find("login.xml: an HTML page"), std::string::npos) << refused.errors;
    EXPECT_EQ(refused.output, "");
    EXPECT_EQ(ReadBytes(store), before);

    const auto network =
        RunDataTool(scratch, {"guide", "import", store, "http://127.0.0.1:9/guide.xml"});
    EXPECT_EQ(network.exitCode, 1);
    EXPECT_EQ(ReadBytes(store), before);
}

TEST(GuideVerbs, WrongCommandLinesExitTwo) {
    ScratchFolder scratch;
    const std::vector<std::vector<std::string>> lines = {
        {"guide"},
        {"guide", "list"},
        {"guide", "import", "store.sqlite"},
        {"guide", "import", "store.sqlite", "--shift", "one", "g.xml"},
        {"guide", "show", "store.sqlite"},
        {"guide", "show", "store.sqlite", "--at", "2035-01-01 20:00"},
        {"guide", "match"},
    };
    for (const auto& line : lines)
        EXPECT_EQ(RunDataTool(scratch, line).exitCode, 2) << line.back();
}

}  // namespace
}  // namespace lumora::tools
