// The catalogue update against a real HTTP server on 127.0.0.1: versions,
// the check, the download and how every failure leaves the old catalogue.

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <mutex>
#include <thread>

#include "document/doc_node.h"
#include "document/text_encoding.h"
#include "net/fetch_url.h"
#include "net/update_logic.h"
#include "net/update_logic_run.h"
#include "test_server.h"

namespace lumora {
namespace {

using namespace std::chrono_literals;
using test::QuickOptions;
using test::ScratchFolder;
using test::TestServer;

// ---- versions ----------------------------------------------------------

TEST(UpdateVersions, ParseVersionReadsUpToFourNumbers) {
    struct Row {
        const char* text;
        VersionNumbers expected;
    } rows[] = {
        {"1.0.12.3", {1, 0, 12, 3}},
        {"2", {2, 0, 0, 0}},
        {"1.2.3.4.5", {1, 2, 3, 4}},
        {"..1..2.", {1, 2, 0, 0}},  // empty pieces do not count
        {"", {0, 0, 0, 0}},
        {"a.3b. 7.-2", {0, 3, 7, -2}},  // leading integer of each piece
        {"99999999999.+5", {2147483647, 5, 0, 0}},
        {"-99999999999", {-2147483647 - 1, 0, 0, 0}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ParseVersion(row.text), row.expected) << row.text;
}

TEST(UpdateVersions, CompareVersionsNamesTheFirstDifferentNumber) {
    struct Row {
        const char* a;
        const char* b;
        int expected;
    } rows[] = {
        {"2", "1.9.9.9", 1},                              // the first number decides
        {"1.2.3.4.5", "1.2.3.4", 0},                      // the fifth number is ignored
        {"1.2", "1.2.0.0", 0},       {"1.10", "1.9", 2},  // numbers, not text
        {"1.0.0.4", "1.0.0.5", -4},  {"1.0.1", "1.0.0.9", 3},
        {"<html>", "0", 0},  // no usable version
    };
    for (const Row& row : rows) {
        EXPECT_EQ(CompareVersions(row.a, row.b), row.expected) << row.a << " vs " << row.b;
        EXPECT_EQ(CompareVersions(row.b, row.a), -row.expected) << row.b << " vs " << row.a;
    }
}

TEST(UpdateVersions, VersionTextIsDigitsSeparatedBySingleDots) {
    for (const char* good : {"1", "1.0.12.3", "2026.12.08", "1.2.3.4.5"})
        EXPECT_TRUE(IsVersionText(good)) << good;
    for (const char* bad :
         {"", ".", "1.", ".1", "1..2", "v1.2", "1.2 ", "<html>", "channels", "-1"})
        EXPECT_FALSE(IsVersionText(bad)) << bad;
}

TEST(UpdateAddresses, PathsAreAppendedToTheServer) {
    EXPECT_EQ(MarkerUrl(u"http://updates.example.org:8080"),
              u"http://updates.example.org:8080/downloads/mobile/cupdate.dat");
    EXPECT_EQ(CatalogueUrl(u"http://updates.example.org/tv/"),
              u"http://updates.example.org/tv/downloads/mobile/Channels.lmch");
}

// ---- against a server ----------------------------------------------------

constexpr char kMarkerPath[] = "/downloads/mobile/cupdate.dat";
constexpr char kCataloguePath[] = "/downloads/mobile/Channels.lmch";
constexpr char kVersionInUse[] = "1.0.0.5";

// A catalogue document: one country with one channel of one stream.
std::string DocumentBytes(const std::string& rootName, const std::string& channelName,
                          const std::string& address = "http://example.org/live.m3u8") {
    DocNode root(rootName);
    DocNode* channel = root.Child("de", ChildMode::CreateIfMissing)->AddChild("c1");
    channel->SetWString("n", FromUtf8(channelName));
    channel->SetString("p", "");
    channel->SetString("c", "n");
    channel->AddChild("0")->SetWString("u", FromUtf8(address));
    MemoryStream bytes;
    root.WriteTo(bytes);
    return std::string(bytes.View());
}

// A marker: a document of nothing but its root name.
std::string MarkerBytes(const std::string& version) {
    DocNode root(version);
    MemoryStream bytes;
    root.WriteTo(bytes);
    return std::string(bytes.View());
}

class CatalogueUpdateTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Running());
        oldCatalogue = DocumentBytes(kVersionInUse, "Old channel");
        test::WriteFileBytes(CatalogueFile(), oldCatalogue);
        newCatalogue = DocumentBytes("1.0.1.0", "New channel");
        Serve(kCataloguePath, newCatalogue);
        ServeMarker("1.0.1.0");
    }

