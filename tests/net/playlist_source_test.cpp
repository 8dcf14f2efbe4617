// Playlists as the update source, against servers on 127.0.0.1: the first
// update, unchanged and changed lists, local files, an update server
// address that serves a playlist, refused lists, https.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>

#include "document/doc_node.h"
#include "document/text_encoding.h"
#include "net/fetch_url.h"
#include "net/playlist_source.h"
#include "net/update_logic.h"
#include "net/update_logic_run.h"
#include "test_server.h"

namespace lumora {
namespace {

using namespace std::chrono_literals;
using test::ScratchFolder;
using test::TestServer;

constexpr char kPlaylistPath[] = "/lists/tv.m3u";

std::string Playlist(const std::string& extra = {}) {
    return "#EXTM3U\n"
           "#EXTINF:-1 tvg-id=\"Alpha.fr@SD\" group-title=\"News\",Alpha (720p)\n"
           "#EXTVLCOPT:http-user-agent=Lumora-Test/1\n"
           "http://streams.example/alpha.m3u8\n"
           "#EXTINF:-1 group-title=\"Sport\",Beta\n"
           "relative/beta.m3u8|Referer=https://ref.example/\n" +
           extra;
}

std::string OldCatalogue() {
    DocNode root("1.0.0.5");
    DocNode* channel = root.AddChild("de")->AddChild("old");
    channel->SetWString("n", u"Old");
    channel->SetString("p", "");
    channel->SetString("c", "n");
    channel->AddChild("0")->SetWString("u", u"http://old.example/");
    MemoryStream bytes;
    root.WriteTo(bytes);
    return std::string(bytes.View());
}

FetchOptions QuickOptions() {
    FetchOptions options;
    options.connectTimeout = 3000ms;
    options.stallTimeout = 2s;
    return options;
}

class PlaylistSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Running());
        test::WriteFileBytes(CatalogueFile(), OldCatalogue());
        Serve(kPlaylistPath, Playlist());
    }

    std::filesystem::path CatalogueFile() const { return user.Path() / "Channels.lmch"; }
    std::string CatalogueOnDisk() const { return test::ReadFileBytes(CatalogueFile()); }
    void Serve(const std::string& path, const std::string& bytes) {
        test::WriteFileBytes(served.Path() / path.substr(1), bytes);
    }

    // The source as the program makes it from the catalogue in use.
    UpdateSource Source(const std::u16string& address, std::string caFile = {}) {
        DocNode inUse;
        EXPECT_TRUE(inUse.LoadFromFile(FromUtf8(CatalogueFile().string())));
        UpdateSource source;
        source.server = address;
        source.catalogueVersion = inUse.Name();
        source.catalogueOrigin = ReadCatalogueOrigin(inUse);
        source.cataloguePath = FromUtf8(CatalogueFile().string());
        source.transfer = [caFile](const TransferRequest& request) {
            FetchOptions options = QuickOptions();
            options.caFile = caFile;
            return FetchUrlReply(kUpdateAgent, request.url, request.conditions, options);
        };
        return source;
    }

    // The update as the menu command runs it; the messages the user sees.
    UpdateOutcome Run(const UpdateSource& source) {
        UpdateUi ui;
        ui.runDialog = [](const std::shared_ptr<UpdateRun>& run) {
            auto finished = std::make_shared<std::promise<void>>();
            std::future<void> done = finished->get_future();
            std::weak_ptr<UpdateRun> weak = run;
            run->Start([weak, finished] {
                if (auto alive = weak.lock(); alive && alive->Stage() == UpdateStage::Finished)
                    finished->set_value();
            });
            ASSERT_EQ(done.wait_for(60s), std::future_status::ready);
        };
        ui.showMessage = [this](std::string_view key) { messages.push_back(std::string(key)); };
        messages.clear();
        return RunCatalogueUpdate(source, updates, ui);
    }

    std::unique_ptr<DocNode> Installed() const {
        auto root = std::make_unique<DocNode>();
        EXPECT_TRUE(root->LoadFromFile(FromUtf8(CatalogueFile().string())));
        return root;
    }

    std::shared_ptr<UpdateState> updates = std::make_shared<UpdateState>();
    ScratchFolder served;
    ScratchFolder user;
    TestServer server{served.Path()};
    std::vector<std::string> messages;
};

