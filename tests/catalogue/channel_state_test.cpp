#include "catalogue/channel_state.h"

#include <gtest/gtest.h>

#include <string>

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

}  // namespace
}  // namespace lumora
