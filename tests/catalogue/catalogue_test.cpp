#include "catalogue/catalogue.h"

#include <fstream>
#include <iterator>
#include <thread>
#include <utility>

#include "catalogue/channel_views.h"
#include "catalogue/settings_format.h"
#include "catalogue_test_support.h"

namespace lumora {
namespace {

using test::ChannelSpec;
using test::CountrySpec;
using test::Ids;
using test::LanguageSpec;

class CatalogueTest : public test::CatalogueTestBase {
protected:
    std::u16string cataloguePath = folder.File("Channels.lmch");
    std::u16string settingsPath = folder.File("Settings.cfg");
    std::u16string languagesPath = folder.File("Languages.lngp");

    void UseLanguage(std::vector<std::pair<std::string, std::u16string>> texts) {
        test::WriteLanguagePack(languagesPath,
                                {{0, LanguageSpec{u"English", u"en", std::move(texts)}}});
        LoadLanguages(languagesPath);
    }

    static ChannelSpec Plain(std::string node, std::u16string name, std::string category = "n") {
        std::u16string address = u"http://x/" + FromUtf8(node);
        return {std::move(node), std::move(name), std::move(category), {{0, 500, address}}};
    }

    // Two countries, a few channels with one or more streams.
    void WriteSmallCatalogue() {
        test::WriteCatalogue(cataloguePath, "2024.1",
                             {{"de",
                               {{"ard",
                                 u"Das Erste",
                                 "n",
                                 {{0, 800, u"http://de/ard"}, {1, 1500, u"http://de/ard-hd"}}},
                                Plain("zdf", u"ZDF", "e")}},
                              {"fr", {Plain("tf1", u"TF1", "e")}}});
    }
};

TEST_F(CatalogueTest, BuildsCountriesChannelsAndStreams) {
    UseLanguage({{"c_de", u"Germany"}, {"cat_n", u"News"}, {"str_kb", u"kb"}});
    WriteSmallCatalogue();
    Catalogue catalogue;
    ASSERT_TRUE(catalogue.LoadCatalogue(cataloguePath));
    EXPECT_EQ(TheCatalogue(), &catalogue);
    EXPECT_EQ(catalogue.Version(), "2024.1");
    EXPECT_EQ(catalogue.Path(), cataloguePath);
    ASSERT_EQ(catalogue.Categories().size(), 9u);
    EXPECT_EQ(catalogue.FindCategory("n")->displayName, u"News");
    EXPECT_EQ(catalogue.FindCategory("mo")->displayName, u"mo");  // no "cat_mo" text: the key
    EXPECT_EQ(catalogue.FindCategory("x"), nullptr);

    ASSERT_EQ(catalogue.Countries().size(), 2u);
    EXPECT_EQ(catalogue.Countries().at("de")->displayName, u"Germany");
    EXPECT_EQ(catalogue.Countries().at("fr")->displayName, u"fr");  // no "c_fr" text: the code

    Channel* ard = catalogue.FindChannel("de_ard");
    ASSERT_NE(ard, nullptr);
    EXPECT_EQ(ard->country, catalogue.Countries().at("de").get());
    EXPECT_EQ(ard->category, catalogue.FindCategory("n"));
    EXPECT_EQ(ard->name, u"Das Erste");
    EXPECT_EQ(ard->pText, "p-ard");
    ASSERT_EQ(ard->streams.size(), 2u);
    EXPECT_EQ(ard->streams[1].bitRate, 1500);
    EXPECT_EQ(ard->streams[1].address, u"http://de/ard-hd");
    EXPECT_EQ(SelectedStream(*ard), &ard->streams[0]);
    EXPECT_EQ(FullTitle(*ard), u"Germany Das Erste");
    EXPECT_EQ(ard->subtitle, u"Germany (800kb)");
    EXPECT_EQ(AllChannels().size(), 3u);
    EXPECT_EQ(catalogue.CurrentChannel(), nullptr);
}

TEST_F(CatalogueTest, ALanguageTextOverridesTheChannelsOwnName) {
    UseLanguage({{"c_de_zdf", u"Zweites"}});
    WriteSmallCatalogue();
    Catalogue catalogue;
    catalogue.LoadCatalogue(cataloguePath);
    EXPECT_EQ(catalogue.FindChannel("de_zdf")->name, u"Zweites");
    EXPECT_EQ(FullTitle(*catalogue.FindChannel("de_zdf")), u"de Zweites");
    EXPECT_EQ(catalogue.FindChannel("de_ard")->name, u"Das Erste");
}

TEST_F(CatalogueTest, NamesAreShownWithoutHiddenControls) {
    UseLanguage({{"c_xx", u"\u202ENation\u202C"}});
    test::WriteCatalogue(cataloguePath, "1",
                         {{"xx", {Plain("evil", u"\u202Eevil.exe\u202C\nTV")}}});
    Catalogue catalogue;
    ASSERT_TRUE(catalogue.LoadCatalogue(cataloguePath));
    EXPECT_EQ(catalogue.Countries().at("xx")->displayName, u"Nation");
    const Channel* channel = catalogue.FindChannel("xx_evil");
    ASSERT_NE(channel, nullptr);
    EXPECT_EQ(channel->name, u"evil.exe TV");
    EXPECT_EQ(FullTitle(*channel), u"Nation evil.exe TV");
}

TEST_F(CatalogueTest, StreamNumberingStopsAtTheFirstGap) {
    test::WriteCatalogue(
        cataloguePath, "v",
        {{"it", {{"rai", u"Rai", "n", {{0, 1, u"a"}, {1, 2, u"b"}, {3, 4, u"d"}}}}}});
    Catalogue catalogue;
    catalogue.LoadCatalogue(cataloguePath);
    const Channel* rai = catalogue.FindChannel("it_rai");
    ASSERT_EQ(rai->streams.size(), 2u);
    EXPECT_EQ(rai->streams[1].address, u"b");
}

TEST_F(CatalogueTest, ChannelIdsJoinCountryCodeAndNodeName) {
    test::WriteCatalogue(cataloguePath, "v",
                         {{"X", {Plain("N", u"One")}}, {"Z", {Plain("N", u"Two")}}});
    Catalogue catalogue;
    catalogue.LoadCatalogue(cataloguePath);
    EXPECT_EQ(catalogue.FindChannel("X_N")->name, u"One");
    EXPECT_EQ(catalogue.FindChannel("Z_N")->name, u"Two");
    EXPECT_EQ(catalogue.FindChannel("Y_N"), nullptr);
    EXPECT_EQ(catalogue.FindChannel("X_"), nullptr);
    EXPECT_EQ(catalogue.FindChannel("X"), nullptr);
    EXPECT_EQ(Ids(AllChannels()), (std::vector<std::string>{"X_N", "Z_N"}));
}

TEST_F(CatalogueTest, FindChannelSearchesCountriesInCodeOrder) {
    // "a" + "b_c" and "a_b" + "c" make the same id.
    test::WriteCatalogue(cataloguePath, "v",
                         {{"a_b", {Plain("c", u"Second")}}, {"a", {Plain("b_c", u"First")}}});
    Catalogue catalogue;
    catalogue.LoadCatalogue(cataloguePath);
    EXPECT_EQ(catalogue.FindChannel("a_b_c")->name, u"First");
    EXPECT_EQ(AllChannels().size(), 2u);
}

TEST_F(CatalogueTest, BrokenEntriesAreReportedAndStillListed) {
    UseLanguage({{"c_de", u"Germany"}});
    test::WriteCatalogue(cataloguePath, "v",
                         {{"de",
                           {Plain("bad", u"Bad 100% TV", "nonsense"),
                            {"mute", u"Mute %s %d", "n", {}},
                            {"nameless", u"", "", {}}}}});
    Catalogue catalogue;
    CollectMessages(catalogue);
    catalogue.LoadCatalogue(cataloguePath);
    // Channels are built in node order: bad, mute, nameless.
    EXPECT_EQ(messages,
              (std::vector<std::u16string>{
                  u"Germany : Bad 100% TV - Wrong category!", u"Germany : Mute %s %d - No url!",
                  u"Germany :  - Wrong category!", u"Germany :  - No url!"}));
    ASSERT_EQ(AllChannels().size(), 3u);
    const Channel* mute = catalogue.FindChannel("de_mute");
    EXPECT_EQ(SelectedStream(*mute), nullptr);
    EXPECT_EQ(mute->subtitle, u"Germany (0)");
    EXPECT_EQ(catalogue.FindChannel("de_bad")->category, nullptr);
    EXPECT_EQ(FilterChannels(nullptr, catalogue.FindCategory("n")).size(), 1u);
}

TEST_F(CatalogueTest, WithoutASinkMessagesAreDropped) {
    test::WriteCatalogue(cataloguePath, "v", {{"de", {{"mute", u"Mute", "xx", {}}}}});
    Catalogue catalogue;
    EXPECT_TRUE(catalogue.LoadCatalogue(cataloguePath));
    EXPECT_EQ(AllChannels().size(), 1u);
}

TEST_F(CatalogueTest, ThousandsOfBrokenChannelsGiveOneMessageEachAndNothingMore) {
    DocNode root("v");
    DocNode* country = root.AddChild("xx");
    for (int i = 0; i < 20000; ++i) {
        DocNode* channel = country->AddChild("c" + std::to_string(i));
        channel->SetString("c", "n");
    }
    ASSERT_TRUE(root.SaveToFile(cataloguePath));
    std::size_t count = 0;
    Catalogue catalogue;
    catalogue.SetMessageSink([&count](const std::u16string&) { ++count; });
    catalogue.LoadCatalogue(cataloguePath);
    EXPECT_EQ(count, 20000u);
    EXPECT_EQ(AllChannels().size(), 20000u);
}

TEST_F(CatalogueTest, TheSettingsStateIsApplied) {
    UseLanguage({{"str_kb", u" kbit/s"}});
    test::WriteSettings(
        settingsPath,
        {{"de_ard", true, 1}, {"de_zdf", false, 7}, {"fr_tf1", true, -1}, {"gone_x", true, 0}},
        u"de_ard");
    LoadSettings(settingsPath);
    WriteSmallCatalogue();
    Catalogue catalogue;
    catalogue.LoadCatalogue(cataloguePath);

    Channel* ard = catalogue.FindChannel("de_ard");
    EXPECT_TRUE(ard->favourite);
    EXPECT_EQ(ard->streamIndex, 1);
    EXPECT_EQ(SelectedStream(*ard)->address, u"http://de/ard-hd");
    EXPECT_EQ(ard->subtitle, u"de (1500 kbit/s)");
    // Stored indexes that name no stream fall back to the first.
    EXPECT_EQ(catalogue.FindChannel("de_zdf")->streamIndex, 0);
    EXPECT_FALSE(catalogue.FindChannel("de_zdf")->favourite);
    EXPECT_EQ(catalogue.FindChannel("fr_tf1")->streamIndex, 0);
    EXPECT_TRUE(catalogue.FindChannel("fr_tf1")->favourite);
    EXPECT_EQ(catalogue.CurrentChannel(), ard);
}

TEST_F(CatalogueTest, ACurrentChannelThatIsGoneLeavesNoneCurrent) {
    test::WriteSettings(settingsPath, {}, u"de_gone");
    LoadSettings(settingsPath);
    WriteSmallCatalogue();
    Catalogue catalogue;
    catalogue.LoadCatalogue(cataloguePath);
    EXPECT_EQ(catalogue.CurrentChannel(), nullptr);
}

TEST_F(CatalogueTest, TheNextSaveKeepsChosenStreamsAndDropsUnknownIds) {
    test::WriteSettings(settingsPath,
                        {{"de_ard", true, 1}, {"de_zdf", false, 0}, {"gone_x", true, 0}});
    LoadSettings(settingsPath);
    WriteSmallCatalogue();
    Catalogue catalogue;
    catalogue.LoadCatalogue(cataloguePath);
    ASSERT_TRUE(SaveSettings());

    auto saved = test::ReadDocument(settingsPath);
    const DocNode* channels = std::as_const(*saved).Child("channels");
    std::vector<std::string> names;
    for (const auto& child : channels->Children())
        names.push_back(child->Name());
    EXPECT_EQ(names, (std::vector<std::string>{"de_ard", "de_zdf", "fr_tf1"}));
    EXPECT_TRUE(channels->Child("de_ard")->GetBool("f", false));
    EXPECT_EQ(channels->Child("de_ard")->GetInt("cu", 0), 1);
    // The first stream is the default and is not written.
    EXPECT_TRUE(channels->Child("de_zdf")->Attributes().empty());
}

TEST_F(CatalogueTest, AChosenStreamFollowsItsAddressWhenTheStreamsAreReordered) {
    struct Case {
        std::int32_t storedIndex;
        std::u16string storedAddress;
        std::int32_t index;  // after the load
    };
    const Case cases[] = {
        {1, u"http://de/ard-hd", 1},  // still in its place
        {1, u"http://de/ard", 0},     // moved up
        {0, u"http://de/ard-hd", 1},  // moved down from the first place
        {1, u"http://de/gone", 0},    // gone: the first stream
        {1, u"", 1},                  // no address: the index as stored
    };
    WriteSmallCatalogue();
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.storedAddress));
        DocNode root("set");
        DocNode* child = root.AddChild("channels")->AddChild("de_ard");
        child->SetInt("cu", c.storedIndex);
        if (!c.storedAddress.empty())
            child->SetWString("cu_url", c.storedAddress);
        ASSERT_TRUE(root.SaveToFile(settingsPath));
        ResetSettings();
        LoadSettings(settingsPath);
        Catalogue catalogue;
        catalogue.LoadCatalogue(cataloguePath);
        EXPECT_EQ(catalogue.FindChannel("de_ard")->streamIndex, c.index);
    }
}

