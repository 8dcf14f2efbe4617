#include "shell/main_window/guide_updater.h"

#include <algorithm>
#include <atomic>
#include <ctime>
#include <filesystem>

#include "catalogue/catalogue.h"
#include "catalogue/settings.h"
#include "catalogue/settings_format.h"
#include "document/text_encoding.h"
#include "guide/catalogue_for_guide.h"
#include "net/guide_update.h"
#include "shell/app/data_folders.h"

namespace lumora {

struct GuideUpdater::Shared {
    std::atomic<bool> stop{false};
    std::atomic<std::uint64_t> bytes{0};
};

namespace {

constexpr std::chrono::milliseconds kProgressInterval{250};

// What the worker needs, read on the UI thread.
struct GuideJob {
    std::string storePath;
    std::string cataloguePath;
    std::string userSources;  // the setting; empty: the catalogue's
    std::string language;
    std::uint64_t maxUnpackedBytes = kDefaultGuideByteLimit;
    bool onlyWhenStale = true;
};

// Changes whenever the catalogue file is replaced, so that the channels
// are matched again.
std::string CatalogueIdentity(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    const auto written = std::filesystem::last_write_time(path, error);
    if (error)
        return "none";
    return std::to_string(size) + " " + std::to_string(written.time_since_epoch().count());
}

std::string JoinAddresses(const std::vector<std::string>& addresses) {
    std::string list;
    for (const std::string& address : addresses)
        list.append(list.empty() ? "" : ",").append(address);
    return list;
}

GuideUpdateRequest RequestFor(const GuideJob& job, std::optional<CatalogueForGuide> catalogue) {
    GuideUpdateRequest request;
    request.storePath = job.storePath;
    request.sources =
        job.userSources.empty()
            ? ParseGuideSources(catalogue ? JoinAddresses(catalogue->guideAddresses) : "",
                                SourceOrigin::Playlist)
                  .sources
            : ParseGuideSources(job.userSources, SourceOrigin::User).sources;
    request.signature = GuideUpdateSignature(request.sources, CatalogueIdentity(job.cataloguePath));
    if (catalogue)
        request.catalogue = std::move(catalogue->channels);
    request.import.language = job.language;
    request.import.maxUnpackedBytes = job.maxUnpackedBytes;
    request.import.now = static_cast<std::int64_t>(std::time(nullptr));
    return request;
}

}  // namespace

GuideUpdater::GuideUpdater(QObject* parent) : QObject(parent) {
    progressTimer_.setInterval(kProgressInterval);
    connect(&progressTimer_, &QTimer::timeout, this, &GuideUpdater::ReportProgress);
}

GuideUpdater::~GuideUpdater() {
    if (shared_)
        shared_->stop = true;
    if (worker_.joinable())
        worker_.join();
}

bool GuideUpdater::Start(When when) {
    if (running_)
        return false;
    const QString storePath = storePathOverride_.isEmpty() ? GuideStorePath() : storePathOverride_;
    if (storePath.isEmpty())
        return false;
    if (worker_.joinable())
        worker_.join();
    GuideJob job;
    job.storePath = storePath.toStdString();
    // The catalogue in use; the user's before one is loaded.
    const Catalogue* catalogue = TheCatalogue();
    job.cataloguePath = catalogue != nullptr && !catalogue->Path().empty()
                            ? ToUtf8(catalogue->Path())
                            : UserDataPath(QString::fromLatin1(kCatalogueFileName)).toStdString();
    job.userSources = ToUtf8(GetStringSetting(kGuideSources, u""));
    job.language = ToUtf8(GetStringSetting(kLanguage, u"en"));
    job.onlyWhenStale = when == When::Stale;
    constexpr std::int32_t kDefaultLimitMb = kDefaultGuideByteLimit >> 20;
    job.maxUnpackedBytes = std::uint64_t(std::max(1, GetIntSetting(kGuideLimitMb, kDefaultLimitMb)))
                           << 20;

    shared_ = std::make_shared<Shared>();
    running_ = true;
    progressTimer_.start();
    worker_ = std::thread([this, job = std::move(job), shared = shared_] {
        GuideUpdateRequest request = RequestFor(job, ReadCatalogueForGuide(job.cataloguePath));
        request.stop = &shared->stop;
        Outcome outcome = Outcome::NoGuide;
        std::string message;
        if (request.sources.empty()) {
            message = "no guide address";
        } else if (job.onlyWhenStale &&
                   GuideStoreIsCurrent(request.storePath, request.signature, request.import.now,
                                       kGuideMaxAgeSeconds)) {
            outcome = Outcome::Current;
        } else {
            const GuideUpdateResult result = UpdateGuide(request, [&shared](std::uint64_t bytes) {
                shared->bytes = bytes;
                return true;
            });
            outcome = result.status == GuideUpdateStatus::Updated   ? Outcome::Updated
                      : result.status == GuideUpdateStatus::Current ? Outcome::Current
                                                                    : Outcome::Failed;
            message = result.message;
        }
        // Delivered only while the updater lives: its destructor waits here.
        QMetaObject::invokeMethod(
            this,
            [this, outcome, text = QString::fromStdString(message)] { Finish(outcome, text); },
            Qt::QueuedConnection);
    });
    return true;
}

void GuideUpdater::ReportProgress() {
    if (shared_ && shared_->bytes.load() != 0)
        emit progressed(shared_->bytes.load());
}

void GuideUpdater::Finish(Outcome outcome, const QString& message) {
    progressTimer_.stop();
    if (worker_.joinable())
        worker_.join();
    running_ = false;
    emit finished(outcome, message);
}

}  // namespace lumora