    std::filesystem::path CatalogueFile() const { return user.Path() / "Channels.lmch"; }
    std::string CatalogueOnDisk() const { return test::ReadFileBytes(CatalogueFile()); }
    bool TemporaryLeftBehind() const {
        return std::filesystem::exists(user.Path() / "Channels.lmch.tmp");
    }

    void Serve(const char* path, const std::string& bytes) {
        test::WriteFileBytes(served.Path() / std::string(path + 1), bytes);
    }
    void ServeMarker(const std::string& version) { Serve(kMarkerPath, MarkerBytes(version)); }
    int RequestsFor(const std::string& path) const {
        int count = 0;
        for (const std::string& request : server.Requests())
            count += request == path;
        return count;
    }

    UpdateSource Source(std::u16string base = {}) const {
        UpdateSource source;
        source.server = base.empty() ? server.Base() : base;
        source.catalogueVersion = kVersionInUse;
        source.cataloguePath = FromUtf8(CatalogueFile().string());
        source.fetch = [](const std::u16string& url) {
            return FetchUrl(kUpdateAgent, url, QuickOptions());
        };
        return source;
    }

    // A stand-in for the wait dialog: starts the run and stays "open" until
    // the worker reports the finished stage. Records what the user sees.
    UpdateUi RecordingUi() {
        UpdateUi ui;
        ui.runDialog = [this](const std::shared_ptr<UpdateRun>& run) {
            auto finished = std::make_shared<std::promise<void>>();
            std::future<void> done = finished->get_future();
            std::weak_ptr<UpdateRun> weakRun = run;
            run->Start([this, weakRun, finished] {
                auto alive = weakRun.lock();
                if (!alive)
                    return;
                UpdateStage stage = alive->Stage();
                {
                    std::lock_guard lock(mutex);
                    stages.push_back(stage);
                }
                // Last, as the test may end as soon as it is set.
                if (stage == UpdateStage::Finished)
                    finished->set_value();
            });
            ASSERT_EQ(done.wait_for(30s), std::future_status::ready);
        };
        ui.stopPlayback = [this] { events.push_back("stop"); };
        ui.reloadCatalogue = [this] {
            // The new file is complete by the time the catalogue is rebuilt.
            events.push_back(CatalogueOnDisk() == newCatalogue ? "reload new" : "reload other");
        };
        ui.showMessage = [this](std::string_view key) { events.push_back(std::string(key)); };
        return ui;
    }

    UpdateOutcome Run(std::u16string base = {}) {
        return RunCatalogueUpdate(Source(std::move(base)), updates, RecordingUi());
    }

    void ExpectOldCatalogueKept(const char* what) {
        EXPECT_EQ(CatalogueOnDisk(), oldCatalogue) << what;
        EXPECT_FALSE(TemporaryLeftBehind()) << what;
    }

    ScratchFolder served;
    ScratchFolder user;
    TestServer server{served.Path()};
    std::string oldCatalogue;
    std::string newCatalogue;
    std::mutex mutex;
    std::vector<UpdateStage> stages;
    std::vector<std::string> events;
    std::shared_ptr<UpdateState> updates = std::make_shared<UpdateState>();
};

TEST_F(CatalogueUpdateTest, CheckAnswersByTheMarkersVersion) {
    struct Row {
        const char* marker;
        bool newer;
    } rows[] = {
        {"1.0.1.0", true},    {"2", true},        {"1.0.0.5", false},
        {"1.0.0.5.9", false}, {"1.0.0.4", false}, {"0.9", false},
    };
    for (const Row& row : rows) {
        ServeMarker(row.marker);
        EXPECT_EQ(CheckCatalogueUpdate(Source(), *updates), row.newer) << row.marker;
        EXPECT_EQ(updates->Outcome(), UpdateOutcome::None) << row.marker;
    }
}

TEST_F(CatalogueUpdateTest, CheckOfAnUnusableMarkerAnswersNoWithoutAnError) {
    server.SetRule(kMarkerPath, R"({"mode":"404"})");
    EXPECT_FALSE(CheckCatalogueUpdate(Source(), *updates));
    Serve(kMarkerPath, "1.2.3.4 is not a document");
    server.ClearRules();
    EXPECT_FALSE(CheckCatalogueUpdate(Source(), *updates));
    EXPECT_EQ(updates->Outcome(), UpdateOutcome::None);
}

