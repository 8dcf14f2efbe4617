#include "record/recording_schedule.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>

#include "document/doc_node.h"
#include "document/text_encoding.h"

namespace lumora {
namespace {

constexpr std::string_view kRootName = "rec";
constexpr std::string_view kChannelId = "ch";
constexpr std::string_view kChannelName = "cn";
constexpr std::string_view kTitle = "t";
constexpr std::string_view kDescription = "d";
constexpr std::string_view kStart = "b";
constexpr std::string_view kStop = "e";
constexpr std::string_view kState = "st";
constexpr std::string_view kFile = "f";
constexpr std::string_view kBytes = "sz";
constexpr std::string_view kGaps = "gaps";
// The gap log: "AT+LENGTH" in whole seconds, separated by blanks.
constexpr std::string_view kGapLog = "gl";
constexpr std::string_view kError = "err";
constexpr std::string_view kKind = "k";
constexpr std::string_view kReminderKind = "remind";

constexpr ScheduleState kStates[] = {ScheduleState::Scheduled, ScheduleState::Running,
                                     ScheduleState::Done, ScheduleState::Failed,
                                     ScheduleState::Missed};

// Why a recording that was running when the program ended failed.
constexpr const char* kInterrupted = "Lumora ended during the recording";

std::optional<ScheduleState> StateNamed(std::string_view name) {
    for (ScheduleState state : kStates) {
        if (name == ScheduleStateName(state))
            return state;
    }
    return std::nullopt;
}

std::optional<std::int64_t> Number(std::string_view text) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

std::optional<std::int32_t> IdOfName(std::string_view name) {
    std::optional<std::int64_t> id = Number(name);
    if (!id || *id <= 0 || *id > INT32_MAX)
        return std::nullopt;
    return std::int32_t(*id);
}

// A time of the engine's as whole seconds the file can hold.
double WholeSeconds(double seconds) {
    constexpr double kMostSeconds = 1e9;
    return std::isfinite(seconds) && seconds > 0 ? std::floor(std::min(seconds, kMostSeconds)) : 0;
}

// A log that does not read as one stops at its first unreadable gap.
std::vector<RecordingGap> ReadGapLog(std::string_view text) {
    std::vector<RecordingGap> log;
    while (!text.empty() && log.size() < RecordingSchedule::kMaxGapLog) {
        const std::size_t blank = text.find(' ');
        const std::string_view gap = text.substr(0, blank);
        text = blank == std::string_view::npos ? std::string_view() : text.substr(blank + 1);
        const std::size_t plus = gap.find('+');
        if (plus == std::string_view::npos)
            break;
        const std::optional<std::int64_t> at = Number(gap.substr(0, plus));
        const std::optional<std::int64_t> length = Number(gap.substr(plus + 1));
        if (!at || !length || *at < 0 || *length < 0)
            break;
        log.push_back({double(*at), double(*length)});
    }
    return log;
}

std::string GapLogText(const std::vector<RecordingGap>& log) {
    std::string text;
    for (const RecordingGap& gap : log) {
        if (!text.empty())
            text += ' ';
        text += std::to_string(std::int64_t(gap.atSeconds)) + '+' +
                std::to_string(std::int64_t(gap.lengthSeconds));
    }
    return text;
}

std::optional<ScheduledRecording> ReadEntry(const DocNode& node) {
    ScheduledRecording entry;
    std::optional<std::int32_t> id = IdOfName(node.Name());
    std::optional<std::int64_t> start = Number(node.RequireString(kStart));
    std::optional<std::int64_t> stop = Number(node.RequireString(kStop));
    std::optional<ScheduleState> state = StateNamed(node.RequireString(kState));
    if (!id || !start || !stop || !state || *stop <= *start)
        return std::nullopt;
    entry.id = *id;
    entry.start = *start;
    entry.stop = *stop;
    entry.state = *state;
    entry.reminder = node.RequireString(kKind) == kReminderKind;
    entry.channelId = node.RequireString(kChannelId);
    entry.channelName = ToUtf8(node.RequireWString(kChannelName));
    entry.title = ToUtf8(node.RequireWString(kTitle));
    entry.description = ToUtf8(node.RequireWString(kDescription));
    entry.file = ToUtf8(node.RequireWString(kFile));
    entry.bytes = std::max<std::int64_t>(Number(node.RequireString(kBytes)).value_or(0), 0);
    entry.gaps = std::max(node.GetInt(kGaps, 0), 0);
    entry.gapLog = ReadGapLog(node.RequireString(kGapLog));
    entry.error = ToUtf8(node.RequireWString(kError));
    return entry;
}

void WriteEntry(const ScheduledRecording& entry, DocNode& node) {
    if (entry.reminder)
        node.SetString(kKind, std::string(kReminderKind));
    node.SetString(kChannelId, entry.channelId);
    node.SetWString(kChannelName, FromUtf8(entry.channelName));
    node.SetWString(kTitle, FromUtf8(entry.title));
    if (!entry.description.empty())
        node.SetWString(kDescription, FromUtf8(entry.description));
    node.SetString(kStart, std::to_string(entry.start));
    node.SetString(kStop, std::to_string(entry.stop));
    node.SetString(kState, ScheduleStateName(entry.state));
    if (!entry.file.empty())
        node.SetWString(kFile, FromUtf8(entry.file));
    if (entry.bytes > 0)
        node.SetString(kBytes, std::to_string(entry.bytes));
    if (entry.gaps > 0)
        node.SetInt(kGaps, entry.gaps);
    if (!entry.gapLog.empty())
        node.SetString(kGapLog, GapLogText(entry.gapLog));
    if (!entry.error.empty())
        node.SetWString(kError, FromUtf8(entry.error));
}

}  // namespace

const char* ScheduleStateName(ScheduleState state) {
    switch (state) {
    case ScheduleState::Scheduled: return "scheduled";
    case ScheduleState::Running: return "running";
    case ScheduleState::Done: return "done";
    case ScheduleState::Failed: return "failed";
    case ScheduleState::Missed: return "missed";
    }
    return "";
}

bool RecordingSchedule::Load(const std::u16string& path) {
    entries_.clear();
    nextId_ = 1;
    DocNode root;
    if (!root.LoadFromFile(path))
        return true;  // no file yet: nothing is planned
    if (root.Name() != kRootName)
        return false;
    for (const auto& child : root.Children()) {
        if (entries_.size() == kMaxEntries)
            break;
        if (std::optional<ScheduledRecording> entry = ReadEntry(*child)) {
            nextId_ = std::max(nextId_, entry->id < INT32_MAX ? entry->id + 1 : entry->id);
            entries_.push_back(std::move(*entry));
        }
    }
    return true;
}

bool RecordingSchedule::Save(const std::u16string& path) const {
    DocNode root{std::string(kRootName)};
    for (const ScheduledRecording& entry : entries_)
        WriteEntry(entry, *root.AddChild(std::to_string(entry.id)));
    return root.SaveToFile(path);
}

std::optional<std::int32_t> RecordingSchedule::Add(ScheduledRecording recording) {
    if (recording.stop <= recording.start || nextId_ == INT32_MAX)
        return std::nullopt;
    if (entries_.size() >= kMaxEntries) {
        // Entries are in the order they were added: the first ended one is
        // the oldest.
        auto ended = std::find_if(entries_.begin(), entries_.end(), [](const auto& entry) {
            return entry.state != ScheduleState::Scheduled && entry.state != ScheduleState::Running;
        });
        if (ended == entries_.end())
            return std::nullopt;
        entries_.erase(ended);
    }
    recording.id = nextId_++;
    entries_.push_back(std::move(recording));
    return entries_.back().id;
}

ScheduledRecording* RecordingSchedule::Find(std::int32_t id) {
    auto found = std::find_if(entries_.begin(), entries_.end(),
                              [id](const ScheduledRecording& entry) { return entry.id == id; });
    return found == entries_.end() ? nullptr : &*found;
}

const ScheduledRecording* RecordingSchedule::Find(std::int32_t id) const {
    auto found = std::find_if(entries_.begin(), entries_.end(),
                              [id](const ScheduledRecording& entry) { return entry.id == id; });
    return found == entries_.end() ? nullptr : &*found;
}

bool RecordingSchedule::Remove(std::int32_t id) {
    return std::erase_if(entries_,
                         [id](const ScheduledRecording& entry) { return entry.id == id; }) > 0;
}

bool RecordingSchedule::SettleAfterStart(std::int64_t now) {
    bool changed = false;
    for (ScheduledRecording& entry : entries_) {
        if (entry.state == ScheduleState::Running) {
            entry.state = ScheduleState::Failed;
            entry.error = kInterrupted;
            changed = true;
        }
    }
    return MarkMissed(now) || changed;
}

bool RecordingSchedule::MarkMissed(std::int64_t now) {
    bool changed = false;
    for (ScheduledRecording& entry : entries_) {
        if (entry.state == ScheduleState::Scheduled && entry.stop <= now) {
            entry.state = ScheduleState::Missed;
            changed = true;
        }
    }
    return changed;
}

std::vector<std::int32_t> RecordingSchedule::Due(std::int64_t now) const {
    std::vector<std::int32_t> due;
    for (const ScheduledRecording& entry : entries_) {
        if (!entry.reminder && entry.state == ScheduleState::Scheduled && entry.start <= now &&
            now < entry.stop)
            due.push_back(entry.id);
    }
    return due;
}

std::vector<std::int32_t> RecordingSchedule::DueReminders(std::int64_t now) const {
    std::vector<std::int32_t> due;
    for (const ScheduledRecording& entry : entries_) {
        if (entry.reminder && entry.state == ScheduleState::Scheduled && entry.start <= now &&
            now < entry.stop)
            due.push_back(entry.id);
    }
    return due;
}

void RecordingSchedule::MarkRunning(std::int32_t id, const std::string& file) {
    if (ScheduledRecording* entry = Find(id)) {
        entry->state = ScheduleState::Running;
        entry->file = file;
    }
}

void RecordingSchedule::MarkEnded(std::int32_t id, const RecordingOutcome& outcome) {
    ScheduledRecording* entry = Find(id);
    if (entry == nullptr)
        return;
    const bool done =
        outcome.status == RecordingStatus::Completed || outcome.status == RecordingStatus::Stopped;
    entry->state = done ? ScheduleState::Done : ScheduleState::Failed;
    entry->bytes = outcome.bytes;
    entry->gaps = std::int32_t(std::min<std::size_t>(outcome.gaps.size(), INT32_MAX));
    entry->gapLog.clear();
    for (const RecordingGap& gap : outcome.gaps) {
        if (entry->gapLog.size() == kMaxGapLog)
            break;
        // Whole seconds; a stream that came back within a second still
        // left a gap of one.
        entry->gapLog.push_back(
            {WholeSeconds(gap.atSeconds), std::max(1.0, WholeSeconds(gap.lengthSeconds + 0.5))});
    }
    entry->error = outcome.error;
}

}  // namespace lumora
