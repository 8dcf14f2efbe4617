// The playlist importer: messy playlists in, a catalogue document out.

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "document/doc_node.h"
#include "document/text_encoding.h"
#include "playlist/catalogue_builder.h"
#include "playlist/channel_database.h"
#include "playlist/m3u_playlist.h"
#include "tests/tools/data_verb_runner.h"

namespace lumora::tools {
namespace {

using verbtest::LoadDocument;
using verbtest::ReadBytes;
using verbtest::RunDataTool;
using verbtest::ScratchFolder;
using verbtest::WriteBytes;

// A Hungarian playlist as the public lists write them (CRLF, a byte order
// mark, feeds, tags, player options) with every kind of broken entry.
const std::string kHungarianPlaylist =
    "\xEF\xBB\xBF#EXTM3U x-tvg-url=\"http://guide.example/\"\r\n"
    "#EXTINF:-1 tvg-id=\"Alpha.hu@SD\",Alpha TV (720p)\r\n"
    "http://a.example/sd.m3u8\r\n"
    "#EXTINF:-1 tvg-id=\"Alpha.hu@HD\",Alpha TV HD (1080p) [Not 24/7]\r\n"
    "#EXTVLCOPT:http-user-agent=Mozilla/5.0\r\n"
    "#EXTVLCOPT:http-referrer=http://a.example/\r\n"
    "http://a.example/hd.m3u8\r\n"
    "#EXTINF:-1 tvg-id=\"Alpha.hu\",Alpha TV\r\n"
    "http://a.example/plain.m3u8\r\n"
    "#EXTINF:-1 tvg-id=\"Alpha.hu@SD\",Alpha TV (720p)\r\n"
    "http://a.example/sd2.m3u8\r\n"
    "\r\n"
    "#EXTINF:-1 group-title=\"News;Music\",Local News (576p) [Geo-blocked]\r\n"
    "http://local.example/live\r\n"
    "#EXTINF:-1 tvg-id=\"Beta.hu@SD\",Beta\r\n"  // no address: the next line is an EXTINF
    "#EXTINF:-1 tvg-id=\"Gamma.hu\" group-title=\"Music\",Gamma\r\n"
    "http://gamma.example/x\r\n"
    "http://orphan.example/no-extinf\r\n"  // an address without an EXTINF
    "#EXTINF:-1 tvg-id=\"Delta.hu\",Delta\r\n"
    "not a url\r\n"
    "#EXTINF:-1 tvg-id=\"Adult.hu\",Adult\r\n"
    "http://adult.example/\r\n"
    "#EXTINF:-1 tvg-id=\"Other.de@SD\" group-title=\"Kids\",Other (480p)\r\n"
    "http://other.example/\r\n"
    "#EXTINF:-1 tvg-id=\"World.int\",World\r\n"
    "http://world.example/\r\n"
    "#EXTINF:-1 tvg-id=\"Epsilon.hu\",Epsilon\r\n";  // an EXTINF at the very end

// LF endings; a file name that is not a country.
const std::string kMiscPlaylist =
    "#EXTM3U\n"
    "#EXTINF:-1,Nameless Channel (360p)\n"
    "http://nameless.example/\n"
    "#EXTINF:-1 tvg-id=\"NoCountry\",Plain\n"
    "http://plain.example/\n";

const std::string kPlutoPlaylist =
    "#EXTM3U\n"
    "#EXTINF:-1 tvg-id=\"\",Pluto Movies\n"
    "http://pluto.example/movies\n";

// Quoted fields with commas and a line break, as the real database has.
const std::string kDatabase =
    "id,name,alt_names,network,owners,country,categories,is_nsfw,launched,closed,replaced_by,"
    "website\n"
    "Alpha.hu,Alpha TV,\"Alpha, the TV\",,,HU,general;news,FALSE,,,,\n"
    "Gamma.hu,Gamma,\"multi\nline \"\"quoted\"\"\",,,HU,sports,FALSE,,,,\n"
    "Adult.hu,Adult,,,,HU,xxx,TRUE,,,,\n";

struct StreamView {
    int bitRate;
    std::string address;
};

struct ChannelView {
    std::string name;
    std::string pText;
    std::string category;
    std::vector<StreamView> streams;
};

// country_node -> channel, read back from the written file.
std::map<std::string, ChannelView> ReadCatalogue(const std::string& path,
                                                 std::string* version = nullptr) {
    DocNode root;
    EXPECT_TRUE(LoadDocument(path, root)) << path;
    if (version)
        *version = root.Name();
    std::map<std::string, ChannelView> channels;
    for (const auto& country : root.Children()) {
        for (const auto& node : country->Children()) {
            const DocAttribute* name = node->FindAttribute("n");
            const DocAttribute* pText = node->FindAttribute("p");
            const DocAttribute* category = node->FindAttribute("c");
            EXPECT_TRUE(name && name->Type() == ValueType::WString) << node->Name();
            EXPECT_TRUE(pText && pText->Type() == ValueType::String) << node->Name();
            EXPECT_TRUE(category && category->Type() == ValueType::String) << node->Name();
            ChannelView view{
                ToUtf8(node->GetWString("n")), node->GetString("p"), node->GetString("c"), {}};
            for (int number = 0;; ++number) {
                const DocNode* stream = node->Child(std::to_string(number));
                if (!stream)
                    break;
                const DocAttribute* bitRate = stream->FindAttribute("b");
                EXPECT_TRUE(bitRate && bitRate->Type() == ValueType::Int);
                view.streams.push_back({stream->GetInt("b", -1), ToUtf8(stream->GetWString("u"))});
            }
            EXPECT_EQ(view.streams.size(), node->Children().size()) << "stream numbers have gaps";
            channels[country->Name() + "_" + node->Name()] = std::move(view);
        }
    }
    return channels;
}

std::vector<std::string> Addresses(const ChannelView& channel) {
    std::vector<std::string> addresses;
    for (const StreamView& stream : channel.streams)
        addresses.push_back(stream.address);
    return addresses;
}

class ImportM3uTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteBytes(scratch / "hu.m3u", kHungarianPlaylist);
        WriteBytes(scratch / "zz_misc.m3u", kMiscPlaylist);
        WriteBytes(scratch / "us_pluto.m3u", kPlutoPlaylist);
        WriteBytes(scratch / "channels.csv", kDatabase);
    }