TEST_F(CatalogueTest, TheChosenStreamIsSavedWithItsAddressAndKeptAcrossAnUpdate) {
    WriteSmallCatalogue();
    Catalogue catalogue;
    catalogue.LoadCatalogue(cataloguePath);
    ASSERT_TRUE(ChooseStream(*catalogue.FindChannel("de_ard"), 1));
    ASSERT_TRUE(ChooseStream(*catalogue.FindChannel("de_zdf"), 0));
    DocNode channels("channels");
    catalogue.WriteChannelState(channels);
    EXPECT_EQ(channels.Child("de_ard")->GetInt("cu", 0), 1);
    EXPECT_EQ(channels.Child("de_ard")->GetWString("cu_url"), u"http://de/ard-hd");
    // The first stream chosen on purpose: its address, no index.
    EXPECT_EQ(channels.Child("de_zdf")->FindAttribute("cu"), nullptr);
    EXPECT_EQ(channels.Child("de_zdf")->GetWString("cu_url"), u"http://x/zdf");
    EXPECT_TRUE(channels.Child("fr_tf1")->Attributes().empty());

    // An update ranks the streams the other way round and adds one to zdf.
    test::WriteCatalogue(
        cataloguePath, "2024.2",
        {{"de",
          {{"ard", u"Das Erste", "n", {{0, 1500, u"http://de/ard-hd"}, {1, 800, u"http://de/ard"}}},
           {"zdf", u"ZDF", "e", {{0, 900, u"http://x/zdf-2"}, {1, 500, u"http://x/zdf"}}}}}});
    ASSERT_TRUE(catalogue.ReloadCatalogue());
    EXPECT_EQ(SelectedStream(*catalogue.FindChannel("de_ard"))->address, u"http://de/ard-hd");
    EXPECT_EQ(SelectedStream(*catalogue.FindChannel("de_zdf"))->address, u"http://x/zdf");
}

