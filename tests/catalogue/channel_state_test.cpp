#include "catalogue/channel_state.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumora {
namespace {

TEST(ChannelStateTable, FindsEveryIdPastItsGrowthAndKeepsTheFirstOfARepeatedOne) {
    ChannelStateTable table;
    for (int i = 0; i < 1000; ++i)
        ASSERT_TRUE(table.Add("de_" + std::to_string(i), {i % 2 == 0, i, {}}));
    EXPECT_FALSE(table.Add("de_7", {true, 99, {}}));
    ASSERT_EQ(table.Size(), 1000u);
    for (int i = 0; i < 1000; ++i) {
        const ChannelState* state = table.Find("de_" + std::to_string(i));
        ASSERT_NE(state, nullptr) << i;
        EXPECT_EQ(state->streamIndex, i);
        EXPECT_EQ(state->favourite, i % 2 == 0);
    }
    EXPECT_EQ(table.IdAt(999), "de_999");
    EXPECT_EQ(table.Find("de_1000"), nullptr);
    EXPECT_EQ(table.Find(""), nullptr);
    EXPECT_EQ(ChannelStateTable().Find("de_1"), nullptr);
}

// Asked in filing order, out of it, for missing ids and past the end, the
// cursor road finds what Find finds.
TEST(ChannelStateTable, FindingNearTheCursorFindsWhatFindFinds) {
    ChannelStateTable table;
    for (int i = 0; i < 50; ++i)
        table.Add("at_" + std::to_string(i), {false, i, {}});
    const std::vector<std::string> asked = {"at_0", "at_1", "at_2",  "at_40", "at_41", "at_3",
                                            "nope", "at_4", "at_49", "at_49", "at_0",  ""};
    std::size_t cursor = 0;
    for (const std::string& id : asked) {
        const ChannelState* near = table.FindNear(id, cursor);
        EXPECT_EQ(near, table.Find(id)) << id;
        EXPECT_LE(cursor, table.Size());
    }
    std::size_t emptyCursor = 0;
    EXPECT_EQ(ChannelStateTable().FindNear("at_1", emptyCursor), nullptr);
}

}  // namespace
}  // namespace lumora
