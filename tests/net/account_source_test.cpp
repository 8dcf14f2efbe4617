// Provider accounts: their answers read as untrusted JSON, and a loopback
// provider's accounts turned into catalogues.

#include <sys/stat.h>

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "catalogue/catalogue_origin.h"
#include "catalogue/catchup_attributes.h"
#include "catalogue/guide_attributes.h"
#include "document/doc_view.h"
#include "document/text_encoding.h"
#include "net/account_fetch.h"
#include "net/playlist_source.h"
#include "net/update_logic.h"
#include "playlist/provider_account.h"
#include "scratch_folder.h"
#include "server_process.h"
#include "test_server.h"

namespace lumora::test {
namespace {

const ProviderAccount kAccount{"http://provider.example:8080", "u s", "p&w/1"};

TEST(ProviderAccountTest, ServersAreKeptAsTypedLessWhatUsersPasteAround) {
    const std::pair<const char*, std::optional<std::string>> rows[] = {
        {"http://p.example:8080", "http://p.example:8080"},
        {" https://p.example/iptv/ ", "https://p.example/iptv"},
        {"http://p.example/player_api.php", "http://p.example"},
        {"ftp://p.example", std::nullopt},
        {"p.example", std::nullopt},
        {"http://p.example/?x=1", std::nullopt},
        {"http://", std::nullopt},
    };
    for (const auto& [typed, kept] : rows)
        EXPECT_EQ(NormaliseAccountServer(typed), kept) << typed;
    EXPECT_EQ(AccountApiAddress(kAccount, "get_live_streams"),
              "http://provider.example:8080/player_api.php?username=u%20s&password=p%26w%2F1"
              "&action=get_live_streams");
}

TEST(ProviderAccountTest, TheAccountAnswerSaysStatusExpiryFormatsAndTheServersClock) {
    struct Row {
        const char* json;
        std::optional<AccountStatus> status;
    };
    const Row rows[] = {
        {R"({"user_info":{"auth":1,"status":"Active","exp_date":"4070908800"}})",
         AccountStatus::Active},
        {R"({"user_info":{"auth":"1","status":"Active","exp_date":"1000"}})",
         AccountStatus::Expired},  // the date has passed
        {R"({"user_info":{"auth":0}})", AccountStatus::Refused},
        {R"({"user_info":{"auth":1,"status":"Banned"}})", AccountStatus::Disabled},
        {R"({"user_info":"x"})", std::nullopt},
        {"<html>no</html>", std::nullopt},
        {"[]", std::nullopt},
    };
    for (const Row& row : rows) {
        const std::optional<AccountInfo> info = ParseAccountInfo(row.json);
        EXPECT_EQ(info ? std::optional(info->status) : std::nullopt, row.status) << row.json;
    }
    const std::optional<AccountInfo> info = ParseAccountInfo(
        R"({"user_info":{"auth":1,"status":"Active","exp_date":null,"max_connections":"3",
            "allowed_output_formats":["m3u8"]},
            "server_info":{"timestamp_now":1710109800,"time_now":"2024-03-10 23:30:01"}})");
    ASSERT_TRUE(info);
    EXPECT_FALSE(info->expires);
    EXPECT_EQ(info->maxConnections, 3);
    EXPECT_FALSE(info->transportStream);
    EXPECT_TRUE(info->hls);
    EXPECT_EQ(info->serverUtcOffset, 3600);
}

