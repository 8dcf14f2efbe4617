#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "guide/channel_matcher.h"
#include "guide/guide_unpacker.h"

namespace lumora {

struct GuideImportOptions {
    std::string language;            // the interface's language: preferred texts
    std::int64_t offsetSeconds = 0;  // added to every time of the guides
    std::uint64_t maxUnpackedBytes = kDefaultGuideByteLimit;  // per guide
    std::int64_t now = 0;                                     // UTC seconds
    int keptDays = 7;  // programmes that ended longer ago are dropped
};

struct GuideImportReport {
    std::uint64_t guides = 0;
    std::uint64_t channels = 0;
    std::uint64_t programmes = 0;  // kept in the store
    std::uint64_t catalogueChannels = 0;
    std::uint64_t matchedChannels = 0;
    // Dropped programmes, by reason.
    std::uint64_t badTime = 0;          // a start or stop that is not a time
    std::uint64_t noChannel = 0;        // no channel attribute
    std::uint64_t stopBeforeStart = 0;  // stop before start
    std::uint64_t withoutStop = 0;      // a channel's last programme without stop
    std::uint64_t repeated = 0;         // a second programme at one start
    std::uint64_t old = 0;              // ended more than the kept days ago
    std::uint64_t unknownZones = 0;     // times whose zone was taken as UTC
};

// One import: guides are read one after the other into a new store that
// replaces the old one at Commit. A guide that is refused (not a guide,
// malformed, broken off, too large) fails the whole import and the old
// store stays as it was.
//
// Threads: one object, one thread at a time.
class GuideImport {
public:
    static std::unique_ptr<GuideImport> Begin(const std::string& storePath,
                                              GuideImportOptions options, std::string& error);
    ~GuideImport();
    GuideImport(const GuideImport&) = delete;
    GuideImport& operator=(const GuideImport&) = delete;

    // A guide's bytes in order, between BeginGuide and EndGuide. `name`
    // starts the messages about it. Feed is the callback a download streams
    // into: false stops it.
    // `offsetSeconds` is added to this guide's times, besides the import's.
    void BeginGuide(std::string name, std::int64_t offsetSeconds = 0);
    bool Feed(std::string_view bytes);
    bool EndGuide();
    // Refuses the current guide for a reason found outside it (its file
    // cannot be read, its download failed): the import fails.
    bool FailGuide(const std::string& why);

    // With a catalogue, its channels are matched and the store answers to
    // Lumora channel ids.
    bool Commit(std::optional<std::vector<CatalogueChannel>> catalogue);
    // A row the new store's meta table gets (GuideStore::Meta reads it).
    void SetMeta(std::string key, std::string value);

    const GuideImportReport& Report() const { return report_; }
    // The first failure: "NAME: what (line L, column C)".
    const std::string& Error() const { return error_; }

private:
    class Guide;
    GuideImport() = default;

    GuideImportOptions options_;
    std::unique_ptr<class GuideStoreWriter> writer_;
    std::unique_ptr<Guide> guide_;
    std::string guideName_;
    std::vector<std::pair<std::string, std::string>> meta_;
    GuideImportReport report_;
    std::string error_;
};

// Reads a local guide file into the import (BeginGuide to EndGuide). Only a
// regular file is read: a FIFO or a device is refused before a byte is read.
// `onRead`, when given, hears the bytes read so far after every read and
// stops the import by answering false.
bool ImportGuideFile(GuideImport& import, const std::string& path, std::int64_t offsetSeconds = 0,
                     const std::function<bool(std::uint64_t)>& onRead = {});

}  // namespace lumora
