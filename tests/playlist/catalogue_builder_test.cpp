// Catalogues the program builds from a user's playlist: countries,
// categories in every shipped language, and request headers kept.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "catalogue/catchup_attributes.h"
#include "document/doc_node.h"
#include "document/text_encoding.h"
#include "playlist/catalogue_builder.h"
#include "playlist/m3u_playlist.h"

namespace lumora {
namespace {

std::unique_ptr<DocNode> BuildOwn(const std::string& text) {
    CatalogueBuilder builder(nullptr);
    builder.AddPlaylistWithCountry(ParseM3uText(text), std::string(kOwnPlaylistCode));
    return builder.Build("2026.12.8.1");
}

// Every category's display text in every shipped language maps back to it.
TEST(PlaylistCategories, EveryLanguagesCategoryNamesMapToTheirKey) {
    const std::regex entry("\"cat_([a-z]+)\": \"([^\"]+)\"");
    int checked = 0;
    for (const auto& file :
         std::filesystem::directory_iterator(std::string(LUMORA_SOURCE_DIR) + "/data/languages")) {
        if (file.path().extension() != ".json")
            continue;
        std::ifstream in(file.path());
        std::stringstream text;
        text << in.rdbuf();
        std::string pack = text.str();
        for (std::sregex_iterator it(pack.begin(), pack.end(), entry), end; it != end; ++it) {
            std::string key = (*it)[1];
            std::string name = (*it)[2];
            EXPECT_EQ(CategoryKeyFor({name}), key) << file.path().filename() << ": " << name;
            ++checked;
        }
    }
    EXPECT_EQ(checked, 8 * 9);
}

TEST(PlaylistCategories, GroupWordsMapInAnyCaseWithoutAccents) {
    struct Row {
        const char* group;
        const char* key;
    } rows[] = {
        {"UK | SPORTS HD", "sp"},
        {"Cinéma", "mo"},
        {"NOTICIAS 24h", "n"},
        {"Детские", "k"},
        {"Kids & Cartoons", "k"},
        {"Religious", "r"},
        {"Cooking and Travel", "l"},
        {"Teleshopping", "ad"},
        {"Musique", "mu"},
        {"Rozrywka", "e"},
        {"VIP 4K", "e"},
        {"Wiadomości", "n"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(CategoryKeyFor({row.group}), row.key) << row.group;
}

TEST(PlaylistCountries, FromTheCountryAttributeThenTheIdThenTheListItself) {
    std::unique_ptr<DocNode> root = BuildOwn(
        "#EXTM3U\n"
        "#EXTINF:-1 tvg-country=\"FR;BE\" tvg-id=\"A.de@SD\",A\nhttp://p.example/a\n"
        "#EXTINF:-1 tvg-id=\"B.it@HD\",B\nhttp://p.example/b\n"
        "#EXTINF:-1 group-title=\"News\",C\nhttp://p.example/c\n");
    ASSERT_NE(root->Child("fr"), nullptr);
    EXPECT_NE(root->Child("fr")->Child("Ade"), nullptr);  // named by its whole id
    ASSERT_NE(root->Child("it"), nullptr);
    ASSERT_NE(root->Child(kOwnPlaylistCode), nullptr)
        << "the list's own country, not Malaysia's 'my'";
    const DocNode* c = root->Child(kOwnPlaylistCode)->Child("C");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->GetString("c"), "n");
    EXPECT_EQ(root->Child("my"), nullptr);
}

TEST(PlaylistStreams, RequestHeadersAreKeptOnTheirStreamOnly) {
    std::unique_ptr<DocNode> root = BuildOwn(
        "#EXTINF:-1,Same "
        "(1080p)\n#EXTVLCOPT:http-user-agent=UA/1\nhttp://p.example/hd|Referer=https://r.example/\n"
        "#EXTINF:-1,Same (360p)\nhttp://p.example/sd\n");
    const DocNode* channel = root->Child(kOwnPlaylistCode)->Child("Same");
    ASSERT_NE(channel, nullptr);
    const DocNode* first = channel->Child("0");
    const DocNode* second = channel->Child("1");
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->GetWString("u"), u"http://p.example/hd");
    EXPECT_EQ(first->GetWString("ua"), u"UA/1");
    EXPECT_EQ(first->GetWString("ref"), u"https://r.example/");
    EXPECT_EQ(second->FindAttribute("ua"), nullptr);
    EXPECT_EQ(second->FindAttribute("ref"), nullptr);
}

// Ids come from the entries alone, so an unchanged entry keeps its id (and
// the user's favourite mark) from one fetch to the next.
TEST(PlaylistStreams, ChannelIdsDoNotDependOnTheOtherEntries) {
    const std::string a = "#EXTINF:-1,Alpha\nhttp://p.example/a\n";
    const std::string b = "#EXTINF:-1,Beta One\nhttp://p.example/b\n";
    std::unique_ptr<DocNode> before = BuildOwn(a + b);
    std::unique_ptr<DocNode> after = BuildOwn(b + "#EXTINF:-1,Gamma\nhttp://p.example/g\n" + a);
    for (const char* name : {"Alpha", "BetaOne"}) {
        EXPECT_NE(before->Child(kOwnPlaylistCode)->Child(name), nullptr) << name;
        EXPECT_NE(after->Child(kOwnPlaylistCode)->Child(name), nullptr) << name;
    }
}

TEST(PlaylistGuides, TheCatalogueKeepsGuidesAndWhatMatchingNeeds) {
    const std::string longId(300, 'L');
    CatalogueBuilder builder(nullptr);
    builder.AddPlaylistWithCountry(
        ParseM3uText("#EXTM3U url-tvg=\"http://g.example/a.xml,http://g.example/b.xml\" "
                     "tvg-shift=1\n"
                     "#EXTINF:-1 tvg-id=\"One.de@HD\" tvg-name=\"One_HD\" tvg-shift=-1,One\n"
                     "http://p.example/1\n"
                     "#EXTINF:-1 tvg-id=\"Two.de\",Two\nhttp://p.example/2\n"),
        std::string(kOwnPlaylistCode));
    builder.AddPlaylistWithCountry(
        ParseM3uText("#EXTM3U x-tvg-url=\"http://g.example/b.xml,http://g.example/c.xml\"\n"
                     "#EXTINF:-1,Three\nhttp://p.example/3\n"
                     "#EXTINF:-1 tvg-id=\"" +
                     longId + "\",Long\nhttp://p.example/4\n"),
        std::string(kOwnPlaylistCode));
    std::unique_ptr<DocNode> root = builder.Build("2026.12.8.1");
    EXPECT_EQ(root->GetWString("url-tvg"),
              u"http://g.example/a.xml,http://g.example/b.xml,http://g.example/c.xml");

    const struct {
        const char* country;
        std::string node;
        std::u16string tvgId;  // empty: no attribute
        std::u16string tvgName;
        std::optional<std::int32_t> shift;
    } rows[] = {
        {"de", "One", u"One.de@HD", u"One_HD", {}},  // +1 h and -1 h: no shift
        {"de", "Two", u"Two.de", u"", 60},
        {"own", "Three", u"", u"", {}},
        {"own", std::string(48, 'L'), u"", u"", {}},  // an id too long to match anything
    };
    for (const auto& row : rows) {
        const DocNode* channel = root->Child(row.country)->Child(row.node);
        ASSERT_NE(channel, nullptr) << row.node;
        EXPECT_EQ(channel->GetWString("tvg-id"), row.tvgId) << row.node;
        EXPECT_EQ(channel->FindAttribute("tvg-id") != nullptr, !row.tvgId.empty()) << row.node;
        EXPECT_EQ(channel->GetWString("tvg-name"), row.tvgName) << row.node;
        EXPECT_EQ(channel->FindAttribute("tvg-name") != nullptr, !row.tvgName.empty()) << row.node;
        EXPECT_EQ(channel->FindAttribute("tvg-shift") != nullptr, row.shift.has_value())
            << row.node;
        EXPECT_EQ(channel->GetInt("tvg-shift", 0), row.shift.value_or(0)) << row.node;
    }
}

TEST(PlaylistCatchup, TheCatalogueKeepsEachChannelsCatchupForLaterReading) {
    std::unique_ptr<DocNode> root = BuildOwn(
        "#EXTM3U catchup=\"append\" catchup-source=\"&cutv={Y}\"\n"
        "#EXTINF:-1 tvg-id=\"One.de\" catchup-days=3 catchup-correction=-1,One\n"
        "http://p.example/1\n"
        "#EXTINF:-1 tvg-id=\"One.de\" catchup=shift,One\nhttp://p.example/1b\n"
        "#EXTINF:-1 tvg-id=\"Two.de\" catchup=none,Two\nhttp://p.example/2\n"
        "#EXTINF:-1 tvg-id=\"Three.de\" catchup=xc catchup-source=\"\",Three\n"
        "http://p.example/3\n");
    const DocNode* one = root->Child("de")->Child("One");
    const DocNode* two = root->Child("de")->Child("Two");
    const DocNode* three = root->Child("de")->Child("Three");
    ASSERT_TRUE(one && two && three);
    // The first entry of a channel gives its catch-up; the style's name is
    // the catalogue's, the correction in minutes.
    EXPECT_EQ(one->GetString("catchup"), "append");
    EXPECT_EQ(one->GetWString("catchup-source"), u"&cutv={Y}");
    EXPECT_EQ(one->GetInt("catchup-days", 0), 3);
    EXPECT_EQ(one->GetInt("catchup-correction", 0), -60);
    for (const char* name : {"catchup", "catchup-source", "catchup-days", "catchup-correction"})
        EXPECT_EQ(two->FindAttribute(name), nullptr) << name;
    EXPECT_EQ(three->GetString("catchup"), "xc");
    EXPECT_EQ(three->FindAttribute("catchup-source"), nullptr);
    EXPECT_EQ(three->FindAttribute("catchup-days"), nullptr);

    const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                       ("catchup-" + std::to_string(::getpid()) + ".lmch");
    ASSERT_TRUE(root->SaveToFile(FromUtf8(file.string())));
    EXPECT_EQ(ReadChannelCatchup(FromUtf8(file.string()), "de_One"),
              (CatchupAttributes{CatchupStyle::Append, "&cutv={Y}", 3, -60}));
    EXPECT_EQ(ReadChannelCatchup(FromUtf8(file.string()), "de_Two"), CatchupAttributes{});
    EXPECT_EQ(ReadChannelCatchup(FromUtf8(file.string()), "de_Four"), std::nullopt);
    std::filesystem::remove(file);
}

}  // namespace
}  // namespace lumora
