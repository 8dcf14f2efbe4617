// Which guide channel a catalogue channel shows.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "guide/channel_matcher.h"

namespace lumora {
namespace {

const std::vector<GuideChannelNames> kGuide = {
    {1, "BBCOne.uk", {"BBC One", "BBC 1"}}, {2, "Arte.fr", {"ARTE", "Arte Français"}},
    {3, "Das-Erste.de", {"Das Erste"}},     {4, "ZDF.de", {"ZDF", "Čt 24"}},
    {5, "zdf.DE", {"ZDF Duplicate"}},  // the same id in another case: the first counts
    {6, "Other.uk", {"BBC One"}},      // a name seen before: the first counts
    {7, "Rai-1.it", {"Rai_1 HD"}},
};

struct MatchRow {
    const char* what;
    CatalogueChannel channel;
    std::int64_t guideChannel;  // 0: none
    MatchRule rule = MatchRule::Id;
};

TEST(ChannelMatching, TheFirstRuleThatHoldsWins) {
    const MatchRow rows[] = {
        {"tvg-id, other case", {"uk_bbc1", "bbcone.UK", "", "Something"}, 1, MatchRule::Id},
        {"tvg-id before tvg-name", {"uk_x", "Arte.fr", "BBC One", "ZDF"}, 2, MatchRule::Id},
        {"an unknown tvg-id falls through to tvg-name",
         {"uk_y", "Nope", "bbc 1", ""},
         1,
         MatchRule::TvgName},
        {"tvg-name before name", {"de_z", "", "Das Erste", "ARTE"}, 3, MatchRule::TvgName},
        {"name, accents and case", {"fr_a", "", "", "arte francais"}, 2, MatchRule::Name},
        {"name, Czech caron", {"cz_c", "", "", "CT 24"}, 4, MatchRule::Name},
        {"blanks, '_' and '-' alike, runs as one",
         {"it_r", "", "", "  rai - 1__hd "},
         7,
         MatchRule::Name},
        {"first guide channel of one id", {"de_zdf", "ZDF.DE", "", ""}, 4, MatchRule::Id},
        {"first guide channel of one name", {"uk_o", "", "", "BBC-One"}, 1, MatchRule::Name},
        {"ids are not names", {"uk_n", "", "", "BBCOne.uk"}, 0},
        {"a tvg-id is not compared as a name", {"uk_i", "BBC One", "", ""}, 0},
        {"nothing", {"xx_none", "", "", "Unknown TV"}, 0},
        {"empty everything", {"xx_empty", "", "", ""}, 0},
        {"separators only", {"xx_sep", "", "- _", "--"}, 0},
    };
    const ChannelMatcher matcher(kGuide);
    for (const MatchRow& row : rows) {
        const std::optional<ChannelMatch> match = matcher.Match(row.channel);
        if (row.guideChannel == 0) {
            EXPECT_FALSE(match) << row.what;
            continue;
        }
        ASSERT_TRUE(match) << row.what;
        EXPECT_EQ(match->channel, row.guideChannel) << row.what;
        EXPECT_EQ(match->rule, row.rule) << row.what;
    }
}

TEST(ChannelMatching, SeveralCatalogueChannelsMayShareAGuideChannel) {
    const ChannelMatcher matcher(kGuide);
    const auto hd = matcher.Match({"uk_bbc1hd", "", "", "BBC One"});
    const auto sd = matcher.Match({"uk_bbc1sd", "BBCOne.uk", "", ""});
    ASSERT_TRUE(hd && sd);
    EXPECT_EQ(hd->channel, sd->channel);
}

TEST(ChannelMatching, TheFoldIsTheChannelSearchsWithSeparatorsAlike) {
    EXPECT_EQ(FoldChannelName("Ελληνική  Τηλεόραση"), "ελληνικη τηλεοραση");
    EXPECT_EQ(FoldChannelName("_Čt-24_"), "ct 24");
    EXPECT_EQ(FoldChannelName("Ü\xC2\xA0TV"), "u tv");
    EXPECT_EQ(GuideIdKey("BBCOne.UK"), "bbcone.uk");
}

}  // namespace
}  // namespace lumora
