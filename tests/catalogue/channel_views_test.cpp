#include "catalogue/channel_views.h"

#include <algorithm>
#include <string>

#include "catalogue/settings_format.h"
#include "catalogue_test_support.h"

namespace lumora {
namespace {

using test::Ids;
using test::LanguageSpec;

class ChannelViewsTest : public test::CatalogueTestBase {
protected:
    std::u16string cataloguePath = folder.File("Channels.lmch");
    std::u16string settingsPath = folder.File("Settings.cfg");

    void SetUp() override {
        CatalogueTestBase::SetUp();
        test::WriteLanguagePack(folder.File("Languages.lngp"),
                                {{0, LanguageSpec{u"English",
                                                  u"en",
                                                  {{"c_de", u"Germany"},
                                                   {"c_at", u"Austria"},
                                                   {"c_fr", u"France"},
                                                   {"cat_n", u"News"},
                                                   {"cat_e", u"Entertainment"},
                                                   {"cat_sp", u"Sport"},
                                                   {"tab_channels", u"Channels"},
                                                   {"tab_favorites", u"100% Favourites"},
                                                   {"str_all_countries", u"All countries"},
                                                   {"str_all_channels", u"All channels"}}}}});
        LoadLanguages(folder.File("Languages.lngp"));
    }

    static test::ChannelSpec Channel(std::string node, std::u16string name, std::string category) {
        return {std::move(node), std::move(name), std::move(category), {{0, 100, u"http://s"}}};
    }

    void LoadSample() {
        test::WriteCatalogue(cataloguePath, "v",
                             {{"de",
                               {Channel("a", u"abc", "n"), Channel("b", u"ABC", "e"),
                                Channel("c", u"Abc", "n"), Channel("d", u"Zulu", "sp")}},
                              {"at", {Channel("x", u"ORF", "n"), Channel("y", u"Lost", "??")}},
                              {"fr", {Channel("m", u"M6", "e")}}});
        ASSERT_TRUE(catalogue.LoadCatalogue(cataloguePath));
    }

    lumora::Channel& Find(std::string_view id) { return *catalogue.FindChannel(id); }