    verbtest::ToolResult Import(const std::vector<std::string>& extra) {
        std::vector<std::string> args = {"import-m3u", "--version", "2026.8.8.1"};
        args.insert(args.end(), extra.begin(), extra.end());
        return RunDataTool(scratch, args);
    }

    ScratchFolder scratch;
};

TEST_F(ImportM3uTest, MessyPlaylistsBecomeOneCleanCatalogue) {
    std::string out = scratch / "Channels.lmch";
    verbtest::ToolResult result =
        Import({"--channels", scratch / "channels.csv", out, scratch / "hu.m3u",
                scratch / "zz_misc.m3u", scratch / "us_pluto.m3u"});
    ASSERT_EQ(result.exitCode, 0) << result.errors;
    EXPECT_NE(
        result.errors.find("imported 8 channels (11 streams) in 4 countries; skipped 4 malformed "
                           "entries; left out 1 NSFW"),
        std::string::npos)
        << result.errors;

    std::string version;
    std::map<std::string, ChannelView> channels = ReadCatalogue(out, &version);
    EXPECT_EQ(version, "2026.8.8.1");
    std::set<std::string> ids;
    for (const auto& entry : channels)
        ids.insert(entry.first);
    EXPECT_EQ(ids, (std::set<std::string>{"de_Other", "hu_Alpha", "hu_Gamma", "hu_LocalNews",
                                          "int_NamelessChannel", "int_NoCountry", "int_World",
                                          "us_PlutoMovies"}));

    // Feeds merged, highest resolution first, then playlist order; tags gone.
    const ChannelView& alpha = channels["hu_Alpha"];
    EXPECT_EQ(alpha.name, "Alpha TV");
    EXPECT_EQ(alpha.pText, "Alpha.hu@SD");
    EXPECT_EQ(alpha.category, "n");  // the database's "general;news": the first that maps
    EXPECT_EQ(Addresses(alpha), (std::vector<std::string>{
                                    "http://a.example/hd.m3u8", "http://a.example/sd.m3u8",
                                    "http://a.example/sd2.m3u8", "http://a.example/plain.m3u8"}));
    for (const StreamView& stream : alpha.streams)
        EXPECT_EQ(stream.bitRate, 0);

    const ChannelView& local = channels["hu_LocalNews"];
    EXPECT_EQ(local.name, "Local News");
    EXPECT_EQ(local.pText, "");
    EXPECT_EQ(local.category, "n");                  // group-title "News;Music"
    EXPECT_EQ(channels["hu_Gamma"].category, "sp");  // the database wins over the group-title
    EXPECT_EQ(channels["de_Other"].category, "k");
    EXPECT_EQ(channels["de_Other"].name, "Other");
    EXPECT_EQ(channels["int_World"].category, "e");
    EXPECT_EQ(channels["int_NamelessChannel"].name, "Nameless Channel");
    EXPECT_EQ(channels["us_PlutoMovies"].name, "Pluto Movies");
}

