#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "record/recording_request.h"

namespace lumora {

class DocNode;

enum class ScheduleState {
    Scheduled,  // waits for its start
    Running,    // being recorded
    Done,       // recorded (until its end or stopped)
    Failed,     // ended early or never opened; `error` says why
    Missed,     // its time passed while Lumora was not running
};

// One recording, planned or made, or a reminder of a programme (kept with
// them: it is due from `start`, done once the user was told). Times are UTC
// seconds.
struct ScheduledRecording {
    std::int32_t id = 0;  // unique in its schedule, given by Add
    bool reminder = false;
    std::string channelId;
    std::string channelName;
    std::string title;
    std::string description;
    std::int64_t start = 0;
    std::int64_t stop = 0;
    ScheduleState state = ScheduleState::Scheduled;
    std::string file;  // empty until it records
    std::int64_t bytes = 0;
    std::int32_t gaps = 0;  // times the stream was lost and came back
    // Where in the recording the stream was lost and for how long, in whole
    // seconds: the first RecordingSchedule::kMaxGapLog of the gaps.
    std::vector<RecordingGap> gapLog;
    std::string error;
};

// The user's recordings, planned, running and made, kept in the data file
// "Recordings.lmrc" (a tree document: root "rec", one child per recording
// named by its id). Standard library only; one thread (the owner's).
class RecordingSchedule {
public:
    // At most this many entries are kept: Add makes room by dropping the
    // oldest that has ended, and refuses when all are still to come.
    static constexpr std::size_t kMaxEntries = 2000;
    // At most this many gaps of one recording are kept with it.
    static constexpr std::size_t kMaxGapLog = 20;

    // Reads the file; a missing file is an empty schedule (true). False, with
    // the schedule empty, for a file that is not a schedule. Entries the file
    // holds in a form this reader does not know are left out.
    bool Load(const std::u16string& path);
    // Atomically; false, with the old file intact, when it cannot be written.
    bool Save(const std::u16string& path) const;

    const std::vector<ScheduledRecording>& Entries() const { return entries_; }
    // Adds the recording with a new id (returned); nothing for a stop not
    // after its start or a full schedule.
    std::optional<std::int32_t> Add(ScheduledRecording recording);
    ScheduledRecording* Find(std::int32_t id);
    const ScheduledRecording* Find(std::int32_t id) const;
    bool Remove(std::int32_t id);

    // After a start of the program: what was running when it ended failed,
    // what was scheduled and has ended was missed. True when anything changed.
    bool SettleAfterStart(std::int64_t now);
    // Scheduled recordings whose end has passed were missed. True when any was.
    bool MarkMissed(std::int64_t now);
    // The scheduled recordings whose time has come (start <= now < stop).
    std::vector<std::int32_t> Due(std::int64_t now) const;
    // The same of the reminders.
    std::vector<std::int32_t> DueReminders(std::int64_t now) const;
    // Running, with its file.
    void MarkRunning(std::int32_t id, const std::string& file);
    // Done or failed, as the outcome says.
    void MarkEnded(std::int32_t id, const RecordingOutcome& outcome);

private:
    std::vector<ScheduledRecording> entries_;
    std::int32_t nextId_ = 1;
};

// "scheduled", "running", "done", "failed", "missed": the file's words.
const char* ScheduleStateName(ScheduleState state);

}  // namespace lumora