TEST_F(CatalogueTest, ChosenTracksComeFromTheSettingsAndSurviveAnUpdate) {
    WriteSmallCatalogue();
    DocNode root("set");
    DocNode* channels = root.AddChild("channels");
    channels->AddChild("de_ard")->SetWString("trk", u"deu/-");
    channels->AddChild("de_zdf")->SetWString("trk", u"not a choice");
    ASSERT_TRUE(root.SaveToFile(settingsPath));
    LoadSettings(settingsPath);
    Catalogue catalogue;
    catalogue.LoadCatalogue(cataloguePath);
    EXPECT_EQ(catalogue.FindChannel("de_ard")->trackChoice, "deu/-");
    EXPECT_EQ(catalogue.FindChannel("de_zdf")->trackChoice, "");
    catalogue.FindChannel("fr_tf1")->trackChoice = "#2/";

    ASSERT_TRUE(catalogue.ReloadCatalogue());
    DocNode written("channels");
    catalogue.WriteChannelState(written);
    EXPECT_EQ(written.Child("de_ard")->GetWString("trk"), u"deu/-");
    EXPECT_EQ(written.Child("fr_tf1")->GetWString("trk"), u"#2/");
    EXPECT_TRUE(written.Child("de_zdf")->Attributes().empty());
}

