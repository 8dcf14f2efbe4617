// Guide updates against a loopback HTTP server: packed guides merged into
// one store, unchanged guides not transferred again, and every failure
// leaving the store the user had.

#include "net/guide_update.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <thread>

#include "../guide/guide_samples.h"
#include "document/text_encoding.h"
#include "guide/guide_store.h"
#include "test_server.h"

namespace lumora {
namespace {

using test::ScratchFolder;
using test::TestServer;

constexpr std::int64_t kHour = 3600;

class GuideUpdateTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Running()); }

    // A guide of one channel with one programme on now.
    void PublishGuide(const std::string& path, const std::string& channel,
                      const std::string& title) {
        const std::string xml = test::Guide(test::Channel(channel, channel) +
                                            test::Programme(channel, test::XmltvStamp(now - kHour),
                                                            test::XmltvStamp(now + kHour), title));
        std::string bytes = xml;
        if (path.ends_with(".gz"))
            bytes = test::Gzip(xml);
        else if (path.ends_with(".xz"))
            bytes = test::Xz(xml);
        test::WriteFileBytes(folder.Path() / path.substr(1), bytes);
    }

    GuideUpdateRequest Request(const std::vector<std::string>& paths) {
        GuideUpdateRequest request;
        request.storePath = (folder.Path() / "store" / "guide.sqlite").string();
        for (const std::string& path : paths)
            request.sources.push_back({GuideSource::Kind::Http, ToUtf8(server.Url(path))});
        request.signature = GuideUpdateSignature(request.sources, "catalogue 1");
        request.import.now = now;
        request.fetch = test::QuickOptions();
        return request;
    }

    // The title on now on a guide channel, empty when none.
    std::string TitleNow(const GuideUpdateRequest& request, const std::string& channel) {
        std::string error;
        std::unique_ptr<GuideStore> store = GuideStore::Open(request.storePath, error);
        if (!store)
            return {};
        const std::vector<NowAndNext> answer = store->NowAndNextOf({channel}, now);
        return answer.size() == 1 && answer[0].now ? answer[0].now->title : std::string();
    }

    std::size_t RequestsOf(const std::string& path) const {
        const std::vector<std::string> requests = server.Requests();
        return static_cast<std::size_t>(std::count(requests.begin(), requests.end(), path));
    }

    const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
    ScratchFolder folder;
    TestServer server{folder.Path()};
};

TEST_F(GuideUpdateTest, GzipAndXzGuidesAreMergedIntoOneStore) {
    std::filesystem::create_directories(folder.Path() / "store");
    PublishGuide("/a.xml.gz", "a.example", "News");
    PublishGuide("/b.xml.xz", "b.example", "Film");
    const GuideUpdateRequest request = Request({"/a.xml.gz", "/b.xml.xz"});
    std::uint64_t heard = 0;
    const GuideUpdateResult result = UpdateGuide(request, [&](std::uint64_t bytes) {
        heard = bytes;
        return true;
    });
    ASSERT_EQ(result.status, GuideUpdateStatus::Updated) << result.message;
    EXPECT_EQ(result.report.guides, 2u);
    EXPECT_EQ(TitleNow(request, "a.example"), "News");
    EXPECT_EQ(TitleNow(request, "b.example"), "Film");
    EXPECT_GT(heard, 0u);
    EXPECT_TRUE(GuideStoreIsCurrent(request.storePath, request.signature, now, 12 * kHour));
    EXPECT_FALSE(
        GuideStoreIsCurrent(request.storePath, request.signature, now + 13 * kHour, 12 * kHour));
    EXPECT_FALSE(GuideStoreIsCurrent(request.storePath, "other sources", now, 12 * kHour));
}

TEST_F(GuideUpdateTest, UnchangedGuidesAreNotTransferredAgainUnlessAnotherChanged) {
    std::filesystem::create_directories(folder.Path() / "store");
    PublishGuide("/a.xml.gz", "a.example", "News");
    PublishGuide("/b.xml.gz", "b.example", "Film");
    GuideUpdateRequest request = Request({"/a.xml.gz", "/b.xml.gz"});
    ASSERT_EQ(UpdateGuide(request).status, GuideUpdateStatus::Updated);

    const GuideUpdateResult again = UpdateGuide(request);
    EXPECT_EQ(again.status, GuideUpdateStatus::Current) << again.message;

    // One changed: the store is rebuilt whole, the unchanged one fetched too.
    PublishGuide("/b.xml.gz", "b.example", "Late Film");
    server.ClearRules();
    const std::size_t before = RequestsOf("/a.xml.gz");
    EXPECT_EQ(UpdateGuide(request).status, GuideUpdateStatus::Updated);
    EXPECT_EQ(TitleNow(request, "a.example"), "News");
    EXPECT_EQ(TitleNow(request, "b.example"), "Late Film");
    EXPECT_EQ(RequestsOf("/a.xml.gz"), before + 2);  // asked, then fetched whole

    // Other sources: nothing is asked conditionally.
    request.signature = GuideUpdateSignature(request.sources, "catalogue 2");
    EXPECT_EQ(UpdateGuide(request).status, GuideUpdateStatus::Updated);
}

TEST_F(GuideUpdateTest, AFailedOrStoppedUpdateLeavesTheStoreTheUserHad) {
    std::filesystem::create_directories(folder.Path() / "store");
    PublishGuide("/a.xml.gz", "a.example", "News");
    PublishGuide("/b.xml.gz", "b.example", "Film");
    GuideUpdateRequest request = Request({"/a.xml.gz", "/b.xml.gz"});
    request.conditional = false;
    ASSERT_EQ(UpdateGuide(request).status, GuideUpdateStatus::Updated);

    PublishGuide("/a.xml.gz", "a.example", "Changed");
    const struct {
        const char* what;
        const char* rule;  // for /b.xml.gz
        GuideUpdateStatus status;
    } rows[] = {
        {"an error page", R"({"mode":"404"})", GuideUpdateStatus::Failed},
        {"a body broken off", R"({"mode":"short"})", GuideUpdateStatus::Failed},
        {"a redirect to a file", R"({"mode":"redirect","to":"file:///etc/passwd"})",
         GuideUpdateStatus::Failed},
    };
    for (const auto& row : rows) {
        server.ClearRules();
        server.SetRule("/b.xml.gz", row.rule);
        const GuideUpdateResult result = UpdateGuide(request);
        EXPECT_EQ(result.status, row.status) << row.what;
        EXPECT_NE(result.message.find("/b.xml.gz"), std::string::npos) << row.what;
        EXPECT_EQ(TitleNow(request, "a.example"), "News") << row.what;
    }
    server.ClearRules();
    const GuideUpdateResult stopped = UpdateGuide(request, [](std::uint64_t) { return false; });
    EXPECT_EQ(stopped.status, GuideUpdateStatus::Stopped);
    EXPECT_EQ(TitleNow(request, "a.example"), "News");

    // Stopped from another thread while the server says nothing at all.
    server.SetRule("/a.xml.gz", R"({"mode":"stall_headers"})");
    std::atomic<bool> stop{false};
    request.stop = &stop;
    std::thread stopper([&stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        stop = true;
    });
    EXPECT_EQ(UpdateGuide(request).status, GuideUpdateStatus::Stopped);
    stopper.join();
    EXPECT_EQ(TitleNow(request, "a.example"), "News");
}

}  // namespace
}  // namespace lumora