TEST_F(CatalogueUpdateTest, CheckOfAnUnreachableMarkerSetsTheConnectionError) {
    std::u16string dead = FromUtf8("http://127.0.0.1:" + std::to_string(test::UnusedPort()));
    EXPECT_FALSE(CheckCatalogueUpdate(Source(dead), *updates));
    EXPECT_EQ(updates->Outcome(), UpdateOutcome::ConnectionError);
}

TEST_F(CatalogueUpdateTest, NewerCatalogueReplacesTheFileThenPlaybackStopsBeforeTheReload) {
    EXPECT_EQ(Run(), UpdateOutcome::Replaced);
    EXPECT_EQ(CatalogueOnDisk(), newCatalogue);
    EXPECT_FALSE(TemporaryLeftBehind());
    EXPECT_EQ(events, (std::vector<std::string>{"stop", "reload new", "msg_cupdated"}));
    EXPECT_EQ(stages, (std::vector<UpdateStage>{UpdateStage::Downloading, UpdateStage::Finished}));
    EXPECT_EQ(updates->Outcome(), UpdateOutcome::Replaced);
}

TEST_F(CatalogueUpdateTest, EqualOrOlderMarkerDownloadsNothing) {
    for (const char* marker : {"1.0.0.5", "1.0.0.5.7", "1.0"}) {
        ServeMarker(marker);
        events.clear();
        EXPECT_EQ(Run(), UpdateOutcome::None) << marker;
        EXPECT_EQ(events, (std::vector<std::string>{"msg_noupdates"})) << marker;
    }
    EXPECT_EQ(RequestsFor(kCataloguePath), 0);
    ExpectOldCatalogueKept("no download");
}

TEST_F(CatalogueUpdateTest, UnreachableServerReportsTheConnectionError) {
    std::u16string dead = FromUtf8("http://127.0.0.1:" + std::to_string(test::UnusedPort()));
    EXPECT_EQ(Run(dead), UpdateOutcome::ConnectionError);
    EXPECT_EQ(events, (std::vector<std::string>{"msg_error_connection"}));
    ExpectOldCatalogueKept("refused");
}

TEST_F(CatalogueUpdateTest, ErrorPageAsMarkerMeansNoUpdate) {
    server.SetRule(kMarkerPath, R"({"mode":"404"})");
    EXPECT_EQ(Run(), UpdateOutcome::None);
    EXPECT_EQ(events, (std::vector<std::string>{"msg_noupdates"}));
    ExpectOldCatalogueKept("marker 404");
}

// A newer marker, but the catalogue that comes back is unusable: the working
// file stays byte for byte and the user hears of a failed connection.
TEST_F(CatalogueUpdateTest, UnusableCatalogueBodyKeepsTheOldFile) {
    struct Row {
        const char* what;
        const char* rule;
        std::string body;
    } rows[] = {
        {"404 page", R"({"mode":"404"})", ""},
        {"not a document", R"({"mode":"file"})", "<html>Service moved</html>"},
        {"document without a version root", R"({"mode":"file"})", DocumentBytes("channels", "x")},
        {"the marker itself", R"({"mode":"file"})", MarkerBytes("1.0.1.0")},
        {"older than the marker", R"({"mode":"file"})", DocumentBytes("1.0.0.9", "x")},
        {"newer than the marker", R"({"mode":"file"})", DocumentBytes("1.0.2.0", "x")},
        {"nothing playable", R"({"mode":"file"})",
         DocumentBytes("1.0.1.0", "x", "file:///etc/passwd")},
        {"no stream at all", R"({"mode":"file"})", DocumentBytes("1.0.1.0", "x", "")},
        {"empty body", R"({"mode":"file"})", std::string()},
        {"body cut short", R"({"mode":"short"})", ""},
        {"server stalls", R"({"mode":"stall"})", ""},
        {"connection reset", R"({"mode":"reset"})", ""},
    };
    for (const Row& row : rows) {
        if (!row.body.empty() || std::string(row.what) == "empty body")
            Serve(kCataloguePath, row.body);
        else
            Serve(kCataloguePath, newCatalogue);
        server.SetRule(kCataloguePath, row.rule);
        events.clear();
        EXPECT_EQ(Run(), UpdateOutcome::ConnectionError) << row.what;
        EXPECT_EQ(events, (std::vector<std::string>{"msg_error_connection"})) << row.what;
        ExpectOldCatalogueKept(row.what);
    }
}

TEST_F(CatalogueUpdateTest, RedirectedMarkerAndCatalogueAreFollowed) {
    Serve("/moved/cupdate.dat", DocumentBytes("1.0.1.0", ""));
    Serve("/moved/Channels.lmch", newCatalogue);
    server.SetRule(kMarkerPath, R"({"mode":"redirect","to":"/moved/cupdate.dat"})");
    server.SetRule(kCataloguePath, R"({"mode":"redirect","to":"/moved/Channels.lmch"})");
    EXPECT_EQ(Run(), UpdateOutcome::Replaced);
    EXPECT_EQ(CatalogueOnDisk(), newCatalogue);
}

