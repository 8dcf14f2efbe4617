// Now and next from the store's packed timeline: the same answers as the
// schedule's queries on a varied generated guide, and a damaged timeline
// refused part by part and store by store, the schedule answering instead.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "guide/guide_import.h"
#include "guide/guide_store.h"
#include "guide/guide_store_schema.h"
#include "guide/guide_time.h"
#include "guide/guide_timeline.h"
#include "guide/timeline_part.h"
#include "guide_samples.h"
#include "scratch_folder.h"

namespace lumora {
namespace {

using test::Channel;
using test::Guide;
using test::Programme;
using test::XmltvStamp;

constexpr std::int64_t kBase = 2051222400;  // 2035-01-01T00:00:00Z
constexpr int kGuideChannels = 5;

std::string GuideId(int channel) {
    return "Ch" + std::to_string(channel) + ".Example";
}

// Each channel's day: programmes of many lengths with gaps, some without
// stop, some overlapping the next, and programmes of no length, alone, in
// runs, and at the start of another. The last channel has none.
std::string VariedGuide() {
    std::string body;
    std::uint32_t seed = 7;
    const auto next = [&seed](std::uint32_t range) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % range;
    };
    for (int c = 0; c < kGuideChannels; ++c)
        body += Channel(GuideId(c), "Channel " + std::to_string(c));
    for (int c = 0; c + 1 < kGuideChannels; ++c) {
        std::int64_t t = kBase + 60 * next(120);
        for (int p = 0; t < kBase + 86400; ++p) {
            const std::string title = GuideId(c) + " #" + std::to_string(p);
            const std::int64_t length = 60 * (1 + next(90));
            switch (next(10)) {
            case 0:  // no length; sometimes a run of them
                for (std::uint32_t n = 1 + next(3); n > 0; --n, t += 60 * next(2))
                    body += Programme(GuideId(c), XmltvStamp(t), XmltvStamp(t), title);
                break;
            case 1:  // no stop: ends where the next starts
                body += Programme(GuideId(c), XmltvStamp(t), "", title);
                t += length;
                break;
            case 2:  // runs into the next one
                body += Programme(GuideId(c), XmltvStamp(t), XmltvStamp(t + 2 * length), title);
                t += length;
                break;
            case 3:  // a gap after it
                body += Programme(GuideId(c), XmltvStamp(t), XmltvStamp(t + length), title);
                t += length + 60 * (1 + next(40));
                break;
            default:
                body += Programme(GuideId(c), XmltvStamp(t), XmltvStamp(t + length), title);
                t += length;
            }
        }
    }
    return Guide(body);
}

// Several Lumora channels on one guide channel with other shifts, one on
// the channel without programmes, and one that matches nothing.
std::vector<CatalogueChannel> VariedCatalogue() {
    std::vector<CatalogueChannel> catalogue;
    const int shifts[] = {0, 60, -90, 30, 0};
    for (int c = 0; c < kGuideChannels; ++c)
        catalogue.push_back({"l" + std::to_string(c), GuideId(c), "", "", shifts[c]});
    catalogue.push_back({"l0_late", GuideId(0), "", "", 150});
    catalogue.push_back({"l1_early", GuideId(1), "", "", -30});
    catalogue.push_back({"unmatched", "nowhere", "", "", 0});
    return catalogue;
}

bool Import(const std::string& store, const std::string& guide,
            std::optional<std::vector<CatalogueChannel>> catalogue) {
    GuideImportOptions options;
    options.now = kBase;
    std::string error;
    auto import = GuideImport::Begin(store, options, error);
    if (!import)
        return false;
    import->BeginGuide("varied");
    return import->Feed(guide) && import->EndGuide() && import->Commit(std::move(catalogue));
}

bool ExecOn(const std::string& path, const std::string& sql) {
    sqlite3* database = nullptr;
    bool done = sqlite3_open(path.c_str(), &database) == SQLITE_OK &&
                sqlite3_exec(database, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(database);
    return done;
}

std::string Describe(const std::optional<ProgrammeSummary>& programme) {
    if (!programme)
        return "-";
    return std::to_string(programme->id) + " " + FormatUtcTime(programme->start) + " " +
           FormatUtcTime(programme->stop) + " " + programme->title;
}

// Every answer for `channels` from an hour before the guides to an hour
// after, minute by minute, one line each.
std::vector<std::string> AnswersOf(const std::string& path,
                                   const std::vector<std::string>& channels) {
    std::string error;
    auto store = GuideStore::Open(path, error);
    EXPECT_TRUE(store) << error;
    std::vector<std::string> lines;
    for (std::int64_t at = kBase - 3600; store && at < kBase + 90000; at += 60) {
        for (const NowAndNext& row : store->NowAndNextOf(channels, at)) {
            lines.push_back(FormatUtcTime(at) + " " + row.channel + " now " + Describe(row.now) +
                            " next " + Describe(row.next));
        }
    }
    return lines;
}

class GuideTimelineTest : public ::testing::Test {
protected:
    // The store, and a copy without its timeline that the schedule answers.
    void ImportBoth(std::optional<std::vector<CatalogueChannel>> catalogue) {
        ASSERT_TRUE(Import(store_, VariedGuide(), std::move(catalogue)));
        std::filesystem::copy_file(store_, scheduleOnly_);
        ASSERT_TRUE(ExecOn(scheduleOnly_, "DROP TABLE timeline"));
    }
    test::ScratchFolder scratch_;
    const std::string store_ = scratch_ / "guide.sqlite";
    const std::string scheduleOnly_ = scratch_ / "schedule-only.sqlite";
};

TEST_F(GuideTimelineTest, AnswersEqualTheSchedulesWithAndWithoutCatalogue) {
    ImportBoth(VariedCatalogue());
    std::vector<std::string> channels{"missing"};
    for (const CatalogueChannel& channel : VariedCatalogue())
        channels.push_back(channel.lumoraId);
    const std::vector<std::string> answers = AnswersOf(store_, channels);
    EXPECT_EQ(answers, AnswersOf(scheduleOnly_, channels));
    // Not an empty agreement: the guide is on most of the time.
    EXPECT_GT(std::count_if(
                  answers.begin(), answers.end(),
                  [](const std::string& line) { return line.find(" now -") == std::string::npos; }),
              static_cast<std::ptrdiff_t>(answers.size() / 2));

    std::filesystem::remove(store_);
    std::filesystem::remove(scheduleOnly_);
    ImportBoth(std::nullopt);
    channels = {"missing"};
    for (int c = 0; c < kGuideChannels; ++c)
        channels.push_back(c % 2 == 0 ? GuideId(c) : GuideIdKey(GuideId(c)));
    EXPECT_EQ(AnswersOf(store_, channels), AnswersOf(scheduleOnly_, channels));
}

TEST_F(GuideTimelineTest, TheNextIsFoundPastAnyRunOfProgrammesOfNoLength) {
    std::string body = Programme("a", "203501011000", "203501011100", "Before");
    for (int minute = 0; minute < 6; ++minute) {
        const std::string at =
            "2035010111" + std::string(minute < 10 ? "0" : "") + std::to_string(minute);
        body += Programme("a", at, at, "Marker");
    }
    body += Programme("a", "203501011200", "203501011300", "After");
    ASSERT_TRUE(Import(store_, Guide(body), std::nullopt));
    std::filesystem::copy_file(store_, scheduleOnly_);
    ASSERT_TRUE(ExecOn(scheduleOnly_, "DROP TABLE timeline"));
    for (const std::string& path : {store_, scheduleOnly_}) {
        std::string error;
        auto store = GuideStore::Open(path, error);
        ASSERT_TRUE(store) << error;
        for (const char* at : {"203501011030", "203501011102", "203501011130"}) {
            const NowAndNext row = store->NowAndNextOf({"a"}, ParseXmltvTime(at)->utc).front();
            ASSERT_TRUE(row.next) << path << " at " << at;
            EXPECT_EQ(row.next->title, "After") << path << " at " << at;
        }
    }
}

TEST_F(GuideTimelineTest, ADamagedTimelineIsRefusedAndTheScheduleAnswers) {
    ImportBoth(VariedCatalogue());
    const std::vector<std::string> channels{"l0", "l1", "l2", "l0_late", "l4"};
    const std::string firstPart = " WHERE channel = (SELECT min(channel) FROM timeline)";
    struct Damage {
        std::string sql;
        bool toSchedule = false;  // damages what the schedule answers with too
    };
    const Damage damages[] = {
        {"UPDATE timeline SET programmes = x'FFFFFF7F' || substr(programmes, 5)" + firstPart},
        {"UPDATE timeline SET programmes = substr(programmes, 1, length(programmes) - 1)" +
         firstPart},
        {"UPDATE timeline SET programmes = programmes || x'00'" + firstPart},
        {"UPDATE timeline SET programmes = 'text'" + firstPart},
        {"UPDATE timeline SET programmes = x''" + firstPart},
        {"DELETE FROM timeline" + firstPart},
        {"UPDATE meta SET value = '99999999999999' WHERE key = 'timeline_programmes'"},
        {"UPDATE meta SET value = '-1' WHERE key = 'timeline_title_bytes'"},
        {"DELETE FROM meta WHERE key = 'timeline_programmes'"},
        {"UPDATE matches SET shift = 9223372036854775807 WHERE lumora_id = 'l1'", true},
    };
    const std::string damaged = scratch_ / "damaged.sqlite";
    const std::string damagedSchedule = scratch_ / "damaged-schedule.sqlite";
    for (const Damage& damage : damages) {
        for (const std::string& path : {damaged, damagedSchedule})
            std::filesystem::remove(path);
        std::filesystem::copy_file(store_, damaged);
        std::filesystem::copy_file(scheduleOnly_, damagedSchedule);
        ASSERT_TRUE(ExecOn(damaged, damage.sql)) << damage.sql;
        if (damage.toSchedule) {
            ASSERT_TRUE(ExecOn(damagedSchedule, damage.sql)) << damage.sql;
        }
        EXPECT_EQ(AnswersOf(damaged, channels), AnswersOf(damagedSchedule, channels)) << damage.sql;
    }
}

// A part of two programmes of channel 1 as the import writes it, and where
// its fields lie.
struct PartBytes {
    std::string bytes;
    static constexpr std::size_t kFirst = guide_schema::kTimelineCountBytes;
    static constexpr std::size_t kSecond = kFirst + guide_schema::kTimelineEntryBytes;
    static constexpr std::size_t kStop = 8, kProgramme = 16, kTitleBytes = 24;

    PartBytes() {
        TimelinePart part;
        part.Add(kBase, kBase + 600, 1, "One");
        part.Add(kBase + 600, kBase + 1200, 2, "Two");
        bytes = std::string(part.Bytes());
    }
    PartBytes& Set(std::size_t at, std::uint64_t value, std::size_t size) {
        guide_schema::PutLittleEndian(bytes.data() + at, value, size);
        return *this;
    }
};

std::string FourProgrammes() {
    TimelinePart part;
    for (int p = 0; p < 4; ++p)
        part.Add(kBase + p * 600, kBase + p * 600 + 600, p, "");
    return std::string(part.Bytes());
}

TEST(GuideTimelineParts, APartIsTakenOnlyWhenEveryCountAndTimeHolds) {
    struct Row {
        const char* what;
        std::string bytes;
        std::int64_t channel = 1;
        bool taken = false;
    };
    const std::int64_t tooLate = (std::int64_t{1} << 40) + 1;
    const Row rows[] = {
        {"as written", PartBytes().bytes, 1, true},
        {"no bytes", "", 1, false},
        {"a count past the entries", PartBytes().Set(0, 3, 4).bytes},
        {"a count that overflows", PartBytes().Set(0, 0xFFFFFFFF, 4).bytes},
        {"a title past the end", PartBytes().Set(PartBytes::kSecond + 24, 4, 4).bytes},
        {"a title length that overflows",
         PartBytes().Set(PartBytes::kFirst + 24, 0xFFFFFFFF, 4).bytes},
        {"bytes after the titles", PartBytes().bytes + "x"},
        {"a programme of no length",
         PartBytes().Set(PartBytes::kFirst + PartBytes::kStop, kBase, 8).bytes},
        {"stop before start",
         PartBytes().Set(PartBytes::kFirst + PartBytes::kStop, kBase - 1, 8).bytes},
        {"overlapping programmes",
         PartBytes().Set(PartBytes::kFirst + PartBytes::kStop, kBase + 601, 8).bytes},
        {"a time past the bound",
         PartBytes().Set(PartBytes::kSecond + PartBytes::kStop, tooLate, 8).bytes},
        {"a programme row past 32 bits",
         PartBytes().Set(PartBytes::kFirst + PartBytes::kProgramme, 1ull << 32, 8).bytes},
        {"an earlier channel than the last", PartBytes().bytes, 0, false},
        {"overlapping the channel's earlier part", PartBytes().bytes, 2, false},
        {"more than the reserved room", FourProgrammes(), 3, false},
    };
    for (const Row& row : rows) {
        GuideTimeline timeline(GuideTimeline::Names::Exact);
        ASSERT_TRUE(timeline.Reserve(4, 12));
        // Channel 2 holds one programme already, channel 1 none.
        TimelinePart earlier;
        earlier.Add(kBase + 900, kBase + 1000, 9, "");
        ASSERT_TRUE(timeline.AddPart(1, std::string(4, '\0')));
        ASSERT_TRUE(timeline.AddPart(2, earlier.Bytes()));
        ASSERT_TRUE(timeline.AddName("one", "One", 1, 0));
        ASSERT_TRUE(timeline.AddName("two", "Two", 2, 0));
        const std::int64_t channel = row.channel == 1 ? 3 : row.channel;
        EXPECT_EQ(timeline.AddPart(channel, row.bytes), row.taken) << row.what;
        EXPECT_EQ(timeline.Programmes(), row.taken ? 3u : 1u) << row.what;
        ASSERT_TRUE(timeline.AddName("three", "Three", 3, 3600));
        const NowAndNext three = timeline.NowAndNextOf({"three"}, kBase + 3900).front();
        EXPECT_EQ(three.channel, "Three") << row.what;
        EXPECT_EQ(three.now ? three.now->title : "-", row.taken ? "One" : "-") << row.what;
        EXPECT_EQ(three.next ? three.next->title : "-", row.taken ? "Two" : "-") << row.what;
    }
}

TEST(GuideTimelineParts, ARoomOrAShiftOutOfBoundsIsRefused) {
    GuideTimeline timeline(GuideTimeline::Names::IgnoringCase);
    EXPECT_FALSE(timeline.Reserve(GuideTimeline::kMaxBytes / 24 + 1, 0));
    EXPECT_FALSE(timeline.Reserve(0, GuideTimeline::kMaxBytes + 1));
    EXPECT_FALSE(timeline.Reserve(~0ull, ~0ull));
    ASSERT_TRUE(timeline.Reserve(0, 0));
    EXPECT_FALSE(timeline.AddName("a", "A", 1, std::int64_t{1} << 41));
    EXPECT_TRUE(timeline.AddName("B", "B", 1, -3600));
    EXPECT_TRUE(timeline.AddName("b", "second", 1, 0));  // the first of one key stays
    const auto rows = timeline.NowAndNextOf({"b", "a"}, kBase);
    EXPECT_EQ(rows[0].channel, "B");
    EXPECT_EQ(rows[1].channel, "a");
}

}  // namespace
}  // namespace lumora