TEST_F(PlaylistSourceTest, PlaylistAddressBuildsTheCatalogueWithHeadersAndOrigin) {
    const std::u16string address = server.Url(kPlaylistPath);
    EXPECT_EQ(Run(Source(address)), UpdateOutcome::Replaced);
    EXPECT_EQ(messages, std::vector<std::string>{"msg_cupdated"});
    std::unique_ptr<DocNode> root = Installed();
    EXPECT_EQ(ParseVersion(root->Name())[3], 1);
    CatalogueOrigin origin = ReadCatalogueOrigin(*root);
    EXPECT_EQ(origin.source, address);
    EXPECT_FALSE(origin.hash.empty());
    EXPECT_FALSE(origin.etag.empty());

    const DocNode* alpha = root->Child("fr") ? root->Child("fr")->Child("Alpha") : nullptr;
    ASSERT_NE(alpha, nullptr);
    EXPECT_EQ(alpha->GetString("c"), "n");
    EXPECT_EQ(alpha->Child("0")->GetWString("ua"), u"Lumora-Test/1");
    const DocNode* beta = root->Child("own") ? root->Child("own")->Child("Beta") : nullptr;
    ASSERT_NE(beta, nullptr);
    EXPECT_EQ(beta->GetString("c"), "sp");
    EXPECT_EQ(beta->Child("0")->GetWString("u"), server.Url("/lists/relative/beta.m3u8"));
    EXPECT_EQ(beta->Child("0")->GetWString("ref"), u"https://ref.example/");
}

TEST_F(PlaylistSourceTest, UnchangedPlaylistIsNoUpdateAndAChangedOneIsTheNextVersion) {
    const std::u16string address = server.Url(kPlaylistPath);
    ASSERT_EQ(Run(Source(address)), UpdateOutcome::Replaced);
    const std::string first = CatalogueOnDisk();

    EXPECT_EQ(Run(Source(address)), UpdateOutcome::None);
    EXPECT_EQ(messages, std::vector<std::string>{"msg_noupdates"});
    EXPECT_EQ(CatalogueOnDisk(), first);
    // The server's validators made the second answer "not modified".
    PlaylistFetch asked = FetchPlaylist(Source(address), true);
    EXPECT_EQ(asked.answer, CheckAnswer::NotNewer);
    EXPECT_EQ(asked.body, nullptr);

    Serve(kPlaylistPath, Playlist("#EXTINF:-1,Gamma\nhttp://streams.example/gamma\n"));
    EXPECT_EQ(Run(Source(address)), UpdateOutcome::Replaced);
    std::unique_ptr<DocNode> root = Installed();
    EXPECT_EQ(ParseVersion(root->Name())[3], 2);
    EXPECT_NE(root->Child("own")->Child("Gamma"), nullptr);
    EXPECT_NE(root->Child("fr")->Child("Alpha"), nullptr) << "an unchanged entry keeps its id";
}

TEST_F(PlaylistSourceTest, LocalPlaylistFileIsASource) {
    const std::filesystem::path file = user.Path() / "mine.m3u8";
    test::WriteFileBytes(file,
                         "#EXTM3U\n#EXTINF:-1,Local\nhttp://streams.example/local\n"
                         "#EXTINF:-1,Relative\nrelative.m3u8\n");
    EXPECT_EQ(Run(Source(FromUtf8(file.string()))), UpdateOutcome::Replaced);
    std::unique_ptr<DocNode> root = Installed();
    ASSERT_NE(root->Child("own"), nullptr);
    EXPECT_NE(root->Child("own")->Child("Local"), nullptr);
    EXPECT_EQ(root->Child("own")->Child("Relative"), nullptr) << "nothing to resolve it against";

    EXPECT_EQ(Run(Source(FromUtf8((user.Path() / "missing.m3u").string()))),
              UpdateOutcome::ConnectionError);
}

