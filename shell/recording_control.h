#pragma once

// The main window's recording: the channel on screen recorded on a thread
// of its own (record/) until the user stops it or, when the guide knows
// the programme on now, until its end plus the margin setting. Each
// recording is kept in the user's "Recordings.lmrc". UI thread only.

#include <cstdint>
#include <memory>
#include <optional>

#include <QObject>
#include <QString>
#include <QTimer>

#include "record/recording.h"
#include "shell/programme_guide.h"

namespace lumora {

struct Channel;

class RecordingControl : public QObject {
    Q_OBJECT

public:
    // Used for the margin when the setting is not there.
    static constexpr int kDefaultMarginMinutes = 5;
    // A recording without a known end stops after this many hours at the
    // latest, so a forgotten one does not fill the disk.
    static constexpr int kLongestHours = 8;

    // `schedulePath`: the recordings data file; what was running when the
    // program last ended is marked failed, what was due meanwhile missed.
    RecordingControl(QString schedulePath, QObject* parent = nullptr);
    // Stops a running recording and waits for it, its file kept.
    ~RecordingControl() override;

    bool Active() const { return recording_ != nullptr; }
    // Starts recording `channel`'s stream into the recordings folder; false
    // when it has no stream or the folder cannot be made.
    bool Start(const Channel& channel, const std::optional<ProgrammeSummary>& programme);
    // Asks the running recording to end; `ended` follows.
    void Stop();
    // Looks whether the recording has ended (the timer does it every half
    // second; public so tests can step it).
    void Poll();

signals:
    // A recording ended; `failed` when it ended before it was meant to.
    void ended(bool failed, const QString& file);

private:
    // Writes the outcome into the recordings file; tells `ended` when asked.
    void Finish(bool tell);

    const QString schedulePath_;
    std::unique_ptr<Recording> recording_;
    std::int32_t scheduleId_ = 0;
    QTimer poll_;
};

}  // namespace lumora
