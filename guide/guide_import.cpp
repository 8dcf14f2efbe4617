#include "guide/guide_import.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "guide/guide_store_writer.h"
#include "guide/guide_time.h"
#include "guide/xmltv_reader.h"

namespace lumora {

// One guide on its way in: bytes to the unpacker, XML to the reader,
// channels and programmes to the store.
class GuideImport::Guide final : public GuideSink {
public:
    Guide(std::string name, const GuideImportOptions& options, std::int64_t offsetSeconds,
          GuideStoreWriter& writer, GuideImportReport& report)
        : name_(std::move(name)),
          offsetSeconds_(options.offsetSeconds + offsetSeconds),
          writer_(writer),
          report_(report),
          reader_(*this, options.language),
          unpacker_([this](std::string_view xml) { return reader_.Feed(xml); },
                    options.maxUnpackedBytes) {}

    bool Feed(std::string_view bytes) { return unpacker_.Feed(bytes); }
    bool End() { return unpacker_.Finish() && reader_.Finish(); }

    // Whichever part refused the guide says why; a broken compressed stream
    // says where the XML stood.
    std::string Error() const {
        if (!writer_.Error().empty())
            return name_ + ": " + writer_.Error();
        if (!reader_.Error().empty())
            return name_ + ": " + reader_.Error();
        if (!unpacker_.Error().empty())
            return name_ + ": " + unpacker_.Error() + " (line " + std::to_string(reader_.Line()) +
                   ", column " + std::to_string(reader_.Column()) + ")";
        return name_ + ": the guide could not be read";
    }

    bool OnChannel(const GuideChannel& channel) override {
        if (channel.id.empty())
            return true;
        return writer_.AddChannel(channel);
    }

    bool OnProgramme(const GuideProgramme& programme) override {
        if (programme.channel.empty()) {
            ++report_.noChannel;
            return true;
        }
        const std::optional<GuideTime> start = ParseXmltvTime(programme.start);
        std::optional<GuideTime> stop;
        if (!programme.stop.empty())
            stop = ParseXmltvTime(programme.stop);
        if (!start || (!programme.stop.empty() && !stop)) {
            ++report_.badTime;
            return true;
        }
        report_.unknownZones += (start->unknownZone ? 1 : 0) + (stop && stop->unknownZone ? 1 : 0);
        if (stop && stop->utc < start->utc) {
            ++report_.stopBeforeStart;
            return true;
        }
        std::optional<std::int64_t> stopTime;
        if (stop)
            stopTime = stop->utc + offsetSeconds_;
        bool repeated = false;
        if (!writer_.AddProgramme(programme, start->utc + offsetSeconds_, stopTime, repeated))
            return false;
        report_.repeated += repeated ? 1 : 0;
        return true;
    }

private:
    std::string name_;
    std::int64_t offsetSeconds_ = 0;
    GuideStoreWriter& writer_;
    GuideImportReport& report_;
    XmltvReader reader_;
    GuideUnpacker unpacker_;
};

std::unique_ptr<GuideImport> GuideImport::Begin(const std::string& storePath,
                                                GuideImportOptions options, std::string& error) {
    std::unique_ptr<GuideStoreWriter> writer = GuideStoreWriter::Begin(storePath, error);
    if (!writer)
        return nullptr;
    std::unique_ptr<GuideImport> import(new GuideImport);
    import->options_ = std::move(options);
    import->writer_ = std::move(writer);
    return import;
}

GuideImport::~GuideImport() = default;

void GuideImport::BeginGuide(std::string name, std::int64_t offsetSeconds) {
    guideName_ = name;
    guide_ = std::make_unique<Guide>(std::move(name), options_, offsetSeconds, *writer_, report_);
}

void GuideImport::SetMeta(std::string key, std::string value) {
    meta_.emplace_back(std::move(key), std::move(value));
}

bool GuideImport::FailGuide(const std::string& why) {
    if (error_.empty())
        error_ = guideName_ + ": " + why;
    guide_.reset();
    return false;
}

bool GuideImport::Feed(std::string_view bytes) {
    if (!guide_ || !error_.empty())
        return false;
    if (guide_->Feed(bytes))
        return true;
    error_ = guide_->Error();
    return false;
}

bool GuideImport::EndGuide() {
    if (!guide_ || !error_.empty())
        return false;
    const bool ended = guide_->End();
    if (!ended)
        error_ = guide_->Error();
    guide_.reset();
    report_.guides += ended ? 1 : 0;
    return ended;
}

bool GuideImport::Commit(std::optional<std::vector<CatalogueChannel>> catalogue) {
    if (!error_.empty())
        return false;
    if (report_.guides == 0) {
        error_ = "no guide was read";
        return false;
    }
    StoreCommit commit;
    commit.importedAt = options_.now;
    commit.keepFrom = options_.now - std::int64_t{options_.keptDays} * 86400;
    commit.catalogue = std::move(catalogue);
    commit.extraMeta = meta_;
    StoreCounts counts;
    if (!writer_->Commit(commit, counts)) {
        error_ = writer_->Error();
        return false;
    }
    report_.channels = counts.channels;
    report_.programmes = counts.programmes;
    report_.withoutStop = counts.withoutStop;
    report_.old = counts.old;
    report_.catalogueChannels = counts.catalogueChannels;
    report_.matchedChannels = counts.matchedChannels;
    return true;
}

bool ImportGuideFile(GuideImport& import, const std::string& path, std::int64_t offsetSeconds,
                     const std::function<bool(std::uint64_t)>& onRead) {
    import.BeginGuide(path, offsetSeconds);
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    struct stat info {};
    if (file < 0 || ::fstat(file, &info) != 0 || !S_ISREG(info.st_mode)) {
        const bool opened = file >= 0;
        if (opened)
            ::close(file);
        return import.FailGuide(opened ? "not a regular file" : "cannot be read");
    }
    std::string buffer(256 * 1024, '\0');
    bool fed = true;
    bool stopped = false;
    std::uint64_t read = 0;
    for (;;) {
        const ssize_t got = ::read(file, buffer.data(), buffer.size());
        if (got < 0) {
            fed = false;
            break;
        }
        if (got == 0)
            break;
        if (!import.Feed(std::string_view(buffer.data(), static_cast<std::size_t>(got)))) {
            fed = false;
            break;
        }
        read += static_cast<std::uint64_t>(got);
        if (onRead && !onRead(read)) {
            fed = false;
            stopped = true;
            break;
        }
    }
    ::close(file);
    if (!fed && import.Error().empty())
        return import.FailGuide(stopped ? "stopped" : "cannot be read");
    return fed && import.EndGuide();
}

}  // namespace lumora