TEST(ProviderAccountTest, StreamsBecomeEntriesAndBadOnesAreCountedNotFatal) {
    AccountInfo info;
    info.status = AccountStatus::Active;
    info.serverUtcOffset = 3600;
    const char* categories =
        R"([{"category_id":"1","category_name":"UK | News"},{"category_id":2},"x"])";
    const char* streams = R"([
        {"name":"UK: BBC One HD","stream_id":1477,"category_id":"1","epg_channel_id":"bbc1.uk",
         "tv_archive":1,"tv_archive_duration":"7"},
        {"name":"Plain","stream_id":"12","is_adult":"0"},
        {"name":"Late","stream_id":13,"is_adult":"1"},
        {"name":"Bad id","stream_id":"1e9"},
        {"name":"No id"},
        {"stream_id":14},
        "not an object",
        {"name":"Huge id","stream_id":99999999999999999999999}
    ])";
    const AccountStreams read = ParseAccountStreams(streams, categories, kAccount, info, false, 0);
    ASSERT_EQ(read.playlist.entries.size(), 2u);
    const M3uEntry& bbc = read.playlist.entries[0];
    EXPECT_EQ(bbc.displayName, "BBC One HD");
    EXPECT_EQ(bbc.tvgCountry, "GB");
    EXPECT_EQ(bbc.groupTitle, "UK | News");
    EXPECT_EQ(bbc.tvgId, "bbc1.uk");
    EXPECT_EQ(bbc.address, "http://provider.example:8080/live/u%20s/p%26w%2F1/1477.ts");
    EXPECT_EQ(bbc.catchup.style, CatchupStyle::Xc);
    EXPECT_EQ(bbc.catchup.days, 7);
    EXPECT_EQ(bbc.catchup.correctionMinutes, -60);  // the server's clock is an hour ahead
    EXPECT_FALSE(read.playlist.entries[1].catchup.style);
    EXPECT_EQ(read.hiddenAdult, 1u);
    EXPECT_EQ(read.skipped.at("stream id not a number"), 2u);
    EXPECT_EQ(read.skipped.at("no stream id"), 1u);
    EXPECT_EQ(read.skipped.at("no name"), 1u);
    EXPECT_EQ(read.skipped.at("not an object"), 1u);
    EXPECT_EQ(ParseAccountStreams(streams, "", kAccount, info, true, 0).playlist.entries.size(),
              3u);
    EXPECT_FALSE(ParseAccountStreams("<html>", "", kAccount, info, false, 0).readable);
}

TEST(ProviderAccountTest, NamePrefixesNameTheCountryAndPasswordsNeverShow) {
    const std::tuple<const char*, const char*, const char*> rows[] = {
        {"UK: BBC One", "GB", "BBC One"},     {"DE | ZDF", "DE", "ZDF"},  {"|FR| TF1", "FR", "TF1"},
        {"USA - CNN", "USA", "CNN"},          {"BBC One", "", "BBC One"}, {"UK:", "", "UK:"},
        {"Arte: Kultur", "", "Arte: Kultur"},
    };
    for (const auto& [name, country, rest] : rows) {
        const NamePrefix split = SplitCountryPrefix(name);
        EXPECT_EQ(split.country, country) << name;
        EXPECT_EQ(split.rest, rest) << name;
    }
    EXPECT_EQ(MaskSecret("http://h/live/u/p%26w%2F1/1.ts?password=p&w/1", "p&w/1"),
              "http://h/live/u/***/1.ts?password=***");
    EXPECT_EQ(MaskPasswordParameters("http://h/xmltv.php?username=u&password=s3%26x&a=1 "
                                     "failed; password=y"),
              "http://h/xmltv.php?username=u&password=***&a=1 failed; password=***");
}

TEST(ProviderAccountTest, AChannelKeepsItsIdWhenTheProviderRenamesIt) {
    // One stream (id 7) as two answers of the provider, a day apart.
    const auto streams = [](const char* name, const char* guideId) {
        return std::string(R"([{"name":")") + name + R"(","stream_id":7,"epg_channel_id":")" +
               guideId + R"("},{"name":"Other","stream_id":8}])";
    };
    const struct {
        const char* what;
        std::string before, after;
    } rows[] = {
        {"renamed", streams("Arena Sport", ""), streams("Arena Sport 1", "")},
        {"new guide id", streams("Arena", "arena.uk"), streams("Arena", "arena1.uk")},
    };
    const auto channelIds = [](const std::string& answer) {
        const auto fetch = [&answer](const std::string& address) -> std::optional<std::string> {
            if (address.find("get_live_streams") != std::string::npos)
                return answer;
            if (address.find("action=") != std::string::npos)
                return "[]";
            return R"({"user_info":{"auth":1,"status":"Active"}})";
        };
        const AccountImport imported = ImportAccount(kAccount, {}, fetch);
        std::vector<std::string> ids;
        for (const auto& country : imported.catalogue->Children()) {
            for (const auto& channel : country->Children())
                ids.push_back(country->Name() + "_" + channel->Name());
        }
        return ids;
    };
    for (const auto& row : rows) {
        const std::vector<std::string> before = channelIds(row.before);
        EXPECT_EQ(before.size(), 2u) << row.what;
        EXPECT_EQ(channelIds(row.after), before) << row.what;
    }
}

