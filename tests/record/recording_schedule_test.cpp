// The recordings kept in "Recordings.lmrc": a schedule that survives a
// restart, what a restart makes of what was running or due, and files that
// are not what they should be.

#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <utility>

#include "document/doc_node.h"
#include "record/recording_schedule.h"
#include "scratch_folder.h"

namespace lumora {
namespace {

constexpr std::int64_t kEight = 1'765'310'400;  // 2025-12-09 20:00 UTC

ScheduledRecording Programme(std::string title, std::int64_t start, std::int64_t stop) {
    ScheduledRecording entry;
    entry.channelId = "de_Eins";
    entry.channelName = "Das Erste";
    entry.title = std::move(title);
    entry.description = "Nachrichten \u00fcber alles";
    entry.start = start;
    entry.stop = stop;
    return entry;
}

RecordingOutcome Completed() {
    RecordingOutcome outcome;
    outcome.status = RecordingStatus::Completed;
    return outcome;
}

TEST(RecordingSchedule, SurvivesARestartWithEveryField) {
    test::ScratchFolder scratch;
    const std::u16string path = scratch.File("Recordings.lmrc");
    RecordingSchedule schedule;
    const auto news = schedule.Add(Programme("Tagesschau", kEight, kEight + 900));
    const auto film = schedule.Add(Programme("Tatort", kEight + 900, kEight + 6300));
    ASSERT_TRUE(news && film);
    EXPECT_NE(*news, *film);
    RecordingOutcome outcome;
    outcome.status = RecordingStatus::StreamLost;
    outcome.bytes = 5'000'000'000;  // beyond 32 bits
    outcome.gaps = {{10, 120}};
    outcome.error = "the stream was lost";
    schedule.MarkRunning(*news, "/home/ana/Videos/Lumora/Das Erste \u2013 Tagesschau.ts");
    schedule.MarkEnded(*news, outcome);
    ASSERT_TRUE(schedule.Save(path));

    RecordingSchedule again;
    ASSERT_TRUE(again.Load(path));
    ASSERT_EQ(again.Entries().size(), 2u);
    const ScheduledRecording& read = again.Entries()[0];
    EXPECT_EQ(read.id, *news);
    EXPECT_EQ(read.channelId, "de_Eins");
    EXPECT_EQ(read.channelName, "Das Erste");
    EXPECT_EQ(read.title, "Tagesschau");
    EXPECT_EQ(read.description, "Nachrichten \u00fcber alles");
    EXPECT_EQ(read.start, kEight);
    EXPECT_EQ(read.stop, kEight + 900);
    EXPECT_EQ(read.state, ScheduleState::Failed);
    EXPECT_EQ(read.file, "/home/ana/Videos/Lumora/Das Erste \u2013 Tagesschau.ts");
    EXPECT_EQ(read.bytes, 5'000'000'000);
    EXPECT_EQ(read.gaps, 1);
    EXPECT_EQ(read.error, "the stream was lost");
    EXPECT_EQ(again.Entries()[1].state, ScheduleState::Scheduled);
    // New ids never repeat the ones read.
    EXPECT_FALSE(again.Entries()[1].reminder);
    const auto next = again.Add(Programme("Wetter", kEight + 6300, kEight + 6600));
    ASSERT_TRUE(next);
    EXPECT_GT(*next, *film);
}

TEST(RecordingSchedule, KeepsWhereTheStreamWasLostAndForHowLongInWholeSeconds) {
    test::ScratchFolder scratch;
    RecordingSchedule schedule;
    const auto news = *schedule.Add(Programme("Tagesschau", kEight, kEight + 900));
    RecordingOutcome outcome = Completed();
    outcome.gaps = {{754.6, 31.4}, {1800, 0.2}, {-1, std::nan("")}};
    for (int i = 0; i < 30; ++i)
        outcome.gaps.push_back({2000.0 + i, 5});
    schedule.MarkEnded(news, outcome);
    ASSERT_TRUE(schedule.Save(scratch.File("Recordings.lmrc")));
    RecordingSchedule again;
    ASSERT_TRUE(again.Load(scratch.File("Recordings.lmrc")));
    const ScheduledRecording& read = again.Entries()[0];
    EXPECT_EQ(read.gaps, 33);
    ASSERT_EQ(read.gapLog.size(), RecordingSchedule::kMaxGapLog);
    const std::pair<double, double> first[] = {{754, 31}, {1800, 1}, {0, 1}, {2000, 5}};
    for (std::size_t i = 0; i < std::size(first); ++i) {
        EXPECT_EQ(read.gapLog[i].atSeconds, first[i].first) << i;
        EXPECT_EQ(read.gapLog[i].lengthSeconds, first[i].second) << i;
    }
}

TEST(RecordingSchedule, AGapLogReadsUpToItsFirstUnreadableGap) {
    test::ScratchFolder scratch;
    const struct {
        std::string text;
        std::size_t gaps;
    } rows[] = {
        {"10+5 20+6", 2}, {"10+5 x+6 30+7", 1}, {"10+5  20+6", 1}, {"-1+5", 0},
        {"10", 0},        {"10+", 0},           {"+5", 0},         {"", 0},
    };
    DocNode root("rec");
    int id = 1;
    for (const auto& row : rows) {
        DocNode* entry = root.AddChild(std::to_string(id++));
        entry->SetString("b", std::to_string(kEight));
        entry->SetString("e", std::to_string(kEight + 60));
        entry->SetString("st", "done");
        entry->SetString("gl", row.text);
    }
    ASSERT_TRUE(root.SaveToFile(scratch.File("Recordings.lmrc")));
    RecordingSchedule schedule;
    ASSERT_TRUE(schedule.Load(scratch.File("Recordings.lmrc")));
    ASSERT_EQ(schedule.Entries().size(), std::size(rows));
    for (std::size_t i = 0; i < std::size(rows); ++i)
        EXPECT_EQ(schedule.Entries()[i].gapLog.size(), rows[i].gaps) << rows[i].text;
}

TEST(RecordingSchedule, ARestartSettlesWhatRanOrWasDueMeanwhile) {
    RecordingSchedule schedule;
    const auto running = *schedule.Add(Programme("running", kEight - 600, kEight + 600));
    const auto passed = *schedule.Add(Programme("passed", kEight - 1200, kEight - 600));
    const auto now = *schedule.Add(Programme("now", kEight - 60, kEight + 60));
    const auto later = *schedule.Add(Programme("later", kEight + 60, kEight + 120));
    schedule.MarkRunning(running, "/r.ts");
    EXPECT_TRUE(schedule.SettleAfterStart(kEight));
    EXPECT_EQ(schedule.Find(running)->state, ScheduleState::Failed);
    EXPECT_FALSE(schedule.Find(running)->error.empty());
    EXPECT_EQ(schedule.Find(passed)->state, ScheduleState::Missed);
    EXPECT_EQ(schedule.Find(now)->state, ScheduleState::Scheduled);
    EXPECT_EQ(schedule.Find(later)->state, ScheduleState::Scheduled);
    EXPECT_EQ(schedule.Due(kEight), std::vector<std::int32_t>{now});
    EXPECT_TRUE(schedule.DueReminders(kEight).empty());
    EXPECT_EQ(schedule.Due(kEight + 60), std::vector<std::int32_t>{later});
    EXPECT_FALSE(schedule.SettleAfterStart(kEight));
    EXPECT_TRUE(schedule.Remove(later));
    EXPECT_FALSE(schedule.Remove(later));
    EXPECT_EQ(schedule.Find(later), nullptr);
}

TEST(RecordingSchedule, RemindersAreKeptBesideRecordingsAndDueApart) {
    test::ScratchFolder scratch;
    RecordingSchedule schedule;
    ScheduledRecording reminder = Programme("Tatort", kEight - 60, kEight + 5400);
    reminder.reminder = true;
    const auto remind = *schedule.Add(reminder);
    const auto record = *schedule.Add(Programme("Tatort", kEight - 120, kEight + 5700));
    ASSERT_TRUE(schedule.Save(scratch.File("Recordings.lmrc")));
    RecordingSchedule again;
    ASSERT_TRUE(again.Load(scratch.File("Recordings.lmrc")));
    EXPECT_TRUE(again.Find(remind)->reminder);
    EXPECT_FALSE(again.Find(record)->reminder);
    EXPECT_EQ(again.Due(kEight), std::vector<std::int32_t>{record});
    EXPECT_EQ(again.DueReminders(kEight), std::vector<std::int32_t>{remind});
    EXPECT_TRUE(again.DueReminders(kEight - 61).empty());
}

TEST(RecordingSchedule, AFullScheduleMakesRoomByDroppingTheOldestEnded) {
    RecordingSchedule schedule;
    for (std::size_t i = 0; i < RecordingSchedule::kMaxEntries; ++i)
        ASSERT_TRUE(schedule.Add(Programme("planned", kEight + 60 * i, kEight + 60 * i + 60)));
    EXPECT_FALSE(schedule.Add(Programme("one too many", kEight, kEight + 60)));
    const std::int32_t first = schedule.Entries()[0].id;
    const std::int32_t second = schedule.Entries()[1].id;
    schedule.MarkRunning(second, "/2.ts");
    schedule.MarkEnded(second, Completed());
    schedule.MarkRunning(first, "/1.ts");
    schedule.MarkEnded(first, Completed());
    EXPECT_TRUE(schedule.Add(Programme("room", kEight, kEight + 60)));
    EXPECT_EQ(schedule.Entries().size(), RecordingSchedule::kMaxEntries);
    EXPECT_EQ(schedule.Find(first), nullptr);
    EXPECT_NE(schedule.Find(second), nullptr);
}

TEST(RecordingSchedule, RefusesWhatCannotBeAScheduleAndSkipsUnknownEntries) {
    test::ScratchFolder scratch;
    RecordingSchedule schedule;
    EXPECT_FALSE(schedule.Add(Programme("backwards", kEight, kEight)));
    EXPECT_TRUE(schedule.Load(scratch.File("missing.lmrc")));
    EXPECT_TRUE(schedule.Entries().empty());

    DocNode other("set");
    ASSERT_TRUE(other.SaveToFile(scratch.File("Settings.cfg")));
    EXPECT_FALSE(schedule.Load(scratch.File("Settings.cfg")));

    DocNode root("rec");
    const struct {
        const char* name;
        const char* start;
        const char* stop;
        const char* state;
    } rows[] = {
        {"1", "1765310400", "1765311300", "scheduled"},  // the one sound entry
        {"x", "1765310400", "1765311300", "scheduled"},  // not an id
        {"0", "1765310400", "1765311300", "scheduled"}, {"3", "8pm", "1765311300", "scheduled"},
        {"4", "1765310400", "1765310400", "scheduled"}, {"5", "1765310400", "1765311300", "paused"},
    };
    for (const auto& row : rows) {
        DocNode* entry = root.AddChild(row.name);
        entry->SetString("b", row.start);
        entry->SetString("e", row.stop);
        entry->SetString("st", row.state);
    }
    ASSERT_TRUE(root.SaveToFile(scratch.File("Recordings.lmrc")));
    ASSERT_TRUE(schedule.Load(scratch.File("Recordings.lmrc")));
    ASSERT_EQ(schedule.Entries().size(), 1u);
    EXPECT_EQ(schedule.Entries()[0].id, 1);
}

}  // namespace
}  // namespace lumora