    Catalogue catalogue;
};

TEST_F(ChannelViewsTest, AllChannelsAreOrderedByCodeUnits) {
    LoadSample();
    // Country names first; within Germany upper case sorts before lower case.
    EXPECT_EQ(Ids(AllChannels()),
              (std::vector<std::string>{"at_y", "at_x", "fr_m", "de_b", "de_c", "de_d", "de_a"}));
}

TEST_F(ChannelViewsTest, SortingComparesUnsignedCodeUnits) {
    test::WriteCatalogue(
        cataloguePath, "v",
        {{"q",
          {Channel("1", u"\uFF21", "n"), Channel("2", u"\u00E9", "n"), Channel("3", u"e", "n"),
           Channel("4", u"\U0001F600", "n"), Channel("5", u"E", "n")}}});
    ASSERT_TRUE(catalogue.LoadCatalogue(cataloguePath));
    // Surrogates (0xD83D) sort below 0xFF21 in code-unit order.
    EXPECT_EQ(Ids(AllChannels()), (std::vector<std::string>{"q_5", "q_3", "q_2", "q_4", "q_1"}));
}

TEST(FullTitleOrderTest, PartsCompareAsTheJoinedTitle) {
    struct Case {
        std::u16string_view countryA, nameA, countryB, nameB;
        int order;
    };
    const Case cases[] = {
        // A country name that begins another: the joined text decides.
        {u"Congo", u"Zeta", u"Congo DR", u"Alpha", 1},
        {u"Congo", u"A", u"Congo DR", u"Alpha", -1},
        // The space sorts below letters and above control units.
        {u"Ab", u"x", u"Ab", u"x", 0},
        {u"A", u"b c", u"A b", u"c", 0},
        {u"A", u"", u"A", u"\u0001", -1},
        {u"", u"", u"", u"", 0},
        {u"Z", u"a", u"\u00C4", u"a", -1},
    };
    for (const Case& c : cases) {
        const int order = CompareJoinedTitles(c.countryA, c.nameA, c.countryB, c.nameB);
        EXPECT_EQ((order > 0) - (order < 0), c.order)
            << std::string(c.countryA.begin(), c.countryA.end()) << " / "
            << std::string(c.nameA.begin(), c.nameA.end());
    }
}

// Countries are ranked before their channels are compared; where one
// country's name and a space begin another's, or two share a name, or a
// name holds units below the space, the channels must still come out in
// full-title order.
TEST(SortChannelsTest, ListsByFullTitleWhateverTheCountryNames) {
    const std::vector<std::u16string> countryNames = {
        u"Congo", u"Congo DR", u"Congo", u"Cong", u"Congo\u0001", u"Congo DR East", u"", u"B"};
    std::vector<Country> countries(countryNames.size());
    for (std::size_t i = 0; i < countries.size(); ++i)
        countries[i].displayName = countryNames[i];
    const std::vector<std::u16string> names = {u"Alpha", u"Zeta", u"DR", u"DR East x",
                                               u"",      u" ",    u"a",  u"East"};
    std::vector<Channel> channels;
    channels.reserve(countries.size() * names.size() + names.size());
    auto add = [&channels](Country* country, const std::u16string& name) {
        Channel& channel = channels.emplace_back();
        channel.country = country;
        channel.name = name;
    };
    for (Country& country : countries) {
        for (const std::u16string& name : names)
            add(&country, name);
    }
    for (const std::u16string& name : names)
        add(nullptr, name);
    std::vector<Channel*> list;
    for (std::size_t i = 0; i < channels.size(); ++i)
        list.push_back(&channels[(i * 37) % channels.size()]);  // 37 is prime to 72

    SortChannels(list);
    ASSERT_EQ(list.size(), channels.size());
    for (std::size_t i = 1; i < list.size(); ++i) {
        EXPECT_LE(FullTitle(*list[i - 1]), FullTitle(*list[i])) << "at " << i;
    }
}

// Names of one country that share a long start are ordered by what comes
// after it, also where one name ends inside the packed units or holds
// U+0000 or U+FFFF there; equal titles keep the order they came in.
TEST(SortChannelsTest, NamesWithALongSharedStartAreOrderedByTheirRest) {
    using namespace std::string_literals;
    Country country;
    country.displayName = u"Land";
    const std::vector<std::u16string> names = {
        u"Channel 10",       u"Channel 2",       u"Channel 1",        u"Channel 100000",
        u"Channel 1",        u"Channel 12345",   u"Channel 12346",    u"Channel 1234",
        u"Channel ",         u"Channel 1\uFFFF", u"Channel 1\u0000"s, u"Channel 1\u0000x"s,
        u"Channel 99999999", u"Channel 9999999", u"Channel \uFFFFzzz"};
    std::vector<Channel> channels(names.size());
    std::vector<Channel*> list;
    for (std::size_t i = 0; i < names.size(); ++i) {
        channels[i].country = &country;
        channels[i].name = names[i];
        list.push_back(&channels[i]);
    }

    SortChannels(list);
    for (std::size_t i = 1; i < list.size(); ++i)
        EXPECT_LE(list[i - 1]->name, list[i]->name) << "at " << i;
    const auto first = std::find(list.begin(), list.end(), &channels[2]);
    ASSERT_NE(first, list.end());
    EXPECT_EQ(*(first + 1), &channels[4]);
}

TEST_F(ChannelViewsTest, EqualTitlesAreBothListedSideBySide) {
    test::WriteCatalogue(
        cataloguePath, "v",
        {{"de",
          {Channel("a", u"Same", "n"), Channel("z", u"Zed", "n"), Channel("b", u"Same", "n")}}});
    ASSERT_TRUE(catalogue.LoadCatalogue(cataloguePath));
    std::vector<std::string> ids = Ids(AllChannels());
    ASSERT_EQ(ids.size(), 3u);
    EXPECT_EQ(ids[2], "de_z");
    EXPECT_TRUE((ids[0] == "de_a" && ids[1] == "de_b") || (ids[0] == "de_b" && ids[1] == "de_a"));
}

TEST_F(ChannelViewsTest, FiltersKeepTheSortedOrderAndMatchByRecord) {
    LoadSample();
    const Country* germany = catalogue.Countries().at("de").get();
    const Country* austria = catalogue.Countries().at("at").get();
    const Category* news = catalogue.FindCategory("n");
    EXPECT_EQ(Ids(FilterChannels(germany, nullptr)),
              (std::vector<std::string>{"de_b", "de_c", "de_d", "de_a"}));
    EXPECT_EQ(Ids(FilterChannels(nullptr, news)),
              (std::vector<std::string>{"at_x", "de_c", "de_a"}));
    EXPECT_EQ(Ids(FilterChannels(germany, news)), (std::vector<std::string>{"de_c", "de_a"}));
    // The channel with an unknown category only shows without a category filter.
    EXPECT_EQ(Ids(FilterChannels(austria, nullptr)), (std::vector<std::string>{"at_y", "at_x"}));
    EXPECT_EQ(Ids(FilterChannels(austria, catalogue.FindCategory("e"))),
              std::vector<std::string>{});
    EXPECT_EQ(FilterChannels(nullptr, nullptr).size(), 7u);
    // A record of the same name from elsewhere does not match.
    Country lookalike;
    lookalike.code = "de";
    EXPECT_TRUE(FilterChannels(&lookalike, nullptr).empty());
}

TEST_F(ChannelViewsTest, FavouritesFollowTheSortedOrder) {
    LoadSample();
    EXPECT_EQ(TabCaption("tab_favorites", FavouriteChannels().size()), u"100% Favourites (0)");
    AddFavourite(Find("de_a"));
    AddFavourite(Find("at_x"));
    AddFavourite(Find("at_x"));  // twice: still one entry
    EXPECT_EQ(Ids(FavouriteChannels()), (std::vector<std::string>{"at_x", "de_a"}));
    RemoveFavourite(Find("at_x"));
    EXPECT_EQ(Ids(FavouriteChannels()), (std::vector<std::string>{"de_a"}));
    RemoveFavourite(Find("de_a"));
    EXPECT_TRUE(FavouriteChannels().empty());
    EXPECT_EQ(TabCaption("tab_favorites", FavouriteChannels().size()), u"100% Favourites (0)");
    EXPECT_EQ(TabCaption("tab_channels", 7), u"Channels (7)");
}

TEST_F(ChannelViewsTest, AnEmptyCatalogueGivesEmptyViews) {
    EXPECT_FALSE(catalogue.LoadCatalogue(folder.File("missing.lmch")));
    EXPECT_TRUE(FilterChannels(nullptr, nullptr).empty());
    EXPECT_TRUE(FavouriteChannels().empty());
    EXPECT_EQ(CountryOptions().size(), 1u);
    EXPECT_EQ(CategoryOptions().size(), 1u);
    EXPECT_EQ(TabCaption("tab_channels", 0), u"Channels (0)");
    SortAllChannels();
}

TEST_F(ChannelViewsTest, ChooserEntriesStartWithAllThenFollowTheirTexts) {
    LoadSample();
    std::vector<CountryOption> countries = CountryOptions();
    ASSERT_EQ(countries.size(), 4u);
    EXPECT_EQ(countries[0].text, u"All countries");
    EXPECT_EQ(countries[0].record, nullptr);
    EXPECT_EQ(countries[1].text, u"Austria");
    EXPECT_EQ(countries[1].record, catalogue.Countries().at("at").get());
    EXPECT_EQ(countries[3].text, u"Germany");

    std::vector<CategoryOption> categories = CategoryOptions();
    ASSERT_EQ(categories.size(), 10u);
    EXPECT_EQ(categories[0].text, u"All channels");
    EXPECT_EQ(categories[0].record, nullptr);
    // Keys without a text show as themselves, and lower-case keys sort after
    // the capitalised texts.
    std::vector<std::u16string> texts;
    for (const CategoryOption& option : categories)
        texts.push_back(option.text);
    EXPECT_EQ(texts,
              (std::vector<std::u16string>{u"All channels", u"Entertainment", u"News", u"Sport",
                                           u"ad", u"k", u"l", u"mo", u"mu", u"r"}));
    EXPECT_EQ(categories[2].record, catalogue.FindCategory("n"));
}

TEST_F(ChannelViewsTest, TheCurrentChannelIsRememberedAcrossARestart) {
    LoadSettings(settingsPath);
    LoadSample();
    SetCurrentChannel(Find("fr_m"));
    EXPECT_EQ(catalogue.CurrentChannel(), &Find("fr_m"));
    EXPECT_EQ(GetStringSetting(kCurChannel, u""), u"fr_m");
    ASSERT_TRUE(SaveSettings());

    ResetSettings();
    LoadSettings(settingsPath);
    Catalogue restarted;
    ASSERT_TRUE(restarted.LoadCatalogue(cataloguePath));
    ASSERT_NE(restarted.CurrentChannel(), nullptr);
    EXPECT_EQ(restarted.CurrentChannel()->id, "fr_m");
}

// A node name in a single-byte code page: "é" in Latin-1 is not UTF-8.
TEST_F(ChannelViewsTest, ACurrentChannelWhoseIdIsNotUtf8SurvivesARestart) {
    const std::string id = "\xE9t_caf\xE9";
    test::WriteCatalogue(cataloguePath, "v",
                         {{"\xE9t", {{"caf\xE9", u"Caf\u00E9", "n", {{0, 1, u"http://x/1"}}}}},
                          {"\xE9u", {{"caf\xE9", u"Other", "n", {{0, 1, u"http://x/2"}}}}}});
    LoadSettings(settingsPath);
    ASSERT_TRUE(catalogue.LoadCatalogue(cataloguePath));
    ASSERT_NE(catalogue.FindChannel(id), nullptr);
    SetCurrentChannel(*catalogue.FindChannel(id));
    ASSERT_TRUE(SaveSettings());

    ResetSettings();
    LoadSettings(settingsPath);
    Catalogue restarted;
    ASSERT_TRUE(restarted.LoadCatalogue(cataloguePath));
    ASSERT_NE(restarted.CurrentChannel(), nullptr);
    EXPECT_EQ(restarted.CurrentChannel()->id, id);
}

TEST(NameEncodingTest, AnyBytesSurviveWideningAndNarrowing) {
    const std::string names[] = {"de_ard",
                                 "\xE9t_x",
                                 "\xFF\xFE\x80",
                                 "ok_\xC3\xA9_\xC3",
                                 "\xEF\xBF\xBD_real_fffd",
                                 "\xF0\x9F\x93\xBA_tv",
                                 "\xED\xA0\x80_encoded_surrogate",
                                 std::string("nul\0in", 6)};
    for (const std::string& name : names) {
        EXPECT_EQ(NarrowName(WidenName(name)), name) << name;
        EXPECT_EQ(WidenName(name) == FromUtf8(name), IsValidUtf8(name)) << name;
    }
    // Distinct names stay distinct.
    EXPECT_NE(WidenName("\xE9"), WidenName("\xEA"));
}

TEST_F(ChannelViewsTest, FavouritesSurviveARestart) {
    LoadSettings(settingsPath);
    LoadSample();
    AddFavourite(Find("de_c"));
    AddFavourite(Find("at_y"));
    ASSERT_TRUE(SaveSettings());

    ResetSettings();
    LoadSettings(settingsPath);
    Catalogue restarted;
    ASSERT_TRUE(restarted.LoadCatalogue(cataloguePath));
    EXPECT_EQ(Ids(FavouriteChannels()), (std::vector<std::string>{"at_y", "de_c"}));
}

}  // namespace
}  // namespace lumora