TEST_F(ImportM3uTest, WithoutDatabaseGroupTitlesDecideAndNothingIsLeftOut) {
    std::string out = scratch / "Channels.lmch";
    verbtest::ToolResult result = Import({out, scratch / "hu.m3u"});
    ASSERT_EQ(result.exitCode, 0) << result.errors;
    EXPECT_NE(result.errors.find("left out 0 NSFW"), std::string::npos) << result.errors;
    std::map<std::string, ChannelView> channels = ReadCatalogue(out);
    EXPECT_EQ(channels["hu_Gamma"].category, "mu");
    EXPECT_EQ(channels["hu_Alpha"].category, "e");
    EXPECT_EQ(channels.count("hu_Adult"), 1u);
}

TEST_F(ImportM3uTest, NodeNamesAreUniqueAndDoNotDependOnInputOrder) {
    const std::string entries[] = {
        "#EXTINF:-1 tvg-id=\"Canal-.fr\",Canal dash\nhttp://2.example/\n",
        "#EXTINF:-1 tvg-id=\"Canal.fr\",Canal\nhttp://1.example/\n",
        "#EXTINF:-1 tvg-id=\"Canal@Plus1\",Canal plus one\nhttp://7.example/\n",
        "#EXTINF:-1 tvg-id=\"C+.fr\",C plus\nhttp://3.example/\n",
        "#EXTINF:-1 tvg-id=\"C!.fr\",C bang\nhttp://4.example/\n",
        "#EXTINF:-1,\xE2\x98\x85\xE2\x98\x85\nhttp://5.example/\n",
        "#EXTINF:-1,\xE2\x98\x86\nhttp://6.example/\n",
    };
    std::string forward = "#EXTM3U\n", backward = "#EXTM3U\n";
    for (const std::string& entry : entries)
        forward += entry;
    for (auto it = std::rbegin(entries); it != std::rend(entries); ++it)
        backward += *it;
    WriteBytes(scratch / "a/fr.m3u", forward);
    WriteBytes(scratch / "b/fr.m3u", backward);
    ASSERT_EQ(Import({scratch / "one.lmch", scratch / "a/fr.m3u"}).exitCode, 0);
    ASSERT_EQ(Import({scratch / "two.lmch", scratch / "b/fr.m3u"}).exitCode, 0);

    std::map<std::string, ChannelView> one = ReadCatalogue(scratch / "one.lmch");
    std::map<std::string, ChannelView> two = ReadCatalogue(scratch / "two.lmch");
    ASSERT_EQ(one.size(), 7u);
    std::map<std::string, std::string> nameOfId, nameOfIdAgain;
    for (const auto& [id, channel] : one)
        nameOfId[id] = channel.name;
    for (const auto& [id, channel] : two)
        nameOfIdAgain[id] = channel.name;
    EXPECT_EQ(nameOfId, nameOfIdAgain);
    EXPECT_EQ(nameOfId["fr_Canal"], "Canal");  // a proper tvg-id that already is the name keeps it
    EXPECT_EQ(nameOfId["fr_C"], "C bang");     // else the smallest key
    for (const auto& [id, name] : nameOfId) {
        if (name == "Canal dash" || name == "Canal plus one" || name == "C plus") {
            EXPECT_EQ(id.find(name == "C plus" ? "fr_C_" : "fr_Canal_"), 0u) << id;
        } else if (name != "Canal" && name != "C bang") {
            EXPECT_EQ(id.find("fr_ch_"), 0u) << id;  // nothing printable to name it by
        }
    }
}

