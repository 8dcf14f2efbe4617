#include "shell/main_window/recording_control.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>

#include "catalogue/catalogue.h"
#include "catalogue/channel.h"
#include "catalogue/settings.h"
#include "catalogue/settings_format.h"
#include "document/text_encoding.h"
#include "record/recording_files.h"

namespace lumora {
namespace {

constexpr int kPollMilliseconds = 500;
constexpr const char* kChannelGone = "the channel is no longer in the channel list";
constexpr const char* kNoFolder = "the recordings folder could not be made";
constexpr const char* kNoStream = "the channel has no stream";

RecordingControl* g_recordings = nullptr;

std::int64_t Now() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string Utf8(std::u16string_view text) {
    return ToUtf8(std::u16string(text));
}

std::int64_t MarginSeconds() {
    return 60 * std::int64_t(std::clamp(
                    GetIntSetting(kRecordMarginMinutes, RecordingControl::kDefaultMarginMinutes), 0,
                    RecordingControl::kMostMarginMinutes));
}

}  // namespace

const char* RecordMessageKey(RecordingControl::ScheduleResult result) {
    using Result = RecordingControl::ScheduleResult;
    switch (result) {
    case Result::Scheduled: return "msg_recording_scheduled";
    case Result::Started: return "msg_recording_started";
    case Result::AlreadyThere: return "msg_recording_already";
    case Result::Ended: return "msg_programme_ended";
    case Result::NotKept: break;
    }
    return "msg_recording_cannot_start";
}

const char* RemindMessageKey(RecordingControl::ScheduleResult result) {
    using Result = RecordingControl::ScheduleResult;
    switch (result) {
    case Result::Scheduled:
    case Result::Started: return "msg_reminder_set";
    case Result::AlreadyThere: return "msg_reminder_already";
    case Result::Ended: return "msg_programme_ended";
    case Result::NotKept: break;
    }
    return "msg_recording_cannot_start";
}

RecordingControl* TheRecordings() {
    return g_recordings;
}

void SetTheRecordings(RecordingControl* recordings) {
    g_recordings = recordings;
}

RecordingControl::RecordingControl(QString schedulePath, QObject* parent)
    : QObject(parent), schedulePath_(std::move(schedulePath)) {
    // A file that is not a schedule is left alone: nothing is written over it.
    if (schedule_.Load(schedulePath_.toStdU16String()) && schedule_.SettleAfterStart(Now()))
        Save();
    poll_.setInterval(kPollMilliseconds);
    connect(&poll_, &QTimer::timeout, this, &RecordingControl::Poll);
    poll_.start();
}

RecordingControl::~RecordingControl() {
    for (Running& running : running_)
        running.recording->Stop();
    for (Running& running : running_)
        Finish(running);
    running_.clear();
}

void RecordingControl::Save() {
    const std::u16string file = schedulePath_.toStdU16String();
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(file).parent_path(), error);
    schedule_.Save(file);
}

int RecordingControl::MostAtOnce() const {
    return std::clamp(GetIntSetting(kRecordMostAtOnce, kDefaultMostAtOnce), 1, kMostAtOnceLimit);
}

bool RecordingControl::Recording(std::string_view channelId) const {
    return std::any_of(running_.begin(), running_.end(),
                       [&](const Running& running) { return running.channelId == channelId; });
}

RecordingControl::StartResult RecordingControl::Start(
    const Channel& channel, const std::optional<ProgrammeSummary>& programme) {
    if (channel.streams.empty())
        return StartResult::NoStream;
    if (int(running_.size()) >= MostAtOnce())
        return StartResult::TooMany;
    const std::int64_t now = Now();
    ScheduledRecording entry;
    entry.channelId = channel.id;
    entry.channelName = Utf8(channel.name);
    entry.title = programme ? programme->title : std::string();
    entry.start = now;
    entry.stop = programme && programme->stop > now ? programme->stop + MarginSeconds()
                                                    : now + std::int64_t(kLongestHours) * 3600;
    const std::optional<std::int32_t> id = schedule_.Add(entry);
    if (!id)
        return StartResult::TooMany;
    const StartResult result = Launch(*id, channel);
    if (result != StartResult::Started)
        schedule_.Remove(*id);
    Save();
    return result;
}

RecordingControl::ScheduleResult RecordingControl::Schedule(const Channel& channel,
                                                            const ProgrammeSummary& programme) {
    const std::int64_t now = Now();
    if (programme.stop <= now)
        return ScheduleResult::Ended;
    for (const ScheduledRecording& entry : schedule_.Entries()) {
        const bool planned = !entry.reminder && (entry.state == ScheduleState::Scheduled ||
                                                 entry.state == ScheduleState::Running);
        if (planned && entry.channelId == channel.id && entry.start < programme.stop &&
            programme.start < entry.stop)
            return ScheduleResult::AlreadyThere;
    }
    ScheduledRecording entry;
    entry.channelId = channel.id;
    entry.channelName = Utf8(channel.name);
    entry.title = programme.title;
    entry.start = std::max(now, programme.start - kLeadSeconds);
    entry.stop = programme.stop + MarginSeconds();
    const std::optional<std::int32_t> id = schedule_.Add(entry);
    if (!id)
        return ScheduleResult::NotKept;
    Save();
    Poll();
    const ScheduledRecording* added = schedule_.Find(*id);
    return added != nullptr && added->state != ScheduleState::Scheduled ? ScheduleResult::Started
                                                                        : ScheduleResult::Scheduled;
}

