#include "net/guide_update.h"

#include <memory>

#include "guide/guide_store.h"
#include "net/fetch_stream.h"

namespace lumora {

namespace {

// Meta rows of the store (GuideImport::SetMeta).
constexpr std::string_view kSignatureMeta = "sources";
std::string EtagMeta(const std::string& address) {
    return "etag " + address;
}
std::string ModifiedMeta(const std::string& address) {
    return "last-modified " + address;
}

enum class SourceOutcome { Read, NotModified, Failed };

class GuideUpdate {
public:
    GuideUpdate(const GuideUpdateRequest& request, const GuideUpdateProgress& progress,
                GuideImport& import)
        : request_(request), progress_(progress), import_(import) {}

    // The store's validators, when it was built from the same sources.
    void AskWithValidatorsOf(const std::string& storePath) {
        std::string error;
        std::unique_ptr<GuideStore> old = GuideStore::Open(storePath, error);
        if (old && old->Meta(std::string(kSignatureMeta)) == request_.signature)
            old_ = std::move(old);
    }

    SourceOutcome Read(const GuideSource& source, bool conditional) {
        if (source.kind == GuideSource::Kind::LocalFile)
            return ImportGuideFile(import_, source.address, source.offsetSeconds,
                                   [this](std::uint64_t read) { return Heard(read, fileRead_); })
                       ? SourceOutcome::Read
                       : SourceOutcome::Failed;
        return Fetch(source, conditional);
    }

    // The new store keeps what the next update asks with.
    void KeepValidators() {
        import_.SetMeta(std::string(kSignatureMeta), request_.signature);
        for (const auto& [address, validators] : validators_) {
            if (!validators.etag.empty())
                import_.SetMeta(EtagMeta(address), validators.etag);
            if (!validators.lastModified.empty())
                import_.SetMeta(ModifiedMeta(address), validators.lastModified);
        }
    }

    bool Stopped() const { return stopped_; }
    // Each source starts its own count.
    void NextSource() { fileRead_ = streamRead_ = 0; }

private:
    SourceOutcome Fetch(const GuideSource& source, bool conditional) {
        StreamRequest stream;
        stream.url = source.address;
        stream.userAgent = request_.userAgent;
        stream.stop = request_.stop;
        if (conditional && old_) {
            stream.conditions.etag = old_->Meta(EtagMeta(source.address));
            stream.conditions.lastModified = old_->Meta(ModifiedMeta(source.address));
        }
        bool begun = false;
        std::uint64_t fetched = 0;
        auto begin = [&] {
            if (!begun)
                import_.BeginGuide(source.address, source.offsetSeconds);
            begun = true;
        };
        const StreamResult result = FetchToSink(
            stream,
            [&](std::string_view chunk) {
                begin();
                fetched += chunk.size();
                return import_.Feed(chunk) && Heard(fetched, streamRead_);
            },
            request_.fetch);
        if (result.status == StreamStatus::NotModified && !begun && !stream.conditions.Empty())
            return SourceOutcome::NotModified;
        begin();
        stopped_ = stopped_ || (request_.stop && request_.stop->load());
        if (result.status != StreamStatus::Ok) {
            if (import_.Error().empty())
                import_.FailGuide(stopped_                 ? "stopped"
                                  : result.message.empty() ? "no guide in the answer"
                                                           : result.message);
            return SourceOutcome::Failed;
        }
        validators_.emplace_back(source.address, result.validators);
        return import_.EndGuide() ? SourceOutcome::Read : SourceOutcome::Failed;
    }

    // Progress over all sources: what earlier sources gave plus this one's.
    bool Heard(std::uint64_t sourceBytes, std::uint64_t& lastOfSource) {
        total_ += sourceBytes - lastOfSource;
        lastOfSource = sourceBytes;
        if (sourceBytes == 0)
            return true;
        if ((progress_ && !progress_(total_)) || (request_.stop && request_.stop->load()))
            stopped_ = true;
        return !stopped_;
    }

    const GuideUpdateRequest& request_;
    const GuideUpdateProgress& progress_;
    GuideImport& import_;
    std::unique_ptr<GuideStore> old_;
    std::vector<std::pair<std::string, HttpValidators>> validators_;
    std::uint64_t total_ = 0;
    std::uint64_t fileRead_ = 0;
    std::uint64_t streamRead_ = 0;
    bool stopped_ = false;
};

GuideUpdateResult Ended(GuideUpdateStatus status, const GuideImport* import, std::string message) {
    GuideUpdateResult result;
    result.status = status;
    if (import)
        result.report = import->Report();
    result.message = std::move(message);
    return result;
}

}  // namespace

GuideUpdateResult UpdateGuide(const GuideUpdateRequest& request,
                              const GuideUpdateProgress& progress) {
    if (request.sources.empty())
        return Ended(GuideUpdateStatus::Failed, nullptr, "no guide to read");
    std::string error;
    std::unique_ptr<GuideImport> import =
        GuideImport::Begin(request.storePath, request.import, error);
    if (!import)
        return Ended(GuideUpdateStatus::Failed, nullptr, error);

    GuideUpdate update(request, progress, *import);
    if (request.conditional)
        update.AskWithValidatorsOf(request.storePath);
    // A guide that has not changed is not transferred; but when another one
    // has, the store is rebuilt whole, so those are fetched after it.
    std::vector<const GuideSource*> unchanged;
    bool failed = false;
    for (const GuideSource& source : request.sources) {
        update.NextSource();
        const SourceOutcome outcome = update.Read(source, request.conditional);
        if (outcome == SourceOutcome::NotModified)
            unchanged.push_back(&source);
        failed = outcome == SourceOutcome::Failed;
        if (failed)
            break;
    }
    if (!failed && unchanged.size() == request.sources.size())
        return Ended(GuideUpdateStatus::Current, import.get(), {});
    for (std::size_t i = 0; !failed && i < unchanged.size(); ++i) {
        update.NextSource();
        failed = update.Read(*unchanged[i], false) != SourceOutcome::Read;
    }
    if (failed || !import->Error().empty())
        return Ended(update.Stopped() ? GuideUpdateStatus::Stopped : GuideUpdateStatus::Failed,
                     import.get(), import->Error());
    update.KeepValidators();
    if (!import->Commit(request.catalogue))
        return Ended(GuideUpdateStatus::Failed, import.get(), import->Error());
    return Ended(GuideUpdateStatus::Updated, import.get(), {});
}

std::string GuideUpdateSignature(const std::vector<GuideSource>& sources,
                                 std::string_view catalogueIdentity) {
    std::string signature;
    for (const GuideSource& source : sources) {
        signature += source.kind == GuideSource::Kind::Http ? "http " : "file ";
        signature += std::to_string(source.offsetSeconds);
        signature += ' ';
        signature += source.address;
        signature += '\n';
    }
    signature += "catalogue ";
    signature += catalogueIdentity;
    return signature;
}

bool GuideStoreIsCurrent(const std::string& storePath, const std::string& signature,
                         std::int64_t now, std::int64_t maxAgeSeconds) {
    std::string error;
    const std::unique_ptr<GuideStore> store = GuideStore::Open(storePath, error);
    return store && store->Meta(std::string(kSignatureMeta)) == signature &&
           now - store->ImportedAt() < maxAgeSeconds && store->ImportedAt() <= now;
}

}  // namespace lumora