TEST_F(ImportM3uTest, HostileInputIsSkippedWithBoundedEffort) {
    std::string hostile = "#EXTM3U\n#EXTINF:-1 tvg-id=\"Huge.hu\",Huge\nhttp://x.example/" +
                          std::string(3 * 1024 * 1024, 'x') + "\n";
    hostile += "#EXTINF:-1 tvg-id=\"" + std::string(200 * 1024, 'y') +
               ".hu\",Long\nhttp://long.example/\n";
    std::uint32_t seed = 12345;
    for (int i = 0; i < 64 * 1024; ++i) {
        seed = seed * 1103515245u + 12345u;
        hostile += char(seed >> 24);
    }
    hostile += "\n#EXTINF:-1 tvg-id=\"Fine.hu\",Fine\nhttp://fine.example/\n";
    // A name of nothing but open brackets, the worst case for taking tags out.
    hostile += "#EXTINF:-1 tvg-id=\"Brackets.hu\"," + std::string(30000, '(') +
               std::string(30000, '[') + ")]\nhttp://brackets.example/\n";
    WriteBytes(scratch / "hu.m3u", hostile);

    std::string out = scratch / "Channels.lmch";
    verbtest::ToolResult result = Import({out, scratch / "hu.m3u"});
    ASSERT_EQ(result.exitCode, 0) << result.errors;
    EXPECT_NE(result.errors.find("imported 2 channels (2 streams)"), std::string::npos)
        << result.errors;
    std::map<std::string, ChannelView> channels = ReadCatalogue(out);
    ASSERT_EQ(channels.size(), 2u);
    EXPECT_EQ(channels.count("hu_Fine"), 1u);
    EXPECT_GT(channels["hu_Brackets"].name.size(), 59000u);  // only a short tag at the end goes
}

TEST_F(ImportM3uTest, FailuresLeaveTheOldCatalogueUntouched) {
    std::string out = scratch / "Channels.lmch";
    WriteBytes(out, "old catalogue");
    const char junk[] = "\x00\x01\x02garbage\nmore garbage\n";
    WriteBytes(scratch / "junk.m3u", std::string(junk, sizeof junk - 1));

    verbtest::ToolResult noChannels = Import({out, scratch / "junk.m3u"});
    EXPECT_EQ(noChannels.exitCode, 1);
    EXPECT_NE(noChannels.errors.find("nothing written"), std::string::npos) << noChannels.errors;

    verbtest::ToolResult missingInput = Import({out, scratch / "hu.m3u", scratch / "missing.m3u"});
    EXPECT_EQ(missingInput.exitCode, 1);
    EXPECT_NE(missingInput.errors.find("missing.m3u"), std::string::npos) << missingInput.errors;

    WriteBytes(scratch / "broken.csv", "id,name\nAlpha.hu,Alpha\n");
    verbtest::ToolResult badDatabase =
        Import({"--channels", scratch / "broken.csv", out, scratch / "hu.m3u"});
    EXPECT_EQ(badDatabase.exitCode, 1);
    EXPECT_NE(badDatabase.errors.find("broken.csv"), std::string::npos) << badDatabase.errors;

    EXPECT_EQ(RunDataTool(scratch, {"import-m3u", out, scratch / "hu.m3u"}).exitCode,
              2);                          // no --version
    EXPECT_EQ(Import({out}).exitCode, 2);  // no playlist
    EXPECT_EQ(Import({"--colour", "red", out, scratch / "hu.m3u"}).exitCode, 2);

    EXPECT_EQ(ReadBytes(out), "old catalogue");
    EXPECT_FALSE(std::filesystem::exists(out + ".tmp"));
}

