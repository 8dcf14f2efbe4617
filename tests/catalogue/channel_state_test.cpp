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

// Ids filed in ascending order (as the program writes them) are found
// without an index; one out of order, or a repeat, turns the index on, and
// everything filed before stays found.
TEST(ChannelStateTable, AscendingIdsAreFoundAndTheFirstOutOfOrderOneKeepsThemFound) {
    struct Case {
        const char* what;
        std::vector<std::string> ids;
        std::vector<bool> accepted;
    };
    const std::vector<Case> cases = {
        {"ascending", {"aa_1", "aa_2", "ab_1", "b"}, {true, true, true, true}},
        {"a repeat while ascending", {"aa_1", "aa_2", "aa_2", "ab_1"}, {true, true, false, true}},
        {"out of order late",
         {"aa_1", "aa_3", "ab_1", "aa_2", "aa_1"},
         {true, true, true, true, false}},
        {"descending", {"c", "b", "a", "b"}, {true, true, true, false}},
    };
    for (const Case& c : cases) {
        ChannelStateTable table;
        table.Reserve(c.ids.size(), 16);
        for (std::size_t i = 0; i < c.ids.size(); ++i)
            EXPECT_EQ(table.Add(c.ids[i], {false, static_cast<int>(i), {}}), c.accepted[i])
                << c.what << " " << i;
        std::size_t cursor = 0;
        for (std::size_t i = 0; i < c.ids.size(); ++i) {
            if (!c.accepted[i])
                continue;
            const ChannelState* state = table.Find(c.ids[i]);
            ASSERT_NE(state, nullptr) << c.what << " " << c.ids[i];
            EXPECT_EQ(state->streamIndex, static_cast<int>(i)) << c.what;
            EXPECT_EQ(table.FindNear(c.ids[i], cursor), state) << c.what;
        }
        for (const char* missing : {"", "a_", "aa_0", "zz"})
            EXPECT_EQ(table.Find(missing), nullptr) << c.what << " " << missing;
    }
}

}  // namespace
}  // namespace lumora