TEST_F(PlaylistSourceTest, ServerAddressThatServesAPlaylistIsTakenAsOne) {
    // No marker there; the address itself answers with a playlist.
    Serve("/provider", Playlist());
    EXPECT_EQ(KindOfSource(server.Url("/provider")), SourceKind::UpdateServer);
    EXPECT_EQ(Run(Source(server.Url("/provider"))), UpdateOutcome::Replaced);
    EXPECT_NE(Installed()->Child("fr"), nullptr);
}

// The check at start keeps the playlist it fetched; the update that follows
// builds from it, so the list crosses the network once.
TEST_F(PlaylistSourceTest, AnAutomaticUpdateFetchesThePlaylistOnce) {
    Serve("/provider", Playlist());
    for (const char* path : {kPlaylistPath, "/provider"}) {
        SCOPED_TRACE(path);
        const UpdateSource source = Source(server.Url(path));
        std::shared_future<void> checked = StartAutomaticUpdateCheck(true, source, updates);
        ASSERT_TRUE(checked.valid());
        ASSERT_EQ(checked.wait_for(60s), std::future_status::ready);
        ASSERT_TRUE(updates->Pending());

        EXPECT_EQ(Run(source), UpdateOutcome::Replaced);
        EXPECT_EQ(ReadCatalogueOrigin(*Installed()).source, server.Url(path));
        int fetches = 0;
        for (const std::string& request : server.Requests())
            fetches += request == path;
        EXPECT_EQ(fetches, 1);
    }
}

// Whatever the list holds, the working catalogue is kept byte for byte
// unless a playable catalogue comes of it.
TEST_F(PlaylistSourceTest, UnusableListsKeepTheOldCatalogue) {
    struct Row {
        const char* what;
        std::string body;
        const char* rule;
        std::string expected;
    } rows[] = {
        {"nothing playable", "#EXTM3U\n#EXTINF:-1,Bad\nfile:///etc/passwd\n", R"({"mode":"file"})",
         "msg_error_connection"},
        {"empty list", "#EXTM3U\n", R"({"mode":"file"})", "msg_error_connection"},
        {"error page", "", R"({"mode":"404"})", "msg_error_connection"},
        {"cut short", Playlist(), R"({"mode":"short"})", "msg_error_connection"},
    };
    const std::string old = CatalogueOnDisk();
    for (const Row& row : rows) {
        Serve("/bad.m3u", row.body);
        server.SetRule("/bad.m3u", row.rule);
        EXPECT_EQ(Run(Source(server.Url("/bad.m3u"))), UpdateOutcome::ConnectionError) << row.what;
        EXPECT_EQ(messages, std::vector<std::string>{row.expected}) << row.what;
        EXPECT_EQ(CatalogueOnDisk(), old) << row.what;
    }
}

TEST(PlaylistVersions, DateAndNumberOfTheDay) {
    using namespace std::chrono;
    const system_clock::time_point day = sys_days{year{2026} / 12 / 8} + hours{15};
    EXPECT_EQ(PlaylistCatalogueVersion(day, "1.0.0.5"), "2026.12.8.1");
    EXPECT_EQ(PlaylistCatalogueVersion(day, "2026.12.8.1"), "2026.12.8.2");
    EXPECT_EQ(PlaylistCatalogueVersion(day, "2026.12.7.9"), "2026.12.8.1");
    EXPECT_EQ(PlaylistCatalogueVersion(day, ""), "2026.12.8.1");
}

