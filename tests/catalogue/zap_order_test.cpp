#include "catalogue/zap_order.h"

#include <string>
#include <vector>

#include "catalogue/channel_tab.h"
#include "catalogue/settings_format.h"
#include "catalogue_test_support.h"

namespace lumora {
namespace {

using test::Ids;
using test::LanguageSpec;

// Reverse order as a stand-in for the collation of another language.
const TextOrdering kReverse = [](const std::u16string& a, const std::u16string& b) {
    return b < a;
};

class ZapOrderTest : public test::CatalogueTestBase {
protected:
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
                                                   {"cat_sp", u"Sport"}}}}});
        LoadLanguages(folder.File("Languages.lngp"));
        const std::u16string path = folder.File("Channels.lmch");
        test::WriteCatalogue(path, "v",
                             {{"de",
                               {Channel("a", u"abc", "n"), Channel("b", u"ABC", "e"),
                                Channel("c", u"Abc", "n"), Channel("d", u"Zulu", "sp")}},
                              {"at", {Channel("x", u"ORF", "n")}},
                              {"fr", {Channel("m", u"M6", "e")}}});
        ASSERT_TRUE(catalogue.LoadCatalogue(path));
    }

    static test::ChannelSpec Channel(std::string node, std::u16string name, std::string category) {
        return {std::move(node), std::move(name), std::move(category), {{0, 100, u"http://s"}}};
    }

    // The entry of the category chooser that shows `text`.
    static int CategoryEntry(std::u16string_view text) {
        const std::vector<CategoryOption> options = CategoryOptions();
        for (std::size_t i = 0; i < options.size(); ++i)
            if (options[i].text == text)
                return static_cast<int>(i);
        return -1;
    }

    lumora::Channel* Find(std::string_view id) { return catalogue.FindChannel(id); }

    Catalogue catalogue;
};

TEST_F(ZapOrderTest, TheListIsTheOneTheChannelListWasLeftOn) {
    AddFavourite(*Find("de_d"));
    AddFavourite(*Find("fr_m"));
    struct ListCase {
        const char* what;
        ChannelTab tab;
        int countryEntry;
        std::u16string_view category;  // empty: all
        bool reversed;
        std::vector<std::string> expected;
    };
    const std::vector<ListCase> cases = {
        {"all",
         ChannelTab::Channels,
         0,
         u"",
         false,
         {"at_x", "fr_m", "de_b", "de_c", "de_d", "de_a"}},
        {"first country", ChannelTab::Channels, 1, u"", false, {"at_x"}},
        {"first country in the other language",
         ChannelTab::Channels,
         1,
         u"",
         true,
         {"de_b", "de_c", "de_d", "de_a"}},
        {"country and category", ChannelTab::Channels, 3, u"News", false, {"de_c", "de_a"}},
        {"category alone", ChannelTab::Channels, 0, u"Entertainment", false, {"fr_m", "de_b"}},
        {"an entry the catalogue no longer has",
         ChannelTab::Channels,
         99,
         u"",
         false,
         {"at_x", "fr_m", "de_b", "de_c", "de_d", "de_a"}},
        {"favourites, the choosers aside",
         ChannelTab::Favourites,
         1,
         u"News",
         false,
         {"fr_m", "de_d"}},
    };
    for (const ListCase& row : cases) {
        SetIntSetting(kSelTab, SettingOfChannelTab(row.tab));
        ZapOrder order;
        order.Place().countryEntry = row.countryEntry;
        order.Place().categoryEntry = row.category.empty() ? 0 : CategoryEntry(row.category);
        EXPECT_EQ(Ids(order.Channels(row.reversed ? kReverse : TextOrdering())), row.expected)
            << row.what;
    }
}

}  // namespace
}  // namespace lumora