// The catalogue the build ships, made from the project's own copy of the
// playlists: big, clean, and with the test card that needs no network.
TEST(ShippedCatalogue, HoldsOverTenThousandPlayableChannelsAndTheTestCard) {
    ScratchFolder scratch;
    const std::filesystem::path data =
        std::filesystem::path(LUMORA_SOURCE_DIR) / "data" / "channels";
    std::vector<std::string> args = {"import-m3u",
                                     "--version",
                                     "2026.8.8.1",
                                     "--channels",
                                     (data / "channels.csv").string(),
                                     scratch / "Channels.lmch"};
    std::vector<std::string> playlists;
    for (const auto& file : std::filesystem::directory_iterator(data / "streams"))
        playlists.push_back(file.path().string());
    std::sort(playlists.begin(), playlists.end());
    args.insert(args.end(), playlists.begin(), playlists.end());
    verbtest::ToolResult result = RunDataTool(scratch, args);
    ASSERT_EQ(result.exitCode, 0) << result.errors;

    std::map<std::string, ChannelView> channels = ReadCatalogue(scratch / "Channels.lmch");
    EXPECT_GT(channels.size(), 10000u);
    const std::set<std::string> categories = {"l", "mu", "n", "r", "sp", "e", "mo", "k", "ad"};
    for (const auto& [id, channel] : channels) {
        ASSERT_FALSE(channel.streams.empty()) << id;
        ASSERT_TRUE(categories.count(channel.category)) << id;
        ASSERT_FALSE(channel.name.empty()) << id;
        ASSERT_TRUE(IsStreamAddress(channel.streams.front().address)) << id;
    }
    ASSERT_EQ(channels.count("int_TestCard"), 1u);
    const ChannelView& testCard = channels["int_TestCard"];
    EXPECT_EQ(testCard.name, "Lumora Test Card");
    EXPECT_EQ(Addresses(testCard),
              std::vector<std::string>{"av://lavfi:testsrc2=size=640x360:rate=25"});
}

// The pieces the importer is made of.

TEST(M3uPieces, DisplayNamesLoseResolutionAndBracketTags) {
    struct Row {
        const char* raw;
        const char* name;
        int resolution;
    };
    const Row rows[] = {
        {"Alpe d'Huez TV (720p) [Not 24/7]", "Alpe d'Huez TV", 720},
        {"BBC One (1080i)", "BBC One", 1080},
        {"Canal 24 Horas [Geo-blocked] (360p)", "Canal 24 Horas", 360},
        {"TV5 (Asia) (480p)", "TV5 (Asia)", 480},
        {"  Spaced    Out  ", "Spaced Out", 0},
        {"Open (bracket", "Open (bracket", 0},
        {"[Only tags]", "", 0},
        {"Radio (FM)", "Radio (FM)", 0},
        {"Canal+ (Spain)(720p)", "Canal+ (Spain)", 720},
        {"TV5(Asia)", "TV5(Asia)", 0},
        {"News[HD](1080p)", "News", 1080},
        {"Left [x] Right (240p) (576p)", "Left Right", 576},
    };
    for (const Row& row : rows) {
        CleanName clean = CleanDisplayName(row.raw);
        EXPECT_EQ(clean.name, row.name) << row.raw;
        EXPECT_EQ(clean.resolution, row.resolution) << row.raw;
    }
}

TEST(M3uPieces, ExtinfAttributesAndNamesAreRead) {
    std::optional<ExtinfFields> fields = ParseExtinfLine(
        "#EXTINF:-1 tvg-logo=\"http://l/x,y.png\" tvg-id=\"A.hu@SD\" group-title=\"News\",Name, "
        "with comma");
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->tvgId, "A.hu@SD");
    EXPECT_EQ(fields->groupTitle, "News");
    EXPECT_EQ(fields->displayName, "Name, with comma");
    EXPECT_FALSE(ParseExtinfLine("#EXTINF:-1 tvg-id=\"A.hu\" no comma at all"));
    const char withNul[] = "#EXTINF:-1,Nul\0here";
    EXPECT_FALSE(ParseExtinfLine(std::string(withNul, sizeof withNul - 1)));
}

