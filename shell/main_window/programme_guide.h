#pragma once

// The programme guide as the interface reads it: what is on a catalogue
// channel now, from the guide store the GuideUpdater keeps. Answers are
// kept per channel until the programme ends (or the next one starts), so a
// list painting its rows asks the store once per channel and programme.
// A store replaced by an update is opened again (Reopen). Opening reads the
// store's timeline into memory, which takes a moment for a large guide, so
// it happens on a worker: until it is done there is no programme, and
// `changed` says when there is.
//
// Threads: the UI thread only.

#include <QLocale>
#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "catalogue/catchup_attributes.h"
#include "guide/guide_store.h"

namespace lumora {

class ProgrammeGuide final : public QObject {
    Q_OBJECT
public:
    // Opens the store at `storePath` when it is there (empty: the user's),
    // once the event loop runs.
    explicit ProgrammeGuide(QString storePath = {}, QObject* parent = nullptr);
    ~ProgrammeGuide() override;

    // The programme on the channel (its catalogue id) at `at`, UTC seconds.
    std::optional<ProgrammeSummary> On(const std::string& channelId, std::int64_t at);
    // The programmes of the channel on at some time in [from, to), in time
    // order. The last answer of each channel is kept, so a grid repainting
    // the same window asks the store once per row.
    const std::vector<ProgrammeSummary>& Between(const std::string& channelId, std::int64_t from,
                                                 std::int64_t to);
    // Everything the store keeps of the channel's programme `id`.
    std::optional<ProgrammeDetails> Details(const std::string& channelId, std::int64_t id);
    // The channel's catch-up (the provider's archive of past programmes),
    // null when it has none or the catalogue has not been read yet.
    const CatchupAttributes* Catchup(const std::string& channelId) const;
    // The programme has begun and the channel's archive still keeps it.
    bool InArchive(const std::string& channelId, const ProgrammeSummary& programme,
                   std::int64_t now) const;
    // Forgets every answer and opens the store again (an update replaced
    // it); reads again which channels keep an archive (the catalogue's).
    void Reopen();
    // The store is open (tests wait for it).
    bool Ready() const { return store_ != nullptr; }

    // "20:00–21:00 Title": the programme's local times in the interface
    // language's format.
    static QString Describe(const ProgrammeSummary& programme);
    // "20:00–21:00": the programme's local start and end.
    static QString TimeRange(const ProgrammeSummary& programme);
    // A local time of day, UTC seconds, short.
    static QString TimeOfDay(std::int64_t utc);
    // The locale of the interface language: times and dates follow it.
    static QLocale InterfaceLocale();
    // How far the programme has run at `at`, 0 to 1.
    static double Progress(const ProgrammeSummary& programme, std::int64_t at);
    // Seconds since the epoch, UTC.
    static std::int64_t Now();

signals:
    // The store was opened again: what is shown may have changed.
    void changed();

private:
    struct Kept {
        std::optional<ProgrammeSummary> now;
        std::int64_t from = 0;  // the answer holds in [from, until)
        std::int64_t until = 0;
    };

    struct KeptWindow {
        std::int64_t from = 0;
        std::int64_t to = 0;
        std::vector<ProgrammeSummary> programmes;
    };

    void Opened(std::shared_ptr<GuideStore> store, std::shared_ptr<const CatchupDirectory> catchup,
                int generation);

    QString storePath_;
    std::shared_ptr<GuideStore> store_;
    std::shared_ptr<const CatchupDirectory> catchup_;
    std::thread opener_;
    int generation_ = 0;
    std::unordered_map<std::string, Kept> kept_;
    std::unordered_map<std::string, KeptWindow> keptWindows_;
};

// The program's guide while the main window lives, else null.
ProgrammeGuide* TheProgrammeGuide();
void SetTheProgrammeGuide(ProgrammeGuide* guide);

}  // namespace lumora