TEST_F(CatalogueUpdateTest, UnwritableCatalogueFolderReportsTheSaveFailure) {
    UpdateSource source = Source();
    source.cataloguePath = FromUtf8((user.Path() / "gone" / "Channels.lmch").string());
    EXPECT_EQ(RunCatalogueUpdate(source, updates, RecordingUi()), UpdateOutcome::SaveFailed);
    EXPECT_EQ(events, (std::vector<std::string>{"msg_error_save"}));
    ExpectOldCatalogueKept("other folder");
}

// Version texts are read by the version rule, not only digits and dots.
TEST_F(CatalogueUpdateTest, RootNameIsReadByTheVersionRule) {
    ServeMarker("1.0.1-beta");
    newCatalogue = DocumentBytes("1.0.1-beta", "Beta channel");
    Serve(kCataloguePath, newCatalogue);
    EXPECT_EQ(Run(), UpdateOutcome::Replaced);
    EXPECT_EQ(CatalogueOnDisk(), newCatalogue);
}

// The background check remembers which version it saw, so the update it
// starts takes only that catalogue.
TEST_F(CatalogueUpdateTest, PendingUpdateTakesOnlyTheVersionTheCheckFound) {
    std::shared_future<void> done = StartAutomaticUpdateCheck(true, Source(), updates);
    ASSERT_EQ(done.wait_for(30s), std::future_status::ready);
    ASSERT_TRUE(updates->Pending());
    EXPECT_EQ(updates->PendingVersion(), "1.0.1.0");
    Serve(kCataloguePath, DocumentBytes("1.0.0.9", "Stale copy"));
    EXPECT_EQ(Run(), UpdateOutcome::ConnectionError);
    ExpectOldCatalogueKept("stale catalogue behind a pending update");
}

TEST_F(CatalogueUpdateTest, PendingUpdateSkipsTheCheckAndIsConsumed) {
    updates->SetPending(true);
    server.SetRule(kMarkerPath, R"({"mode":"404"})");
    EXPECT_EQ(Run(), UpdateOutcome::Replaced);
    EXPECT_EQ(RequestsFor(kMarkerPath), 0);
    EXPECT_FALSE(updates->Pending());
}

// The user ends the wait dialog while the catalogue is still on its way: the
// run reports "no update" at once, the worker finishes on its own without
// the dialog and leaves the catalogue file alone.
TEST_F(CatalogueUpdateTest, DialogEndedDuringTheDownloadReportsNoUpdateAndKeepsTheFile) {
    server.SetRule(kCataloguePath, R"({"mode":"delay","seconds":1.0})");
    std::weak_ptr<UpdateRun> leftBehind;
    auto calls = std::make_shared<std::atomic<int>>(0);
    std::atomic<int> callsAtEnd{-1};
    UpdateUi ui = RecordingUi();
    ui.runDialog = [&](const std::shared_ptr<UpdateRun>& run) {
        leftBehind = run;
        run->Start([calls] { ++*calls; });
        while (run->Stage() != UpdateStage::Downloading)
            std::this_thread::sleep_for(5ms);
        callsAtEnd = calls->load();  // the dialog ends here (Esc)
    };
    EXPECT_EQ(RunCatalogueUpdate(Source(), updates, ui), UpdateOutcome::None);
    EXPECT_EQ(events, (std::vector<std::string>{"msg_noupdates"}));

    // Only the worker holds the run now; it lets go when it is done.
    for (int waited = 0; !leftBehind.expired() && waited < 1000; ++waited)
        std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(leftBehind.expired());
    EXPECT_EQ(RequestsFor(kCataloguePath), 1);
    EXPECT_EQ(calls->load(), callsAtEnd.load()) << "the worker reported to an ended dialog";
    ExpectOldCatalogueKept("dialog ended");
}

TEST_F(CatalogueUpdateTest, DialogEndedDuringTheCheckDownloadsNothing) {
    updates->SetPending(false);
    server.SetRule(kMarkerPath, R"({"mode":"delay","seconds":0.5})");
    std::weak_ptr<UpdateRun> leftBehind;
    UpdateUi ui = RecordingUi();
    ui.runDialog = [&](const std::shared_ptr<UpdateRun>& run) {
        leftBehind = run;
        run->Start({});
    };
    EXPECT_EQ(RunCatalogueUpdate(Source(), updates, ui), UpdateOutcome::None);
    for (int waited = 0; !leftBehind.expired() && waited < 1000; ++waited)
        std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(leftBehind.expired());
    EXPECT_EQ(RequestsFor(kCataloguePath), 0);
    ExpectOldCatalogueKept("ended during the check");
}

