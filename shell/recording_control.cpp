#include "shell/recording_control.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>

#include "catalogue/channel.h"
#include "catalogue/setting_names.h"
#include "catalogue/settings.h"
#include "document/text_encoding.h"
#include "record/recording_files.h"
#include "record/recording_schedule.h"

namespace lumora {
namespace {

constexpr int kPollMilliseconds = 500;
constexpr int kMostMarginMinutes = 120;

std::int64_t Now() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string Utf8(std::u16string_view text) {
    return ToUtf8(std::u16string(text));
}

// Reads, changes and writes the recordings file; a file that cannot be
// read as one is left as it is.
template <typename Change>
void ChangeSchedule(const QString& path, Change change) {
    RecordingSchedule schedule;
    const std::u16string file = path.toStdU16String();
    if (!schedule.Load(file))
        return;
    if (!change(schedule))
        return;
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(file).parent_path(), error);
    schedule.Save(file);
}

}  // namespace

RecordingControl::RecordingControl(QString schedulePath, QObject* parent)
    : QObject(parent), schedulePath_(std::move(schedulePath)) {
    ChangeSchedule(schedulePath_,
                   [](RecordingSchedule& schedule) { return schedule.SettleAfterStart(Now()); });
    poll_.setInterval(kPollMilliseconds);
    connect(&poll_, &QTimer::timeout, this, &RecordingControl::Poll);
}

RecordingControl::~RecordingControl() {
    if (recording_) {
        recording_->Stop();
        recording_->Wait();
        Finish(false);
    }
}

bool RecordingControl::Start(const Channel& channel,
                             const std::optional<ProgrammeSummary>& programme) {
    if (recording_ || channel.streams.empty())
        return false;
    const Stream& stream = channel.streams[std::size_t(std::clamp<std::int32_t>(
        channel.streamIndex, 0, std::int32_t(channel.streams.size()) - 1))];
    const std::int64_t now = Now();
    const std::time_t startTime = static_cast<std::time_t>(now);
    std::tm local{};
    localtime_r(&startTime, &local);

    const std::filesystem::path folder = RecordingsFolder();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error || !std::filesystem::is_directory(folder))
        return false;

    RecordingRequest request;
    request.address = Utf8(stream.address);
    request.userAgent = Utf8(stream.userAgent);
    request.referrer = Utf8(stream.referrer);
    request.channel = Utf8(channel.name);
    request.title = programme ? programme->title : std::string();
    request.file =
        FreeRecordingPath(folder, RecordingFileName(request.channel, request.title, local))
            .string();
    const int margin = std::clamp(GetIntSetting(kRecordMarginMinutes, kDefaultMarginMinutes), 0,
                                  kMostMarginMinutes);
    const std::int64_t stop = programme && programme->stop > now
                                  ? programme->stop + std::int64_t(margin) * 60
                                  : now + std::int64_t(kLongestHours) * 3600;
    request.until = std::chrono::system_clock::from_time_t(static_cast<std::time_t>(stop));

    ScheduledRecording entry;
    entry.channelId = channel.id;
    entry.channelName = request.channel;
    entry.title = request.title;
    entry.start = now;
    entry.stop = stop;
    scheduleId_ = 0;
    ChangeSchedule(schedulePath_, [&](RecordingSchedule& schedule) {
        const std::optional<std::int32_t> id = schedule.Add(entry);
        if (!id)
            return false;
        scheduleId_ = *id;
        schedule.MarkRunning(*id, request.file);
        return true;
    });
    recording_ = std::make_unique<Recording>(std::move(request));
    poll_.start();
    return true;
}

void RecordingControl::Stop() {
    if (recording_)
        recording_->Stop();
}

void RecordingControl::Poll() {
    if (recording_ && recording_->Finished())
        Finish(true);
}

void RecordingControl::Finish(bool tell) {
    poll_.stop();
    const RecordingOutcome outcome = recording_->Wait();
    const QString file = QString::fromStdString(recording_->Request().file);
    recording_.reset();
    if (scheduleId_ != 0) {
        ChangeSchedule(schedulePath_, [&](RecordingSchedule& schedule) {
            schedule.MarkEnded(scheduleId_, outcome);
            return schedule.Find(scheduleId_) != nullptr;
        });
    }
    scheduleId_ = 0;
    const bool failed =
        outcome.status != RecordingStatus::Completed && outcome.status != RecordingStatus::Stopped;
    if (tell)
        emit ended(failed, file);
}

}  // namespace lumora
