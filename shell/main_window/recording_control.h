#pragma once

// The program's recordings: the channel on screen recorded until the user
// stops it or, when the guide knows the programme on now, until its end
// plus the margin setting; programmes of the guide scheduled and recorded
// when their time comes (from a little before their start). Each runs on a
// thread of its own (record/); all are kept in the user's
// "Recordings.lmrc". UI thread only.

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include <QObject>
#include <QString>
#include <QTimer>

#include "record/recording.h"
#include "record/recording_schedule.h"
#include "shell/main_window/programme_guide.h"

namespace lumora {

struct Channel;

class RecordingControl : public QObject {
    Q_OBJECT

public:
    // Used when the settings do not say otherwise.
    static constexpr int kDefaultMarginMinutes = 5;
    static constexpr int kDefaultMostAtOnce = 2;
    // The settings are held within these.
    static constexpr int kMostMarginMinutes = 120;
    static constexpr int kMostAtOnceLimit = 8;
    // A scheduled recording starts this long before its programme.
    static constexpr int kLeadSeconds = 120;
    // A reminder comes this long before its programme.
    static constexpr int kReminderSeconds = 60;
    // A recording without a known end stops after this many hours at the
    // latest, so a forgotten one does not fill the disk.
    static constexpr int kLongestHours = 8;

    enum class StartResult { Started, NoStream, NoFolder, TooMany };
    enum class ScheduleResult { Scheduled, Started, AlreadyThere, Ended, NotKept };

    // `schedulePath`: the recordings data file; what was running when the
    // program last ended is marked failed, what was due meanwhile missed.
    explicit RecordingControl(QString schedulePath, QObject* parent = nullptr);
    // Stops the running recordings and waits for them, their files kept.
    ~RecordingControl() override;

    // True while a recording of the channel runs.
    bool Recording(std::string_view channelId) const;
    // Records `channel` from now into the recordings folder.
    StartResult Start(const Channel& channel, const std::optional<ProgrammeSummary>& programme);
    // Asks the channel's running recordings to end; `ended` follows.
    void Stop(std::string_view channelId);
    // Plans the programme's recording; one on now starts at once.
    ScheduleResult Schedule(const Channel& channel, const ProgrammeSummary& programme);

    // A reminder a minute before the programme starts (`reminderDue`).
    ScheduleResult Remind(const Channel& channel, const ProgrammeSummary& programme);

    // Ends the recording with this id, as Stop does.
    void StopEntry(std::int32_t id);
    // Forgets the entry: a scheduled one is cancelled, a running one stopped
    // first, and a recording's file deleted when it lies in the recordings
    // folder. False for an unknown id.
    bool Delete(std::int32_t id);

    const RecordingSchedule& Entries() const { return schedule_; }
    // Ends what has ended, starts what is due, marks what was missed (the
    // timer does it every half second; public so tests can step it).
    void Poll();

signals:
    // A recording ended; `failed` when it ended before it was meant to.
    void ended(bool failed, const QString& file);
    // A reminder's time has come: the programme starts at `start` (UTC).
    void reminderDue(const QString& channelId, const QString& channelName, const QString& title,
                     qint64 start);

private:
    struct Running {
        std::int32_t id = 0;
        std::string channelId;
        std::unique_ptr<lumora::Recording> recording;
    };

    StartResult Launch(std::int32_t id, const Channel& channel);
    // Writes the outcome into the schedule; whether it failed, and its file.
    std::pair<bool, QString> Finish(Running& running);
    void Save();
    int MostAtOnce() const;

    const QString schedulePath_;
    RecordingSchedule schedule_;
    std::vector<Running> running_;
    QTimer poll_;
    bool polling_ = false;
};

// The message that tells the user what Schedule did (RecordMessageKey) or
// what Remind did (RemindMessageKey): a text key of the language pack.
const char* RecordMessageKey(RecordingControl::ScheduleResult result);
const char* RemindMessageKey(RecordingControl::ScheduleResult result);

// The main window's recordings while it exists, else null (UI thread).
RecordingControl* TheRecordings();
void SetTheRecordings(RecordingControl* recordings);

}  // namespace lumora
