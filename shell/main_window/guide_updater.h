#pragma once

// Keeps the programme guide store up to date in the background. The guides
// are the addresses of the setting "guide_sources" when it is set, else the
// ones the catalogue's playlist names ("url-tvg"). An update reads them into
// a new store that replaces the old one only when complete; the interface
// never waits for it. One update runs at a time, on its own thread.
//
// Threads: the UI thread; the worker reports back through queued calls.

#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <thread>

namespace lumora {

// How old a store may get before the start updates it.
inline constexpr std::int64_t kGuideMaxAgeSeconds = 12 * 3600;

class GuideUpdater final : public QObject {
    Q_OBJECT
public:
    enum class When {
        Stale,  // only when the store is older than 12 hours or its sources changed
        Now,    // always (the user asked)
    };
    // How an update ended, for `finished`.
    enum class Outcome { Updated, Current, NoGuide, Failed };
    Q_ENUM(Outcome)

    explicit GuideUpdater(QObject* parent = nullptr);
    // Stops a running update (its store stays as it was) and waits for it.
    ~GuideUpdater() override;

    // False when one is running already.
    bool Start(When when);
    bool Running() const { return running_; }
    // Tests only: where the store lies instead of the user's cache folder.
    void SetStorePath(const QString& path) { storePathOverride_ = path; }

signals:
    // Guide bytes read so far, now and then while an update runs.
    void progressed(quint64 bytes);
    // `message` says what failed (English, for logs), empty otherwise.
    void finished(GuideUpdater::Outcome outcome, const QString& message);

private:
    struct Shared;
    void Finish(Outcome outcome, const QString& message);
    void ReportProgress();

    std::shared_ptr<Shared> shared_;
    std::thread worker_;
    QTimer progressTimer_;
    QString storePathOverride_;
    bool running_ = false;
};

}  // namespace lumora