TEST(PlaylistSourceKinds, AddressAndNameDecide) {
    EXPECT_EQ(KindOfSource(u"https://iptv-org.github.io/iptv/index.m3u"),
              SourceKind::PlaylistAddress);
    EXPECT_EQ(KindOfSource(u"http://provider.example/get.php?username=a&type=m3u_plus"),
              SourceKind::PlaylistAddress);
    EXPECT_EQ(KindOfSource(u"HTTP://Updates.Example:8080"), SourceKind::UpdateServer);
    EXPECT_EQ(KindOfSource(u"/home/me/tv.M3U8"), SourceKind::PlaylistFile);
}

// A provider-style list: 2,000 entries, groups only, Latin-1 names, headers.
TEST_F(PlaylistSourceTest, LargeProviderListWithHeadersGroupsAndLatin1Names) {
    std::string list = "#EXTM3U\r\n";
    const char* groups[] = {"Sport", "Noticias", "Kids", "Cin\xE9ma"};
    for (int i = 0; i < 2000; ++i) {
        list += "#EXTINF:-1 group-title=\"" + std::string(groups[i % 4]) + "\",Cha\xEEne " +
                std::to_string(i) + "\r\n";
        if (i % 2 == 0)
            list += "#EXTVLCOPT:http-user-agent=Box/" + std::to_string(i) + "\r\n";
        list += "http://streams.example/" + std::to_string(i) +
                ".ts|Referer=http%3A%2F%2Fr.example%2F\r\n";
    }
    Serve("/provider.m3u", list);
    ASSERT_EQ(Run(Source(server.Url("/provider.m3u"))), UpdateOutcome::Replaced);
    std::unique_ptr<DocNode> root = Installed();
    const DocNode* own = root->Child("own");
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->Children().size(), 2000u);
    const DocNode* channel = own->Child("Chane10");  // "Chaîne 10": letters and digits of the name
    ASSERT_NE(channel, nullptr);
    EXPECT_EQ(channel->GetWString("n"), u"Cha\u00EEne 10");
    EXPECT_EQ(channel->GetString("c"), "k");
    EXPECT_EQ(channel->Child("0")->GetWString("ua"), u"Box/10");
    EXPECT_EQ(channel->Child("0")->GetWString("ref"), u"http://r.example/");
    EXPECT_EQ(own->Child("Chane11")->Child("0")->FindAttribute("ua"), nullptr);
    EXPECT_EQ(own->Child("Chane11")->GetString("c"), "mo");
    EXPECT_EQ(own->Child("Chane13")->GetString("c"), "n");
}

// https with a certificate made for this test and trusted only through the
// test's own certificate file; verification stays on.
TEST(PlaylistSourceTls, HttpsPlaylistWithATestCertificate) {
    ScratchFolder keys;
    const std::filesystem::path cert = keys.Path() / "cert.pem";
    const std::filesystem::path key = keys.Path() / "key.pem";
    const std::string make =
        "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1"
        " -addext subjectAltName=IP:127.0.0.1 -keyout '" +
        key.string() + "' -out '" + cert.string() + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(make.c_str()), 0) << make;

    ScratchFolder served;
    test::WriteFileBytes(served.Path() / "tv.m3u", Playlist());
    TestServer server(served.Path(), cert, key);
    ASSERT_TRUE(server.Running());

    FetchOptions trusted = QuickOptions();
    trusted.caFile = cert.string();
    FetchReply reply = FetchUrlReply(kUpdateAgent, server.Url("/tv.m3u"), {}, trusted);
    ASSERT_NE(reply.body, nullptr);
    EXPECT_EQ(std::string(reply.body->View()), Playlist());

    // Without the test's certificate the same server is not trusted.
    EXPECT_EQ(FetchUrlReply(kUpdateAgent, server.Url("/tv.m3u"), {}, QuickOptions()).body, nullptr);
}

}  // namespace
}  // namespace lumora