TEST(M3uPieces, OnlyUrlsAreStreamAddresses) {
    EXPECT_TRUE(IsStreamAddress("https://a.example/live.m3u8?x=1"));
    EXPECT_TRUE(IsStreamAddress("rtmp://a.example/live"));
    EXPECT_TRUE(IsStreamAddress("av://lavfi:testsrc2=size=640x360:rate=25"));
    EXPECT_FALSE(IsStreamAddress("not a url"));
    EXPECT_FALSE(IsStreamAddress("://nothing.example/"));
    EXPECT_FALSE(IsStreamAddress("http://"));
    EXPECT_FALSE(IsStreamAddress("http://a.example/with space"));
    EXPECT_FALSE(IsStreamAddress("1http://a.example/"));
    EXPECT_FALSE(IsStreamAddress("http://a.example/\xFF\xFE"));
}

TEST(M3uPieces, PlaylistFileNamesGiveCountries) {
    EXPECT_EQ(CountryOfPlaylistName("hu.m3u"), "hu");
    EXPECT_EQ(CountryOfPlaylistName("/some/where/us_pluto.m3u"), "us");
    EXPECT_EQ(CountryOfPlaylistName("uk_bbc.m3u"), "uk");
    EXPECT_EQ(CountryOfPlaylistName("ES_45.95.78.m3u"), "es");
    EXPECT_EQ(CountryOfPlaylistName("india.m3u"), "");  // not "in"
    EXPECT_EQ(CountryOfPlaylistName("zz_testcard.m3u"), "");
    EXPECT_EQ(CountryOfPlaylistName("x"), "");
}

TEST(M3uPieces, CategoriesMapByTheFirstThatMaps) {
    EXPECT_EQ(CategoryKeyFor({"general", "news"}), "n");
    EXPECT_EQ(CategoryKeyFor({"Outdoor"}), "sp");
    EXPECT_EQ(CategoryKeyFor({"classic", "music"}), "mo");
    EXPECT_EQ(CategoryKeyFor({"animation"}), "k");
    EXPECT_EQ(CategoryKeyFor({"shop"}), "ad");
    EXPECT_EQ(CategoryKeyFor({"relax"}), "l");
    EXPECT_EQ(CategoryKeyFor({"religious"}), "r");
    EXPECT_EQ(CategoryKeyFor({"general", "weather"}), "e");
    EXPECT_EQ(CategoryKeyFor({}), "e");
    EXPECT_EQ(SplitGroupTitle(" News ; ;Music"), (std::vector<std::string>{"News", "Music"}));
}

TEST(M3uPieces, DatabaseCsvHonoursQuotesAndFindsColumnsByName) {
    ChannelDatabase database;
    std::string error;
    ASSERT_TRUE(database.Parse(
        "is_nsfw,categories,id\r\nTRUE,\"xxx\",\"A,b.hu\"\r\nFALSE,\"news;\n\"\"x\"\"\",B.hu\r\n",
        error))
        << error;
    ASSERT_EQ(database.Size(), 2u);
    ASSERT_TRUE(database.Find("A,b.hu"));
    EXPECT_TRUE(database.Find("A,b.hu")->nsfw);
    ASSERT_TRUE(database.Find("B.hu"));
    EXPECT_EQ(database.Find("B.hu")->categories, (std::vector<std::string>{"news", "\n\"x\""}));

    EXPECT_FALSE(database.Parse("id,name\nA.hu,A\n", error));
    EXPECT_NE(error.find("categories"), std::string::npos);
    EXPECT_FALSE(database.Parse("id,categories,is_nsfw\nA.hu,\"never closed,FALSE\n", error));
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;
}

}  // namespace
}  // namespace lumora::tools
