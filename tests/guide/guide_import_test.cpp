// Guides into the store and back out: normalising, queries, matching, and
// every kind of bad guide refused with the old store kept.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "guide/guide_import.h"
#include "guide/guide_store.h"
#include "guide/guide_time.h"
#include "guide/xmltv_reader.h"
#include "guide_samples.h"
#include "scratch_folder.h"
#include "server_process.h"

namespace lumora {
namespace {

using test::Channel;
using test::Guide;
using test::Programme;

struct Outcome {
    bool written = false;
    GuideImportReport report;
    std::string error;
};

struct ImportSetup {
    GuideImportOptions options;
    std::optional<std::vector<CatalogueChannel>> catalogue;
    std::size_t piece = 1000;  // bytes fed at a time
};

Outcome ImportGuides(const std::string& store, const std::vector<std::string>& guides,
                     ImportSetup setup = {}) {
    Outcome outcome;
    if (setup.options.now == 0)
        setup.options.now = static_cast<std::int64_t>(std::time(nullptr));
    std::unique_ptr<GuideImport> import = GuideImport::Begin(store, setup.options, outcome.error);
    if (!import)
        return outcome;
    for (std::size_t i = 0; i < guides.size(); ++i) {
        import->BeginGuide("guide" + std::to_string(i));
        std::string_view bytes = guides[i];
        bool fed = true;
        while (fed && !bytes.empty()) {
            fed = import->Feed(bytes.substr(0, setup.piece));
            bytes.remove_prefix(std::min(bytes.size(), setup.piece));
        }
        if (!fed || !import->EndGuide())
            break;
    }
    outcome.written = import->Error().empty() && import->Commit(std::move(setup.catalogue));
    outcome.report = import->Report();
    outcome.error = import->Error();
    return outcome;
}

std::int64_t At(const char* xmltv) {
    return ParseXmltvTime(xmltv)->utc;
}

struct Shown {
    std::string start, stop, title;
    bool operator==(const Shown&) const = default;
};

std::vector<Shown> AllOf(GuideStore& store, const std::string& channel) {
    std::vector<Shown> shown;
    for (const ProgrammeSummary& p : store.ProgrammesBetween(channel, 0, At("2100")))
        shown.push_back({FormatUtcTime(p.start), FormatUtcTime(p.stop), p.title});
    return shown;
}

class GuideImportTest : public ::testing::Test {
protected:
    std::string StorePath() const { return scratch_ / "guide.sqlite"; }
    std::unique_ptr<GuideStore> OpenStore() {
        std::string error;
        auto store = GuideStore::Open(StorePath(), error);
        EXPECT_TRUE(store) << error;
        return store;
    }
    test::ScratchFolder scratch_;
};

struct NormaliseRow {
    const char* what;
    std::string body;
    std::vector<Shown> kept;  // channel "a"
    std::uint64_t GuideImportReport::*counter = nullptr;
    std::uint64_t count = 0;
};

TEST_F(GuideImportTest, ProgrammesBecomeHalfOpenWithoutOverlapsAndTheDroppedAreCounted) {
    const NormaliseRow rows[] = {
        {"a missing stop ends at the next start; the last without stop goes",
         Programme("a", "203501011000", "", "One") + Programme("a", "203501011100", "", "Two"),
         {{"2035-01-01T10:00:00Z", "2035-01-01T11:00:00Z", "One"}},
         &GuideImportReport::withoutStop,
         1},
        {"stop before start is dropped",
         Programme("a", "203501011000", "203501010900", "Back") +
             Programme("a", "203501011100", "203501011200", "Fine"),
         {{"2035-01-01T11:00:00Z", "2035-01-01T12:00:00Z", "Fine"}},
         &GuideImportReport::stopBeforeStart,
         1},
        {"the later start ends the earlier one",
         Programme("a", "203501011000", "203501011200", "Long") +
             Programme("a", "203501011100", "203501011130", "Inside"),
         {{"2035-01-01T10:00:00Z", "2035-01-01T11:00:00Z", "Long"},
          {"2035-01-01T11:00:00Z", "2035-01-01T11:30:00Z", "Inside"}}},
        {"of two at one start the first read stays; order in the file does not matter",
         Programme("a", "203501011100", "203501011200", "Second") +
             Programme("a", "203501011000", "203501011100", "First") +
             Programme("a", "203501011000", "203501011030", "Again"),
         {{"2035-01-01T10:00:00Z", "2035-01-01T11:00:00Z", "First"},
          {"2035-01-01T11:00:00Z", "2035-01-01T12:00:00Z", "Second"}},
         &GuideImportReport::repeated,
         1},
        {"start = stop is kept",
         Programme("a", "203501011000", "203501011000", "Nothing") +
             Programme("a", "203501011000", "203501011000", "Again"),
         {{"2035-01-01T10:00:00Z", "2035-01-01T10:00:00Z", "Nothing"}}},
        {"times that are not times are dropped",
         Programme("a", "soon", "203501011000", "Bad") +
             Programme("a", "203501011000", "20351301", "Bad stop") +
             Programme("a", "203501011100", "203501011200", "Good"),
         {{"2035-01-01T11:00:00Z", "2035-01-01T12:00:00Z", "Good"}},
         &GuideImportReport::badTime,
         2},
        {"an unknown zone is taken as UTC and counted",
         Programme("a", "203501011000 XYZ", "203501011100 +0100", "Zoned"),
         {{"2035-01-01T10:00:00Z", "2035-01-01T10:00:00Z", "Zoned"}},
         &GuideImportReport::unknownZones,
         1},
        {"a programme without channel is dropped",
         "<programme start=\"203501011000\" stop=\"203501011100\"><title>X</title></programme>" +
             Programme("a", "203501011000", "203501011100", "Y"),
         {{"2035-01-01T10:00:00Z", "2035-01-01T11:00:00Z", "Y"}},
         &GuideImportReport::noChannel,
         1},
    };
    for (const NormaliseRow& row : rows) {
        const Outcome outcome = ImportGuides(StorePath(), {Guide(Channel("a", "A") + row.body)});
        ASSERT_TRUE(outcome.written) << row.what << ": " << outcome.error;
        auto store = OpenStore();
        ASSERT_TRUE(store);
        EXPECT_EQ(AllOf(*store, "a"), row.kept) << row.what;
        if (row.counter != nullptr) {
            EXPECT_EQ(outcome.report.*row.counter, row.count) << row.what;
        }
    }
}

TEST_F(GuideImportTest, ProgrammesThatEndedMoreThanSevenDaysAgoAreDropped) {
    const std::int64_t now = At("203506150000");
    ImportSetup setup;
    setup.options.now = now;
    const Outcome outcome =
        ImportGuides(StorePath(),
                     {Guide(Programme("a", "203506070000", "203506072300", "Too old") +
                            Programme("a", "203506072300", "203506090000", "Ends inside the week") +
                            Programme("a", "203506140000", "203506150000", "Yesterday"))},
                     setup);
    ASSERT_TRUE(outcome.written) << outcome.error;
    EXPECT_EQ(outcome.report.old, 1u);
    EXPECT_EQ(outcome.report.programmes, 2u);
}

TEST_F(GuideImportTest, NowAndNextNeverShowAProgrammeOfNoLengthAndFollowTheShift) {
    const std::string guide =
        Guide(Channel("news.uk", "News") +
              Programme("news.uk", "203501011000", "203501011100", "Morning") +
              Programme("news.uk", "203501011100", "203501011100", "Flash") +
              Programme("news.uk", "203501011100", "", "Noon") +
              Programme("news.uk", "203501011300", "203501011400", "Afternoon") +
              Programme("news.uk", "203501011400", "203501011400", "Marker"));
    ImportSetup setup;
    setup.catalogue = std::vector<CatalogueChannel>{{"uk_news", "NEWS.uk", "", "", 0},
                                                    {"uk_news1", "", "", "news", 60},
                                                    {"uk_none", "", "", "Nothing", 0}};
    ASSERT_TRUE(ImportGuides(StorePath(), {guide}, setup).written);
    auto store = OpenStore();
    ASSERT_TRUE(store);
    ASSERT_TRUE(store->HasCatalogue());

    struct NowRow {
        const char* at;
        const char* channel;
        const char* now;   // nullptr: nothing on
        const char* next;  // nullptr: nothing after
    };
    const NowRow rows[] = {
        {"203501011030", "uk_news", "Morning", "Noon"},    // the flash is never next
        {"203501011100", "uk_news", "Noon", "Afternoon"},  // nor on
        {"203501011100", "uk_news1", "Morning", "Noon"},   // one hour later
        {"203501011200", "uk_news", "Noon", "Afternoon"},
        {"203501010900", "uk_news", nullptr, "Morning"},
        {"203501011400", "uk_news", nullptr, nullptr},  // the marker is never on
        {"203501011030", "uk_none", nullptr, nullptr},
        {"203501011030", "news.uk", nullptr, nullptr},  // a store with a catalogue takes Lumora ids
    };
    for (const NowRow& row : rows) {
        const auto result = store->NowAndNextOf({row.channel}, At(row.at));
        ASSERT_EQ(result.size(), 1u);
        const std::string what = std::string(row.channel) + " at " + row.at;
        EXPECT_EQ(result[0].now ? result[0].now->title : "-", row.now ? row.now : "-") << what;
        EXPECT_EQ(result[0].next ? result[0].next->title : "-", row.next ? row.next : "-") << what;
    }
    const auto shifted = store->NowAndNextOf({"uk_news1"}, At("203501011130"));
    ASSERT_TRUE(shifted[0].now);
    EXPECT_EQ(FormatUtcTime(shifted[0].now->start), "2035-01-01T11:00:00Z");
    EXPECT_EQ(FormatUtcTime(shifted[0].now->stop), "2035-01-01T12:00:00Z");

    std::vector<std::string> between;
    for (const auto& p :
         store->ProgrammesBetween("uk_news", At("203501011030"), At("203501011300")))
        between.push_back(p.title);
    EXPECT_EQ(between, (std::vector<std::string>{"Morning", "Flash", "Noon"}));
}

TEST_F(GuideImportTest, DetailsKeepEveryFieldInTheInterfacesLanguageElseTheFirst) {
    const std::string guide = Guide(
        "<channel id=\"k\"><display-name>K</display-name><icon src=\"http://i.example/k.png\"/>"
        "</channel>"
        "<programme channel=\"k\" start=\"203501011000\" stop=\"203501011100\" "
        "catchup-id=\"abc?x=1&amp;y=2\">"
        "<title lang=\"en\">Evening</title><title lang=\"de\">Abend</title>"
        "<sub-title lang=\"fr\">Soir</sub-title>"
        "<desc lang=\"en\">Text &lt;b&gt; &#233;&#x20AC;</desc>"
        "<category lang=\"en\">News</category><category lang=\"de\">Nachrichten</category>"
        "<category lang=\"de\">Politik</category>"
        "<episode-num system=\"xmltv_ns\">1.4.0/1</episode-num>"
        "<episode-num system=\"onscreen\">S02E05</episode-num>"
        "<icon src=\"http://i.example/p.png\"/>"
        "<rating system=\"FSK\"><value>12</value></rating>"
        "<new/><premiere>Premiere</premiere></programme>");
    ImportSetup setup;
    setup.options.language = "de-AT";
    ASSERT_TRUE(ImportGuides(StorePath(), {guide}, setup).written);
    auto store = OpenStore();
    ASSERT_TRUE(store);
    const auto list = store->ProgrammesBetween("K", 0, At("2100"));
    ASSERT_EQ(list.size(), 1u);
    const std::optional<ProgrammeDetails> details = store->Details("k", list[0].id);
    ASSERT_TRUE(details);
    EXPECT_EQ(details->summary.title, "Abend");
    EXPECT_EQ(details->subTitle, "Soir");
    EXPECT_EQ(details->description, "Text <b> \xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(details->categories, (std::vector<std::string>{"Nachrichten", "Politik"}));
    EXPECT_EQ(details->episodeXmltvNs, "1.4.0/1");
    EXPECT_EQ(details->episodeOnscreen, "S02E05");
    EXPECT_EQ(details->icon, "http://i.example/p.png");
    EXPECT_EQ(details->rating, "12");
    EXPECT_EQ(details->catchupId, "abc?x=1&y=2");
    EXPECT_EQ(details->flags, ProgrammeNew | ProgrammePremiere);
    EXPECT_FALSE(store->Details("other", list[0].id));
}

TEST_F(GuideImportTest, GuidesAreToldByTheirBytesAndMergedWithTheGuideOffset) {
    const std::string first = Guide(Channel("One.x", "One") +
                                    Programme("One.x", "203501011000", "203501011100", "Plain"));
    const std::string second = Guide(Programme("one.X", "203501011100", "203501011200", "Packed"));
    const std::string third = "\xEF\xBB\xBF" + Guide(Programme("two", "2035010112", "", "Xz"));
    ImportSetup setup;
    setup.piece = 1;  // the format is told across the smallest pieces
    setup.options.offsetSeconds = 3600;
    const Outcome outcome =
        ImportGuides(StorePath(), {first, test::Gzip(second), test::Xz(third)}, setup);
    ASSERT_TRUE(outcome.written) << outcome.error;
    EXPECT_EQ(outcome.report.guides, 3u);
    EXPECT_EQ(outcome.report.channels, 2u);
    auto store = OpenStore();
    ASSERT_TRUE(store);
    EXPECT_EQ(AllOf(*store, "ONE.X"),
              (std::vector<Shown>{{"2035-01-01T11:00:00Z", "2035-01-01T12:00:00Z", "Plain"},
                                  {"2035-01-01T12:00:00Z", "2035-01-01T13:00:00Z", "Packed"}}));
    EXPECT_EQ(store->NowAndNextOf({"one.x"}, At("203501011130"))[0].channel, "One.x");
}

struct BadGuideRow {
    const char* what;
    std::string bytes;
    const char* message;  // part of the error
    const char* where;    // nullptr: no position expected
};

TEST_F(GuideImportTest, ABadGuideIsRefusedWholeAndTheOldStoreStays) {
    const std::string good =
        Guide(Channel("a", "A") + Programme("a", "203501011000", "203501011100", "Old"));
    ASSERT_TRUE(ImportGuides(StorePath(), {good}).written);
    const std::string secretPath = scratch_ / "secret.txt";
    test::WriteFileBytes(secretPath, "SECRET-CONTENT");

    std::string bigGuide;
    for (int i = 0; i < 2000; ++i)
        bigGuide += Programme("a", "2035010" + std::to_string(2 + i / 1000) + "1000", "", "Filler");
    bigGuide = Guide(bigGuide);
    const std::string gzip = test::Gzip(bigGuide);
    const std::string xz = test::Xz(bigGuide);
    std::string bomb = "<?xml version=\"1.0\"?><!DOCTYPE tv [<!ENTITY a \"aaaaaaaaaa\">";
    for (char c = 'b'; c <= 'j'; ++c)
        bomb += std::string("<!ENTITY ") + c + " \"" + std::string(10, '&') + "\">";
    bomb += "]><tv><channel id=\"&j;\"/></tv>";

    const BadGuideRow rows[] = {
        {"truncated gzip", gzip.substr(0, gzip.size() / 2), "gzip stream breaks off", "line"},
        {"damaged gzip", gzip.substr(0, 20) + std::string(200, 'x'), "gzip stream is damaged",
         nullptr},
        {"truncated xz", xz.substr(0, xz.size() / 2), "xz stream breaks off", "line"},
        {"an HTML page", "<!DOCTYPE html><html><body>Log in</body></html>", "HTML page", nullptr},
        {"an HTML page, gzip", test::Gzip("\n<html><head></head></html>"), "HTML page", nullptr},
        {"an HTML root after an XML declaration", "<?xml version=\"1.0\"?>\n<html></html>",
         "HTML page", "line 2"},
        {"JSON", "{\"error\": \"not found\"}", "not a programme guide", nullptr},
        {"an empty body", "", "not a programme guide", nullptr},
        {"malformed XML", Guide("<channel id=\"a\">\n<display-name>A</channel>"),
         "malformed XML: mismatched tag", "line 5, column 18"},
        {"XML that ends early", good.substr(0, good.size() - 8), "malformed XML", "line"},
        {"another root element", "<?xml version=\"1.0\"?><rss></rss>", "root element is <rss>",
         nullptr},
        {"an external entity naming a local file",
         "<?xml version=\"1.0\"?><!DOCTYPE tv [<!ENTITY s SYSTEM \"file://" + secretPath +
             "\">]><tv><channel id=\"a\"><display-name>&s;</display-name></channel></tv>",
         "declares an entity", "line 1"},
        {"an entity bomb", bomb, "declares an entity", "line 1"},
        {"an undeclared entity", "<?xml version=\"1.0\"?>\n<tv><channel id=\"&nope;\"/></tv>",
         "undefined entity", "line 2"},
    };
    for (const BadGuideRow& row : rows) {
        const Outcome outcome = ImportGuides(StorePath(), {good, row.bytes});
        EXPECT_FALSE(outcome.written) << row.what;
        EXPECT_NE(outcome.error.find(row.message), std::string::npos)
            << row.what << ": " << outcome.error;
        EXPECT_EQ(outcome.error.rfind("guide1: ", 0), 0u) << row.what << ": " << outcome.error;
        if (row.where != nullptr) {
            EXPECT_NE(outcome.error.find(row.where), std::string::npos)
                << row.what << ": " << outcome.error;
        }
        EXPECT_EQ(outcome.error.find("SECRET"), std::string::npos) << row.what;
        auto store = OpenStore();
        ASSERT_TRUE(store) << row.what;
        EXPECT_EQ(AllOf(*store, "a").size(), 1u) << row.what;
        EXPECT_FALSE(std::filesystem::exists(StorePath() + ".tmp")) << row.what;
    }
}

TEST_F(GuideImportTest, AGuideLargerThanTheLimitStopsThere) {
    std::string body;
    for (int i = 0; i < 500; ++i)
        body += Programme("a", "20350101" + std::to_string(1000 + i % 50), "", "Filler");
    ImportSetup setup;
    setup.options.maxUnpackedBytes = 4096;
    const Outcome outcome = ImportGuides(StorePath(), {test::Gzip(Guide(body))}, setup);
    EXPECT_FALSE(outcome.written);
    EXPECT_NE(outcome.error.find("larger than"), std::string::npos) << outcome.error;
}

TEST_F(GuideImportTest, OnlyARegularFileIsReadAsALocalGuide) {
    const std::string fifo = scratch_ / "guide.fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, std::string("/dev/zero"), scratch_ / "missing.xml"}) {
        std::string error;
        auto import = GuideImport::Begin(StorePath(), {}, error);
        ASSERT_TRUE(import) << error;
        EXPECT_FALSE(ImportGuideFile(*import, path)) << path;
        EXPECT_FALSE(import->Error().empty()) << path;
        EXPECT_FALSE(import->Commit(std::nullopt)) << path;
    }
}

TEST_F(GuideImportTest, AnImportKilledMidwayLeavesTheOldStore) {
    const std::string good =
        Guide(Channel("a", "A") + Programme("a", "203501011000", "203501011100", "Old"));
    ASSERT_TRUE(ImportGuides(StorePath(), {good}).written);

    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // An endless guide: says when it is well under way, then goes on
        // until it is killed.
        ::close(ready[0]);
        std::string error;
        auto import = GuideImport::Begin(StorePath(), {}, error);
        if (!import)
            ::_exit(3);
        import->BeginGuide("endless");
        import->Feed("<?xml version=\"1.0\"?><tv>");
        for (long i = 0;; ++i) {
            std::string piece;
            for (int j = 0; j < 100; ++j)
                piece += Programme("c" + std::to_string(j), test::XmltvStamp(At("2035") + i * 60),
                                   "", "Endless");
            import->Feed(piece);
            if (i == 200)
                (void)!::write(ready[1], "x", 1);
        }
    }
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));

    auto store = OpenStore();
    ASSERT_TRUE(store);
    EXPECT_EQ(AllOf(*store, "a").size(), 1u);
    // The next import starts afresh over what the killed one left.
    EXPECT_TRUE(ImportGuides(StorePath(), {good}).written);
}

TEST_F(GuideImportTest, TwoImportsOfOneStoreDoNotRunAtOnce) {
    std::string error;
    auto first = GuideImport::Begin(StorePath(), {}, error);
    ASSERT_TRUE(first) << error;
    EXPECT_FALSE(GuideImport::Begin(StorePath(), {}, error));
    EXPECT_NE(error.find("another import"), std::string::npos) << error;
}

}  // namespace
}  // namespace lumora
