#include "catalogue/stream_fallback.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumora {
namespace {

using Action = StreamFallback::Action;

// One play request: the channel's streams, the chosen one, and what each
// tried stream does ('f' fails to open, 'l' is lost after playing); the
// steps taken, written as "t2" (try stream 2 now), "r2" (again later),
// "g" (give up).
struct FallbackCase {
    std::size_t streams;
    std::size_t first;
    std::string events;
    std::vector<std::string> steps;
};

std::string Written(const StreamFallback::Step& step) {
    switch (step.action) {
    case Action::TryStream: return "t" + std::to_string(step.stream);
    case Action::RetryLater: return "r" + std::to_string(step.stream);
    case Action::GiveUp: return "g";
    }
    return "?";
}

TEST(StreamFallbackTest, EachStreamIsTriedOnceInListOrderAndALostOneAgainFirst) {
    const std::vector<FallbackCase> cases = {
        {3, 0, "ff", {"t1", "t2"}},        // the third stream plays
        {3, 0, "fff", {"t1", "t2", "g"}},  // all fail
        {3, 1, "fff", {"t2", "t0", "g"}},  // from the chosen one, wrapping
        {3, 2, "f", {"t0"}},
        {1, 0, "f", {"g"}},          // nothing else to try
        {2, 0, "l", {"r0"}},         // lost: the same stream once more
        {2, 0, "ll", {"r0", "t1"}},  // lost again: the next one
        {2, 0, "lf", {"r0", "t1"}},  // the retry cannot open: the next one
        {2, 0, "llf", {"r0", "t1", "g"}},
        {2, 0, "lll", {"r0", "t1", "r1"}},  // the next one plays, then is lost
        {2, 0, "llll", {"r0", "t1", "r1", "g"}},
        {3, 0, "fl", {"t1", "r1"}},
    };
    for (const FallbackCase& row : cases) {
        StreamFallback fallback;
        fallback.Start(row.streams, row.first);
        EXPECT_TRUE(fallback.Active());
        std::vector<std::string> steps;
        for (char event : row.events)
            steps.push_back(Written(event == 'f' ? fallback.OnOpenFailed() : fallback.OnLost()));
        EXPECT_EQ(steps, row.steps)
            << row.streams << " streams from " << row.first << ": " << row.events;
        EXPECT_EQ(fallback.Active(), steps.back() != "g");
    }
}

TEST(StreamFallbackTest, ANewRequestStartsOverAndStopEndsIt) {
    StreamFallback fallback;
    fallback.Start(0, 0);
    EXPECT_FALSE(fallback.Active());
    EXPECT_EQ(fallback.OnOpenFailed().action, Action::GiveUp);

    fallback.Start(2, 0);
    fallback.OnOpenFailed();
    fallback.Start(2, 0);
    EXPECT_EQ(fallback.Current(), 0u);
    EXPECT_EQ(Written(fallback.OnOpenFailed()), "t1");
    fallback.Stop();
    EXPECT_FALSE(fallback.Active());
    EXPECT_EQ(fallback.OnLost().action, Action::GiveUp);
}

}  // namespace
}  // namespace lumora
