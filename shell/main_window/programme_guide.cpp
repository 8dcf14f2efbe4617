#include "shell/main_window/programme_guide.h"

#include <QDateTime>
#include <QLocale>
#include <QTimer>
#include <ctime>
#include <limits>

#include "catalogue/catalogue.h"
#include "catalogue/languages.h"
#include "shell/app/data_folders.h"

namespace lumora {
namespace {

ProgrammeGuide* theGuide = nullptr;

// Answers kept at most: a catalogue's channels, bounded.
constexpr std::size_t kMaxKept = 200000;
// Windows kept at most: a few screens of grid rows.
constexpr std::size_t kMaxKeptWindows = 2048;

}  // namespace

ProgrammeGuide* TheProgrammeGuide() {
    return theGuide;
}

void SetTheProgrammeGuide(ProgrammeGuide* guide) {
    theGuide = guide;
}

ProgrammeGuide::ProgrammeGuide(QString storePath, QObject* parent)
    : QObject(parent), storePath_(std::move(storePath)) {
    // From the event loop: at start, after the window is on screen, so the
    // timeline's read does not compete with the start-up.
    QTimer::singleShot(0, this, &ProgrammeGuide::Reopen);
}

ProgrammeGuide::~ProgrammeGuide() {
    if (theGuide == this)
        theGuide = nullptr;
    if (opener_.joinable())
        opener_.join();
}

void ProgrammeGuide::Reopen() {
    kept_.clear();
    keptWindows_.clear();
    store_.reset();
    if (opener_.joinable())
        opener_.join();
    const QString path = storePath_.isEmpty() ? GuideStorePath() : storePath_;
    const Catalogue* catalogue = TheCatalogue();
    std::u16string cataloguePath = catalogue != nullptr ? catalogue->Path() : std::u16string();
    const int generation = ++generation_;
    emit changed();
    if (path.isEmpty() && cataloguePath.empty())
        return;
    opener_ = std::thread([this, path = path.toStdString(), cataloguePath, generation] {
        std::string error;
        std::shared_ptr<GuideStore> store = path.empty() ? nullptr : GuideStore::Open(path, error);
        // The first question reads the timeline; the UI thread then only
        // looks things up.
        if (store)
            store->NowAndNextOf({std::string()}, 0);
        auto catchup = std::make_shared<const CatchupDirectory>(
            cataloguePath.empty() ? CatchupDirectory() : ReadCatalogueCatchup(cataloguePath));
        // Delivered only while the guide lives: its destructor waits here.
        QMetaObject::invokeMethod(
            this, [this, store, catchup, generation] { Opened(store, catchup, generation); },
            Qt::QueuedConnection);
    });
}

void ProgrammeGuide::Opened(std::shared_ptr<GuideStore> store,
                            std::shared_ptr<const CatchupDirectory> catchup, int generation) {
    if (generation != generation_)
        return;
    if (opener_.joinable())
        opener_.join();
    kept_.clear();
    keptWindows_.clear();
    store_ = std::move(store);
    catchup_ = std::move(catchup);
    emit changed();
}

const CatchupAttributes* ProgrammeGuide::Catchup(const std::string& channelId) const {
    if (catchup_ == nullptr)
        return nullptr;
    const auto found = catchup_->find(channelId);
    return found == catchup_->end() ? nullptr : &found->second;
}

bool ProgrammeGuide::InArchive(const std::string& channelId, const ProgrammeSummary& programme,
                               std::int64_t now) const {
    const CatchupAttributes* catchup = Catchup(channelId);
    if (catchup == nullptr || programme.start > now)
        return false;
    constexpr std::int64_t kDay = 24 * 60 * 60;
    return !catchup->days || now - programme.start <= std::int64_t(*catchup->days) * kDay;
}

std::optional<ProgrammeSummary> ProgrammeGuide::On(const std::string& channelId, std::int64_t at) {
    if (!store_)
        return std::nullopt;
    const auto found = kept_.find(channelId);
    if (found != kept_.end() && at >= found->second.from && at < found->second.until)
        return found->second.now;
    if (kept_.size() >= kMaxKept)
        kept_.clear();
    const std::vector<NowAndNext> answer = store_->NowAndNextOf({channelId}, at);
    Kept kept;
    kept.from = at;
    kept.until = std::numeric_limits<std::int64_t>::max();
    if (!answer.empty()) {
        kept.now = answer.front().now;
        if (kept.now)
            kept.until = kept.now->stop;
        else if (answer.front().next)
            kept.until = answer.front().next->start;
    }
    kept_[channelId] = kept;
    return kept.now;
}

const std::vector<ProgrammeSummary>& ProgrammeGuide::Between(const std::string& channelId,
                                                             std::int64_t from, std::int64_t to) {
    static const std::vector<ProgrammeSummary> none;
    if (!store_)
        return none;
    const auto found = keptWindows_.find(channelId);
    if (found != keptWindows_.end() && found->second.from == from && found->second.to == to)
        return found->second.programmes;
    if (keptWindows_.size() >= kMaxKeptWindows)
        keptWindows_.clear();
    KeptWindow& kept = keptWindows_[channelId];
    kept.from = from;
    kept.to = to;
    kept.programmes = store_->ProgrammesBetween(channelId, from, to);
    return kept.programmes;
}

std::optional<ProgrammeDetails> ProgrammeGuide::Details(const std::string& channelId,
                                                        std::int64_t id) {
    if (!store_)
        return std::nullopt;
    return store_->Details(channelId, id);
}

QLocale ProgrammeGuide::InterfaceLocale() {
    return QLocale(QString::fromStdU16String(LanguageCode(CurrentLanguage())));
}

QString ProgrammeGuide::TimeOfDay(std::int64_t utc) {
    return InterfaceLocale().toString(QDateTime::fromSecsSinceEpoch(utc).time(),
                                      QLocale::ShortFormat);
}

QString ProgrammeGuide::TimeRange(const ProgrammeSummary& programme) {
    return TimeOfDay(programme.start) + QChar(0x2013) + TimeOfDay(programme.stop);
}

QString ProgrammeGuide::Describe(const ProgrammeSummary& programme) {
    return TimeRange(programme) + QLatin1Char(' ') + QString::fromStdString(programme.title);
}

double ProgrammeGuide::Progress(const ProgrammeSummary& programme, std::int64_t at) {
    if (programme.stop <= programme.start)
        return 0;
    const double done = double(at - programme.start) / double(programme.stop - programme.start);
    return std::clamp(done, 0.0, 1.0);
}

std::int64_t ProgrammeGuide::Now() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

}  // namespace lumora