TEST_F(CatalogueTest, AMissingOrDamagedCatalogueIsEmptyButKeepsTheMarks) {
    test::WriteSettings(settingsPath, {{"de_ard", true, 1}, {"de_zdf", false, 0}});
    LoadSettings(settingsPath);
    for (bool damaged : {false, true}) {
        if (damaged)
            test::WriteBytes(folder.Path("Channels.lmch"), "\xde\xad");
        Catalogue catalogue;
        EXPECT_FALSE(catalogue.LoadCatalogue(cataloguePath));
        EXPECT_TRUE(catalogue.Countries().empty());
        EXPECT_TRUE(catalogue.Categories().empty());
        EXPECT_TRUE(catalogue.Version().empty());
        EXPECT_TRUE(AllChannels().empty());

        DocNode channels("channels");
        catalogue.WriteChannelState(channels);
        ASSERT_NE(channels.Child("de_ard"), nullptr);
        EXPECT_TRUE(channels.Child("de_ard")->GetBool("f", false));
        EXPECT_EQ(channels.Child("de_ard")->GetInt("cu", 0), 1);
        ASSERT_NE(channels.Child("de_zdf"), nullptr);
        EXPECT_FALSE(channels.Child("de_zdf")->GetBool("f", false));
    }
}

TEST_F(CatalogueTest, WriteChannelStateWritesEveryChannelAndEmptyChildrenForTheOthers) {
    WriteSmallCatalogue();
    Catalogue catalogue;
    catalogue.LoadCatalogue(cataloguePath);
    AddFavourite(*catalogue.FindChannel("fr_tf1"));
    DocNode channels("channels");
    catalogue.WriteChannelState(channels);
    ASSERT_EQ(channels.Children().size(), 3u);
    EXPECT_TRUE(channels.Child("fr_tf1")->GetBool("f", false));
    EXPECT_EQ(channels.Child("fr_tf1")->Attributes().size(), 1u);
    for (const char* id : {"de_ard", "de_zdf"}) {
        ASSERT_NE(channels.Child(id), nullptr) << id;
        EXPECT_TRUE(channels.Child(id)->Attributes().empty()) << id;
    }
}