class AccountSourceTest : public ::testing::Test {
protected:
    AccountSourceTest()
        : server_({LUMORA_TEST_PYTHON, LUMORA_TEST_SOURCE_DIR "/provider_server.py"}) {}
    ProviderAccount Account(const char* user, const char* password = "pw") const {
        return {"http://127.0.0.1:" + std::to_string(server_.Port()), user, password};
    }
    AccountImport Import(const char* user, const char* password = "pw") const {
        return ImportAccount(Account(user, password), {}, QuickOptions());
    }
    ServerProcess server_;
};

TEST_F(AccountSourceTest, EachKindOfAnswerEndsInItsOwnOutcome) {
    ASSERT_GT(server_.Port(), 0);
    using Outcome = AccountImport::Outcome;
    EXPECT_EQ(Import("good", "wrong").outcome, Outcome::Refused);
    EXPECT_EQ(Import("old").outcome, Outcome::Expired);
    EXPECT_EQ(Import("html").outcome, Outcome::NotAnAccount);
    ProviderAccount dead = Account("good");
    dead.server = "http://127.0.0.1:" + std::to_string(UnusedPort());
    EXPECT_EQ(ImportAccount(dead, {}, QuickOptions()).outcome, Outcome::Unreachable);
    const AccountImport mixed = Import("mixed");
    EXPECT_EQ(mixed.outcome, Outcome::Built);
    EXPECT_EQ(mixed.channels, 100u);
    std::size_t skipped = 0;
    for (const auto& [reason, count] : mixed.streams.skipped)
        skipped += count;
    EXPECT_EQ(skipped, 100u);
}

TEST_F(AccountSourceTest, AnAccountBecomesACatalogueWithItsGuideAndArchive) {
    const AccountImport good = Import("good");
    ASSERT_EQ(good.outcome, AccountImport::Outcome::Built);
    EXPECT_EQ(good.channels, 2u);
    EXPECT_EQ(good.streams.hiddenAdult, 1u);
    ASSERT_TRUE(good.catalogue);
    EXPECT_EQ(ToUtf8(good.catalogue->RequireWString(kGuideAddressesAttribute)),
              Account("good").server + "/xmltv.php?username=good&password=pw");
    bool archived = false;
    for (const auto& country : good.catalogue->Children()) {
        for (const auto& channel : country->Children()) {
            if (channel->GetString(kCatchupAttribute, "") == "xc")
                archived = true;
        }
    }
    EXPECT_TRUE(archived);
    const AccountImport hls = Import("hls");
    ASSERT_EQ(hls.outcome, AccountImport::Outcome::Built);

    const AccountImport many = Import("many");
    EXPECT_EQ(many.channels, 50000u);
}