namespace lumora {
namespace {

TEST_F(ChannelViewsTest, ZappingStepsThroughTheListAndWraps) {
    LoadSample();
    const std::vector<lumora::Channel*> list =
        FilterChannels(catalogue.Countries().at("de").get(), nullptr);
    // de_b, de_c, de_d, de_a
    struct ZapCase {
        const char* from;  // null: no current channel
        ZapDirection direction;
        const char* expected;
    };
    const ZapCase cases[] = {
        {"de_b", ZapDirection::Next, "de_c"},  {"de_c", ZapDirection::Previous, "de_b"},
        {"de_a", ZapDirection::Next, "de_b"},  {"de_b", ZapDirection::Previous, "de_a"},
        {"fr_m", ZapDirection::Next, "de_b"},  {"fr_m", ZapDirection::Previous, "de_a"},
        {nullptr, ZapDirection::Next, "de_b"}, {nullptr, ZapDirection::Previous, "de_a"},
    };
    for (const ZapCase& row : cases) {
        const lumora::Channel* from = row.from ? &Find(row.from) : nullptr;
        lumora::Channel* next = ZapNeighbour(list, from, row.direction);
        ASSERT_NE(next, nullptr);
        EXPECT_EQ(next->id, row.expected) << (row.from ? row.from : "none");
    }
    const std::vector<lumora::Channel*> one = {&Find("fr_m")};
    EXPECT_EQ(ZapNeighbour(one, &Find("fr_m"), ZapDirection::Next), &Find("fr_m"));
    EXPECT_EQ(ZapNeighbour({}, &Find("fr_m"), ZapDirection::Previous), nullptr);
}

TEST_F(ChannelViewsTest, ChoosersTakeTheOrderingTheyAreGiven) {
    LoadSample();
    // Reverse order as a stand-in for a collation; "all" stays first.
    const TextOrdering reverse = [](const std::u16string& a, const std::u16string& b) {
        return b < a;
    };
    std::vector<std::u16string> texts;
    for (const CountryOption& option : CountryOptions(reverse))
        texts.push_back(option.text);
    EXPECT_EQ(texts,
              (std::vector<std::u16string>{u"All countries", u"Germany", u"France", u"Austria"}));
    EXPECT_EQ(CategoryOptions(reverse).front().record, nullptr);
    EXPECT_EQ(CategoryOptions(reverse)[1].text, u"r");
}

}  // namespace
}  // namespace lumora