// Files whose names were changed in place, so that two nodes share one name
// (no writer of the program makes such a file).
TEST_F(CatalogueTest, OfTwoNodesWithOneNameTheFirstCountsAndTheSecondIsNotBuilt) {
    test::WriteCatalogue(cataloguePath, "1",
                         {{"de", {Plain("ard", u"Das Erste"), Plain("zd2", u"Second ARD", "bad")}},
                          {"d2", {Plain("x", u"Second Germany", "bad")}}});
    std::ifstream in(folder.Path("Channels.lmch"), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // A name in the file: its one-byte length, then its bytes.
    const auto stored = [](const std::string& name) {
        return std::string(1, char(name.size())) + name;
    };
    for (auto [from, to] : {std::pair<std::string, std::string>{"zd2", "ard"}, {"d2", "de"}}) {
        const auto at = bytes.find(stored(from));
        ASSERT_NE(at, std::string::npos);
        bytes.replace(at, from.size() + 1, stored(to));
    }
    test::WriteBytes(folder.Path("Channels.lmch"), bytes);

    Catalogue catalogue;
    CollectMessages(catalogue);
    ASSERT_TRUE(catalogue.LoadCatalogue(cataloguePath));
    EXPECT_EQ(catalogue.Countries().size(), 1u);
    EXPECT_EQ(Ids(AllChannels()), (std::vector<std::string>{"de_ard"}));
    EXPECT_EQ(catalogue.FindChannel("de_ard")->name, u"Das Erste");
    // The dropped nodes name an unknown category, but are never built.
    EXPECT_TRUE(messages.empty());
}

TEST_F(CatalogueTest, AFileCutShortShowsNoMessageOfTheEntriesBeforeTheCut) {
    test::WriteCatalogue(cataloguePath, "1",
                         {{"de", {Plain("bad", u"Bad", "x"), Plain("zdf", u"ZDF")}}});
    std::ifstream in(folder.Path("Channels.lmch"), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    test::WriteBytes(folder.Path("Channels.lmch"), bytes.substr(0, bytes.size() - 1));

    Catalogue catalogue;
    CollectMessages(catalogue);
    EXPECT_FALSE(catalogue.LoadCatalogue(cataloguePath));
    EXPECT_TRUE(AllChannels().empty());
    EXPECT_TRUE(messages.empty());
}

TEST_F(CatalogueTest, WriteChannelStateWritesTheFirstOfTwoEqualIds) {
    for (bool firstIsFavourite : {true, false}) {
        test::WriteCatalogue(cataloguePath, "v",
                             {{"a_b", {Plain("c", u"Second")}}, {"a", {Plain("b_c", u"First")}}});
        Catalogue catalogue;
        catalogue.LoadCatalogue(cataloguePath);
        Channel* first = catalogue.Countries().at("a")->channels.Find("b_c");
        Channel* second = catalogue.Countries().at("a_b")->channels.Find("c");
        ASSERT_NE(first, nullptr);
        ASSERT_NE(second, nullptr);
        first->favourite = firstIsFavourite;
        second->favourite = !firstIsFavourite;
        DocNode channels("channels");
        catalogue.WriteChannelState(channels);
        ASSERT_EQ(channels.Children().size(), 1u);
        EXPECT_EQ(channels.Child("a_b_c")->GetBool("f", false), firstIsFavourite);
    }
}

TEST_F(CatalogueTest, ReloadCarriesMarksAndStreamsOverById) {
    WriteSmallCatalogue();
    test::WriteSettings(settingsPath, {}, u"de_ard");
    LoadSettings(settingsPath);
    Catalogue catalogue;
    catalogue.LoadCatalogue(cataloguePath);
    Channel* ard = catalogue.FindChannel("de_ard");
    AddFavourite(*ard);
    ard->streamIndex = 1;
    AddFavourite(*catalogue.FindChannel("fr_tf1"));
    catalogue.FindChannel("de_zdf")->streamIndex = 0;
    ASSERT_EQ(catalogue.CurrentChannel(), ard);

    // The update drops fr_tf1, leaves ard with one stream and adds a channel.
    test::WriteCatalogue(
        cataloguePath, "2024.2",
        {{"de", {Plain("ard", u"Das Erste"), Plain("zdf", u"ZDF", "e"), Plain("new", u"New")}}});
    ASSERT_TRUE(catalogue.ReloadCatalogue());
    EXPECT_EQ(catalogue.Version(), "2024.2");
    EXPECT_EQ(catalogue.CurrentChannel(), nullptr);
    EXPECT_EQ(Ids(AllChannels()), (std::vector<std::string>{"de_ard", "de_new", "de_zdf"}));
    Channel* newArd = catalogue.FindChannel("de_ard");
    EXPECT_TRUE(newArd->favourite);
    EXPECT_EQ(newArd->streamIndex, 0);  // stream 1 is gone
    EXPECT_FALSE(catalogue.FindChannel("de_new")->favourite);
    EXPECT_EQ(catalogue.FindChannel("fr_tf1"), nullptr);
    EXPECT_EQ(Ids(FavouriteChannels()), (std::vector<std::string>{"de_ard"}));
    ASSERT_EQ(catalogue.Categories().size(), 9u);

    // A second reload of a file with two streams keeps a valid index.
    WriteSmallCatalogue();
    catalogue.FindChannel("de_ard")->streamIndex = 0;
    ASSERT_TRUE(catalogue.ReloadCatalogue());
    EXPECT_TRUE(catalogue.FindChannel("de_ard")->favourite);
}

TEST_F(CatalogueTest, AFailedReloadKeepsTheVersionAndTheMarks) {
    WriteSmallCatalogue();
    Catalogue catalogue;
    catalogue.LoadCatalogue(cataloguePath);
    AddFavourite(*catalogue.FindChannel("fr_tf1"));
    std::filesystem::remove(folder.Path("Channels.lmch"));
    EXPECT_FALSE(catalogue.ReloadCatalogue());
    EXPECT_EQ(catalogue.Version(), "2024.1");
    EXPECT_TRUE(catalogue.Countries().empty());
    EXPECT_TRUE(AllChannels().empty());
    DocNode channels("channels");
    catalogue.WriteChannelState(channels);
    EXPECT_TRUE(channels.Child("fr_tf1")->GetBool("f", false));

    // The next good file gets them back.
    WriteSmallCatalogue();
    ASSERT_TRUE(catalogue.ReloadCatalogue());
    EXPECT_TRUE(catalogue.FindChannel("fr_tf1")->favourite);
}

TEST_F(CatalogueTest, AReloadAfterAMissingFirstFileCreatesTheCategories) {
    Catalogue catalogue;
    CollectMessages(catalogue);
    EXPECT_FALSE(catalogue.LoadCatalogue(cataloguePath));
    WriteSmallCatalogue();
    ASSERT_TRUE(catalogue.ReloadCatalogue());
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(catalogue.FindChannel("de_ard")->category, catalogue.FindCategory("n"));
}

TEST_F(CatalogueTest, FlagsComeFromTheInstalledLookup) {
    std::vector<std::string> asked;
    const ResourceImage* fake = reinterpret_cast<const ResourceImage*>(&asked);
    SetResourceImageLookup([&](std::string_view name) -> const ResourceImage* {
        asked.emplace_back(name);
        return name == "f_de" ? fake : nullptr;
    });
    WriteSmallCatalogue();
    Catalogue catalogue;
    catalogue.LoadCatalogue(cataloguePath);
    EXPECT_EQ(catalogue.Countries().at("de")->flag, fake);
    EXPECT_EQ(catalogue.Countries().at("fr")->flag, nullptr);
    EXPECT_EQ(asked, (std::vector<std::string>{"f_de", "f_fr"}));
}

// A load that waits for its state asks for it once, after the file is
// read, also when there is no file (so whoever gives it is never left
// waiting), and applies what it gets.
TEST_F(CatalogueTest, ALoadAwaitingItsStateAsksOnceAndAppliesIt) {
    WriteSmallCatalogue();
    for (const bool fileThere : {true, false}) {
        auto state = std::make_shared<ChannelStateTable>();
        state->Add("de_ard", {true, 0, {}});
        int asked = 0;
        Catalogue detached;
        const bool read =
            detached.LoadDetachedAwaiting(fileThere ? cataloguePath : folder.File("Missing.lmch"),
                                          [&] {
                                              ++asked;
                                              return state;
                                          },
                                          {});
        EXPECT_EQ(read, fileThere);
        EXPECT_EQ(asked, 1);
        if (fileThere) {
            detached.Publish();
            ASSERT_NE(detached.FindChannel("de_ard"), nullptr);
            EXPECT_TRUE(detached.FindChannel("de_ard")->favourite);
            EXPECT_FALSE(detached.FindChannel("de_zdf")->favourite);
        }
    }
}

TEST_F(CatalogueTest, ALoadOnAWorkerThreadPublishedIsTheSameCatalogueAsALoad) {
    UseLanguage({{"c_de", u"Germany"}, {"str_kb", u" kbit/s"}});
    test::WriteSettings(settingsPath, {{"de_ard", true, 1}, {"fr_tf1", true, -1}}, u"fr_tf1");
    LoadSettings(settingsPath);
    test::WriteCatalogue(cataloguePath, "2024.1",
                         {{"fr", {Plain("tf1", u"TF1", "e"), Plain("bad", u"Bad", "x")}},
                          {"de",
                           {{"ard", u"Das Erste", "n", {{0, 800, u"http://a"}, {1, 1500, u"b"}}},
                            Plain("zdf", u"ZDF", "e")}}});
    const ResourceImage* flag = reinterpret_cast<const ResourceImage*>(&flag);
    SetResourceImageLookup([&](std::string_view name) { return name == "f_de" ? flag : nullptr; });
    // What a channel shows and keeps, in AllChannels order.
    auto describe = [] {
        std::vector<std::u16string> rows;
        for (const Channel* channel : AllChannels())
            rows.push_back(FromUtf8(channel->id) + u"|" + channel->subtitle + u"|" +
                           (channel->favourite ? u"f" : u"") + u"|" +
                           (channel->country->flag ? u"flag" : u"") + u"|" +
                           (channel == TheCatalogue()->CurrentChannel() ? u"current" : u""));
        return rows;
    };
    Catalogue loaded;
    CollectMessages(loaded);
    ASSERT_TRUE(loaded.LoadCatalogue(cataloguePath));
    const std::vector<std::u16string> expected = describe();
    const std::vector<std::u16string> expectedMessages = std::exchange(messages, {});

    std::vector<std::u16string> ownMessages;
    Catalogue detached;
    std::thread worker([&] {
        detached.LoadDetached(cataloguePath, SavedChannelStates(),
                              [&](const std::u16string& text) { ownMessages.push_back(text); });
    });
    worker.join();
    // Nothing process-wide moved before Publish.
    EXPECT_EQ(TheCatalogue(), &loaded);
    EXPECT_EQ(describe(), expected);
    EXPECT_TRUE(messages.empty());
    detached.Publish();
    EXPECT_EQ(TheCatalogue(), &detached);
    EXPECT_EQ(describe(), expected);
    EXPECT_EQ(ownMessages, expectedMessages);
    EXPECT_EQ(expectedMessages.size(), 1u);
}

TEST_F(CatalogueTest, ReleaseAndDestructionLeaveNothingBehind) {
    WriteSmallCatalogue();
    {
        Catalogue catalogue;
        catalogue.LoadCatalogue(cataloguePath);
        catalogue.ReleaseCatalogue();
        EXPECT_TRUE(AllChannels().empty());
        EXPECT_TRUE(catalogue.Categories().empty());
        catalogue.LoadCatalogue(cataloguePath);
        EXPECT_EQ(AllChannels().size(), 3u);
    }
    EXPECT_EQ(TheCatalogue(), nullptr);
    EXPECT_TRUE(AllChannels().empty());
}

}  // namespace
}  // namespace lumora