RecordingControl::ScheduleResult RecordingControl::Remind(const Channel& channel,
                                                          const ProgrammeSummary& programme) {
    const std::int64_t now = Now();
    if (programme.start <= now)
        return ScheduleResult::Ended;
    for (const ScheduledRecording& entry : schedule_.Entries()) {
        if (entry.reminder && entry.state == ScheduleState::Scheduled &&
            entry.channelId == channel.id && entry.stop == programme.start)
            return ScheduleResult::AlreadyThere;
    }
    ScheduledRecording entry;
    entry.reminder = true;
    entry.channelId = channel.id;
    entry.channelName = Utf8(channel.name);
    entry.title = programme.title;
    entry.start = std::max(now, programme.start - kReminderSeconds);
    entry.stop = programme.start;
    if (!schedule_.Add(entry))
        return ScheduleResult::NotKept;
    Save();
    return ScheduleResult::Scheduled;
}

RecordingControl::StartResult RecordingControl::Launch(std::int32_t id, const Channel& channel) {
    ScheduledRecording* entry = schedule_.Find(id);
    if (entry == nullptr)
        return StartResult::NoStream;
    if (channel.streams.empty())
        return StartResult::NoStream;
    const Stream& stream = channel.streams[std::size_t(std::clamp<std::int32_t>(
        channel.streamIndex, 0, std::int32_t(channel.streams.size()) - 1))];
    const std::filesystem::path folder = RecordingsFolder();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error || !std::filesystem::is_directory(folder))
        return StartResult::NoFolder;

    const std::time_t startTime = static_cast<std::time_t>(Now());
    std::tm local{};
    localtime_r(&startTime, &local);
    RecordingRequest request;
    request.address = Utf8(stream.address);
    request.userAgent = Utf8(stream.userAgent);
    request.referrer = Utf8(stream.referrer);
    request.channel = entry->channelName;
    request.title = entry->title;
    request.description = entry->description;
    request.file =
        FreeRecordingPath(folder, RecordingFileName(request.channel, request.title, local))
            .string();
    request.until = std::chrono::system_clock::from_time_t(static_cast<std::time_t>(entry->stop));
    schedule_.MarkRunning(id, request.file);
    running_.push_back({id, channel.id, std::make_unique<lumora::Recording>(std::move(request))});
    return StartResult::Started;
}

void RecordingControl::StopEntry(std::int32_t id) {
    for (Running& running : running_) {
        if (running.id == id)
            running.recording->Stop();
    }
}

bool RecordingControl::Delete(std::int32_t id) {
    const ScheduledRecording* entry = schedule_.Find(id);
    if (entry == nullptr)
        return false;
    for (Running& running : running_) {
        if (running.id == id) {
            running.recording->Stop();
            Finish(running);
        }
    }
    std::erase_if(running_, [](const Running& running) { return !running.recording; });
    entry = schedule_.Find(id);
    if (!entry->file.empty() && IsRecordingIn(entry->file, RecordingsFolder())) {
        std::error_code error;
        std::filesystem::remove(entry->file, error);
    }
    schedule_.Remove(id);
    Save();
    return true;
}

void RecordingControl::Stop(std::string_view channelId) {
    for (Running& running : running_) {
        if (running.channelId == channelId)
            running.recording->Stop();
    }
}

void RecordingControl::Poll() {
    // What a handler of `ended` does (a message box) may run the timer's
    // next Poll inside this one: the lists are left whole before it is told.
    if (polling_)
        return;
    polling_ = true;
    std::vector<std::pair<bool, QString>> ends;
    bool changed = false;
    for (Running& running : running_) {
        if (running.recording->Finished()) {
            ends.push_back(Finish(running));
            changed = true;
        }
    }
    std::erase_if(running_, [](const Running& running) { return !running.recording; });

    const std::int64_t now = Now();
    for (std::int32_t id : schedule_.Due(now)) {
        if (int(running_.size()) >= MostAtOnce())
            break;
        const Catalogue* catalogue = TheCatalogue();
        const std::string channelId = schedule_.Find(id)->channelId;
        const Channel* channel = catalogue != nullptr ? catalogue->FindChannel(channelId) : nullptr;
        changed = true;
        const StartResult result =
            channel != nullptr ? Launch(id, *channel) : StartResult::NoStream;
        if (result != StartResult::Started) {
            ScheduledRecording* entry = schedule_.Find(id);
            entry->state = ScheduleState::Failed;
            entry->error = channel == nullptr                ? kChannelGone
                           : result == StartResult::NoFolder ? kNoFolder
                                                             : kNoStream;
            ends.emplace_back(true, QString());
        }
    }
    struct Reminder {
        QString channelId, channelName, title;
        qint64 start;
    };
    std::vector<Reminder> reminders;
    for (std::int32_t id : schedule_.DueReminders(now)) {
        ScheduledRecording* entry = schedule_.Find(id);
        entry->state = ScheduleState::Done;
        reminders.push_back({QString::fromStdString(entry->channelId),
                             QString::fromStdString(entry->channelName),
                             QString::fromStdString(entry->title), entry->stop});
        changed = true;
    }
    // What could not start before its end (too many at once) was missed.
    changed = schedule_.MarkMissed(now) || changed;
    if (changed)
        Save();
    polling_ = false;
    for (const auto& [failed, file] : ends)
        emit ended(failed, file);
    for (const Reminder& reminder : reminders)
        emit reminderDue(reminder.channelId, reminder.channelName, reminder.title, reminder.start);
}

std::pair<bool, QString> RecordingControl::Finish(Running& running) {
    const RecordingOutcome outcome = running.recording->Wait();
    const QString file = QString::fromStdString(running.recording->Request().file);
    running.recording.reset();
    schedule_.MarkEnded(running.id, outcome);
    Save();
    const bool failed =
        outcome.status != RecordingStatus::Completed && outcome.status != RecordingStatus::Stopped;
    return {failed, file};
}

}  // namespace lumora