TEST_F(AccountSourceTest, TheDataToolReadsThePasswordFromStandardInputAndNeverShowsIt) {
    ScratchFolder folder;
    const std::string out = folder / "account.lmch";
    const auto run = [&](const char* user, const char* password) {
        const std::string command = std::string("printf '%s\\n' '") + password + "' | " +
                                    LUMORA_DATA_EXE + " import-account " + Account(user).server +
                                    " " + user + " " + out + " 2>&1";
        std::string output;
        FILE* pipe = popen(command.c_str(), "r");
        char buffer[4096];
        for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            output.append(buffer, n);
        const int status = pclose(pipe);
        return std::make_pair(WEXITSTATUS(status), output);
    };
    const auto [refused, refusedText] = run("good", "secret-word");
    EXPECT_EQ(refused, 1);
    EXPECT_NE(refusedText.find("wrong user name or password"), std::string::npos);
    EXPECT_EQ(refusedText.find("secret-word"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(out));

    const auto [built, builtText] = run("good", "pw");
    EXPECT_EQ(built, 0) << builtText;
    EXPECT_NE(builtText.find("channels: 2"), std::string::npos) << builtText;
    EXPECT_NE(builtText.find("adult channels hidden: 1"), std::string::npos);
    EXPECT_EQ(builtText.find("=pw"), std::string::npos);
    struct stat info {};
    ASSERT_EQ(::stat(out.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(AccountSourceTest, AnAccountSourceUpdatesItsCatalogueOnlyWhenItsStreamsChanged) {
    ScratchFolder folder;
    const std::u16string path = folder.File("Channels.lmch");
    UpdateSource source;
    source.account = Account("good");
    source.server = AccountSourceName(*source.account);
    source.cataloguePath = path;
    source.transfer = [](const TransferRequest& request) {
        return FetchUrlReply(kUpdateAgent, request.url, request.conditions, QuickOptions());
    };
    PlaylistFetch first = FetchPlaylist(source, true);
    ASSERT_EQ(first.answer, CheckAnswer::Newer);
    std::unique_ptr<MemoryStream> catalogue =
        BuildPlaylistCatalogue(first, source, std::chrono::system_clock::now());
    ASSERT_TRUE(catalogue);
    ASSERT_EQ(WriteCatalogueFile(*catalogue, path, {}, true), StoreResult::Stored);
    struct stat info {};
    ASSERT_EQ(::stat(ToUtf8(path).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);  // its addresses hold the password

    DocNode written;
    ASSERT_TRUE(written.LoadFromFile(path));
    source.catalogueOrigin = ReadCatalogueOrigin(written);
    source.catalogueVersion = written.Name();
    EXPECT_EQ(source.catalogueOrigin.source, source.server);
    EXPECT_EQ(ToUtf8(source.server).find("pw"), std::string::npos);
    EXPECT_TRUE(IsAccountSourceName(source.server));
    EXPECT_FALSE(IsAccountSourceName(u"http://lists.example/tv.m3u"));
    EXPECT_FALSE(IsAccountSourceName(u"/home/me/list#1.m3u"));
    EXPECT_EQ(FetchPlaylist(source, true).answer, CheckAnswer::NotNewer);

    // A refused account keeps the catalogue and says why.
    source.account->password = "wrong";
    const PlaylistFetch refused = FetchPlaylist(source, true);
    EXPECT_EQ(refused.answer, CheckAnswer::Unreachable);
    EXPECT_EQ(refused.refusal, UpdateOutcome::AccountRefused);
    source.account = Account("old");
    EXPECT_EQ(FetchPlaylist(source, true).refusal, UpdateOutcome::AccountExpired);

    // The password is read on the worker where the settings keep none;
    // with none kept at all the account refuses without asking the server.
    source.account = Account("good", "");
    EXPECT_EQ(FetchPlaylist(source, true).refusal, UpdateOutcome::AccountRefused);
    source.accountPassword = [](const ProviderAccount& account) {
        return account.user == "good" ? std::string("pw") : std::string();
    };
    EXPECT_EQ(FetchPlaylist(source, true).answer, CheckAnswer::NotNewer);
    // Showing the adult channels makes the same answers a new catalogue.
    source.accountShowsAdult = true;
    const PlaylistFetch adult = FetchPlaylist(source, true);
    ASSERT_EQ(adult.answer, CheckAnswer::Newer);
    DocNode shown;
    ASSERT_TRUE(shown.ReadFrom(*adult.body));
    std::size_t channels = 0;
    for (const auto& country : shown.Children())
        channels += country->Children().size();
    EXPECT_EQ(channels, 3u);
}

TEST_F(AccountSourceTest, AnAccountRefusedAtStartIsToldOnceWhenTheWindowIsActive) {
    const struct {
        const char* user;
        const char* password;
        std::string_view message;
    } rows[] = {
        {"old", "pw", kMsgAccountExpired},
        {"good", "wrong", kMsgAccountRefused},
        {"good", "pw", {}},
    };
    for (const auto& row : rows) {
        auto updates = std::make_shared<UpdateState>();
        UpdateSource source;
        source.account = Account(row.user, row.password);
        source.server = AccountSourceName(*source.account);
        source.fetch = [](const std::u16string& url) {
            return FetchUrl(kUpdateAgent, url, QuickOptions());
        };
        StartAutomaticUpdateCheck(true, source, updates).wait();
        EXPECT_TRUE(TakeAccountRefusalAtStart(*updates, false).empty()) << row.user;
        EXPECT_EQ(TakeAccountRefusalAtStart(*updates, true), row.message) << row.user;
        EXPECT_TRUE(TakeAccountRefusalAtStart(*updates, true).empty()) << row.user;
    }
}

}  // namespace
}  // namespace lumora::test
