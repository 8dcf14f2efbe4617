#include "catalogue/channel_search.h"

#include "catalogue_test_support.h"

namespace lumora {
namespace {

struct SearchCase {
    std::u16string query;
    std::vector<std::string> expected;
};

// Names from several scripts; the subtitle carries the country name.
class ChannelSearchTest : public test::CatalogueTestBase {
protected:
    void SetUp() override {
        CatalogueTestBase::SetUp();
        test::WriteLanguagePack(folder.File("Languages.lngp"), {{0,
                                                                 {u"English",
                                                                  u"en",
                                                                  {{"c_de", u"Deutschland"},
                                                                   {"c_gr", u"Ελλάδα"},
                                                                   {"c_fr", u"France"},
                                                                   {"str_kb", u" kb/s"}}}}});
        LoadLanguages(folder.File("Languages.lngp"));
        auto channel = [](std::string node, std::u16string name) {
            return test::ChannelSpec{
                std::move(node), std::move(name), "n", {{0, 800, u"http://s"}}};
        };
        test::WriteCatalogue(folder.File("Channels.lmch"), "v",
                             {{"de", {channel("m", u"München TV"), channel("z", u"ZDF")}},
                              {"fr", {channel("c", u"Café Télé"), channel("l", u"ŁÓDŹ ŒUVRE")}},
                              {"gr", {channel("e", u"ερτ World"), channel("s", u"Σκάι")}}});
        ASSERT_TRUE(catalogue.LoadCatalogue(folder.File("Channels.lmch")));
    }

    Catalogue catalogue;
};

TEST_F(ChannelSearchTest, QueriesMatchNameAndSubtitleWithoutCaseOrAccents) {
    const std::vector<SearchCase> cases = {
        {u"cafe", {"fr_c"}},            // an accent in the name
        {u"CAFÉ", {"fr_c"}},            // an accent in the query too
        {u"munchen", {"de_m"}},         // umlaut
        {u"Mu\u0308nchen", {"de_m"}},   // a decomposed umlaut in the query
        {u"ΕΡΤ", {"gr_e"}},             // Greek capitals find small letters
        {u"σκαι", {"gr_s"}},            // Greek tonos
        {u"lodz oeuvre", {}},           // a ligature is no pair of letters
        {u"łódź œuvre", {"fr_l"}},      // Latin Extended-A, in lower case
        {u"ellada", {}},                // no transliteration
        {u"ελλαδα", {"gr_e", "gr_s"}},  // the subtitle's country name
        {u"800", {"de_m", "de_z", "fr_c", "fr_l", "gr_e", "gr_s"}},  // bit rate in the subtitle
        {u"  zdf  ", {"de_z"}},                                      // blanks around the query
        {u"tv deutschland", {}},  // never across name and subtitle
        {u"", {"de_m", "de_z", "fr_c", "fr_l", "gr_e", "gr_s"}},
        {u"   ", {"de_m", "de_z", "fr_c", "fr_l", "gr_e", "gr_s"}},
        {u"xyz", {}},
    };
    for (const SearchCase& row : cases) {
        std::vector<std::string> found = test::Ids(SearchChannels(AllChannels(), row.query));
        std::sort(found.begin(), found.end());
        EXPECT_EQ(found, row.expected) << ToUtf8(row.query);
    }
}

TEST_F(ChannelSearchTest, SearchKeepsTheOrderAndFollowsAChosenStream) {
    std::vector<Channel*> list = AllChannels();
    std::reverse(list.begin(), list.end());
    EXPECT_EQ(test::Ids(SearchChannels(list, u"e")), test::Ids(SearchChannels(list, u"E")));
    EXPECT_TRUE(SearchChannels(list, u"1500").empty());

    test::WriteCatalogue(
        folder.File("Channels.lmch"), "v",
        {{"de", {{"a", u"Alpha", "n", {{0, 800, u"http://a"}, {1, 1500, u"http://b"}}}}}});
    ASSERT_TRUE(catalogue.LoadCatalogue(folder.File("Channels.lmch")));
    Channel& alpha = *catalogue.FindChannel("de_a");
    EXPECT_TRUE(SearchChannels(AllChannels(), u"1500").empty());
    EXPECT_FALSE(ChooseStream(alpha, 2));
    ASSERT_TRUE(ChooseStream(alpha, 1));
    EXPECT_EQ(alpha.subtitle, u"Deutschland (1500 kb/s)");
    EXPECT_EQ(test::Ids(SearchChannels(AllChannels(), u"1500")), std::vector<std::string>{"de_a"});
}

}  // namespace
}  // namespace lumora
