#include "catalogue/stream_fallback.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace lumora {
namespace {

using Action = StreamFallback::Action;
using Event = StreamFallback::Event;

// One play request: the channel's number of streams, the chosen one, and
// what the player reports of each tried stream: 'c' connecting, 'p'
// playing, 'f' could not be opened, 'l' lost after playing, 'e' ended
// (stopped). The steps are written as "s" (show the report), "y" (keep
// saying which stream is tried), "t2" (try stream 2 now), "r2" (again
// later), "g" (give up), "e" (the request is over).
struct FallbackCase {
    std::size_t streams;
    std::size_t first;
    std::string events;
    std::vector<std::string> steps;
};

Event EventOf(char letter) {
    switch (letter) {
    case 'c': return Event::Connecting;
    case 'p': return Event::Playing;
    case 'f': return Event::OpenFailed;
    case 'l': return Event::Lost;
    default: return Event::Ended;
    }
}

std::string Written(const StreamFallback::Step& step) {
    switch (step.action) {
    case Action::ShowReport: return "s";
    case Action::ShowTrying: return "y";
    case Action::TryStream: return "t" + std::to_string(step.stream);
    case Action::RetryLater: return "r" + std::to_string(step.stream);
    case Action::GiveUp: return "g";
    case Action::Ended: return "e";
    }
    return "?";
}

// Every report says which event it was and when: "f0", "l3", ...
std::u16string ReportText(char letter, std::size_t position) {
    std::u16string text(1, static_cast<char16_t>(letter));
    for (char digit : std::to_string(position))
        text += static_cast<char16_t>(digit);
    return text;
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
        // Connecting reports of a fallback stream keep naming it until it plays.
        {3, 0, "cfccfcp", {"s", "t1", "y", "y", "t2", "y", "s"}},
        {3, 0, "fcpc", {"t1", "y", "s", "s"}},
        // A lost fallback stream is retried still named; the chosen one is not.
        {2, 0, "fclc", {"t1", "y", "r1", "y"}},
        {2, 0, "cplc", {"s", "s", "r0", "s"}},
        // A stop ends the request; later reports are shown as they come.
        {3, 0, "fef", {"t1", "e", "s"}},
        {3, 0, "ce", {"s", "e"}},
        // After giving up nothing is the fallback's any more.
        {1, 0, "fcf", {"g", "s", "s"}},
    };
    for (const FallbackCase& row : cases) {
        const std::vector<Stream> streams(row.streams);
        StreamFallback fallback;
        fallback.Start(streams, row.first);
        EXPECT_TRUE(fallback.Active());
        std::vector<std::string> steps;
        for (std::size_t i = 0; i < row.events.size(); ++i) {
            const char letter = row.events[i];
            steps.push_back(Written(fallback.OnReport(EventOf(letter), ReportText(letter, i))));
        }
        EXPECT_EQ(steps, row.steps)
            << row.streams << " streams from " << row.first << ": " << row.events;
        const bool over = std::count(steps.begin(), steps.end(), "g") +
                              std::count(steps.begin(), steps.end(), "e") >
                          0;
        EXPECT_EQ(fallback.Active(), !over) << row.events;
    }
}

TEST(StreamFallbackTest, TheFirstFailureIsKeptForWhenAllFail) {
    struct FailureCase {
        std::string events;
        std::u16string first;
    };
    const std::vector<FailureCase> cases = {
        {"fff", u"f0"},
        {"cpllff", u"l2"},
        {"cf", u"f1"},
    };
    for (const FailureCase& row : cases) {
        const std::vector<Stream> streams(3);
        StreamFallback fallback;
        fallback.Start(streams, 0);
        for (std::size_t i = 0; i < row.events.size(); ++i)
            fallback.OnReport(EventOf(row.events[i]), ReportText(row.events[i], i));
        EXPECT_EQ(fallback.FirstFailure(), row.first) << row.events;
    }

    // A failure without a text leaves the next one to be told.
    const std::vector<Stream> streams(3);
    StreamFallback fallback;
    fallback.Start(streams, 0);
    fallback.OnReport(Event::OpenFailed, u"");
    fallback.OnReport(Event::OpenFailed, u"second");
    EXPECT_EQ(fallback.FirstFailure(), u"second");
}

TEST(StreamFallbackTest, StepsNameTheChannelsOwnStreamsOnlyWhileTheRequestRuns) {
    const std::vector<Stream> streams = {{1, u"http://a/1", u"", u""},
                                         {2, u"http://b/2", u"", u""}};
    StreamFallback fallback;
    fallback.Start(streams, 1);
    EXPECT_EQ(fallback.Count(), 2u);
    EXPECT_EQ(fallback.StreamAt(1), &streams[1]);
    EXPECT_EQ(fallback.StreamAt(2), nullptr);
    const StreamFallback::Step step = fallback.OnReport(Event::OpenFailed, u"refused");
    ASSERT_EQ(Written(step), "t0");
    EXPECT_EQ(fallback.StreamAt(step.stream), &streams[0]);
    EXPECT_EQ(fallback.Current(), 0u);

    fallback.Stop();
    EXPECT_FALSE(fallback.Active());
    EXPECT_EQ(fallback.StreamAt(0), nullptr);
    EXPECT_TRUE(fallback.FirstFailure().empty());
}

TEST(StreamFallbackTest, ANewRequestStartsOverAndAChannelWithoutStreamsHasNone) {
    StreamFallback fallback;
    fallback.Start({}, 0);
    EXPECT_FALSE(fallback.Active());
    EXPECT_EQ(Written(fallback.OnReport(Event::OpenFailed, u"x")), "s");

    const std::vector<Stream> streams(2);
    fallback.Start(streams, 0);
    fallback.OnReport(Event::OpenFailed, u"first");
    fallback.Start(streams, 0);
    EXPECT_EQ(fallback.Current(), 0u);
    EXPECT_TRUE(fallback.FirstFailure().empty());
    EXPECT_EQ(Written(fallback.OnReport(Event::Connecting, u"")), "s");
    EXPECT_EQ(Written(fallback.OnReport(Event::OpenFailed, u"again")), "t1");
}

}  // namespace
}  // namespace lumora