TEST_F(CatalogueUpdateTest, PublishedFolderServesAWorkingUpdate) {
    // lumora-data publish lays out the server folder from a catalogue file.
    ScratchFolder source;
    test::WriteFileBytes(source.Path() / "new.lmch", newCatalogue);
    std::filesystem::remove_all(served.Path() / "downloads");
    std::string command = std::string(LUMORA_DATA_EXE) + " publish '" +
                          (source.Path() / "new.lmch").string() + "' '" + served.Path().string() +
                          "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    EXPECT_EQ(Run(), UpdateOutcome::Replaced);
    EXPECT_EQ(CatalogueOnDisk(), newCatalogue);

    // A file that is no catalogue is refused and nothing is laid out.
    ScratchFolder refused;
    test::WriteFileBytes(source.Path() / "bad.lmch", DocumentBytes("channels", "x"));
    command = std::string(LUMORA_DATA_EXE) + " publish '" + (source.Path() / "bad.lmch").string() +
              "' '" + refused.Path().string() + "' 2>/dev/null";
    EXPECT_NE(std::system(command.c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists(refused.Path() / "downloads" / "mobile" / "cupdate.dat"));
}

// ---- the automatic update ------------------------------------------------

TEST_F(CatalogueUpdateTest, CheckAtStartIsOnlyStartedWhenEnabled) {
    int fetches = 0;
    UpdateSource counting = Source();
    counting.fetch = [&fetches](const std::u16string&) {
        ++fetches;
        return std::unique_ptr<MemoryStream>();
    };
    EXPECT_FALSE(StartAutomaticUpdateCheck(false, counting, updates).valid());
    EXPECT_EQ(fetches, 0);
    EXPECT_FALSE(updates->Pending());

    std::shared_future<void> done = StartAutomaticUpdateCheck(true, Source(), updates);
    ASSERT_TRUE(done.valid());
    ASSERT_EQ(done.wait_for(30s), std::future_status::ready);
    EXPECT_TRUE(updates->Pending());
    EXPECT_EQ(RequestsFor(kCataloguePath), 0);  // the check alone downloads nothing
}

TEST_F(CatalogueUpdateTest, CheckAtStartAgainstADeadServerStartsNothing) {
    std::u16string dead = FromUtf8("http://127.0.0.1:" + std::to_string(test::UnusedPort()));
    std::shared_future<void> done = StartAutomaticUpdateCheck(true, Source(dead), updates);
    ASSERT_EQ(done.wait_for(30s), std::future_status::ready);
    EXPECT_FALSE(updates->Pending());
    for (int tick = 0; tick < 3; ++tick)
        EXPECT_FALSE(ShouldStartAutomaticUpdate(*updates, true));
}

TEST(AutomaticUpdate, StartsOnceAndOnlyWhileTheMainWindowIsActive) {
    UpdateState updates;
    EXPECT_FALSE(ShouldStartAutomaticUpdate(updates, true)) << "nothing pending";
    updates.SetPending(true);
    for (int tick = 0; tick < 5; ++tick)
        EXPECT_FALSE(ShouldStartAutomaticUpdate(updates, false)) << "a dialog is open";
    EXPECT_FALSE(updates.AutomaticUpdateStarted());
    EXPECT_TRUE(ShouldStartAutomaticUpdate(updates, true)) << "first tick after the dialog closed";
    EXPECT_TRUE(updates.AutomaticUpdateStarted());
    // Even when a later check finds another newer catalogue: once per run.
    updates.SetPending(true);
    for (int tick = 0; tick < 5; ++tick)
        EXPECT_FALSE(ShouldStartAutomaticUpdate(updates, true));
}

TEST(AutomaticUpdate, TicksOnSeveralThreadsStartItOnce) {
    UpdateState updates;
    updates.SetPending(true);
    std::atomic<int> started{0};
    std::vector<std::thread> tickers;
    for (int i = 0; i < 4; ++i)
        tickers.emplace_back([&] {
            for (int tick = 0; tick < 1000; ++tick)
                started += ShouldStartAutomaticUpdate(updates, true);
        });
    for (std::thread& ticker : tickers)
        ticker.join();
    EXPECT_EQ(started.load(), 1);
}

}  // namespace
}  // namespace lumora
