#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "guide/channel_matcher.h"
#include "guide/sqlite_handles.h"
#include "guide/xmltv_reader.h"

namespace lumora {

// What normalising the programmes dropped, and what matching found.
struct StoreCounts {
    std::uint64_t channels = 0;
    std::uint64_t programmes = 0;       // kept in the store
    std::uint64_t withoutStop = 0;      // a channel's last programme, without stop
    std::uint64_t old = 0;              // ended more than the kept days ago
    std::uint64_t matchedChannels = 0;  // catalogue channels that found a guide channel
    std::uint64_t catalogueChannels = 0;
};

// What a commit does besides normalising.
struct StoreCommit {
    std::int64_t keepFrom = 0;  // programmes that end before this are dropped
    std::int64_t importedAt = 0;
    // The catalogue's channels to match; none: the store is read by the
    // guide's own channel ids.
    std::optional<std::vector<CatalogueChannel>> catalogue;
    // More rows of the meta table, for whoever keeps the store up to date
    // (which sources it was built from, their cache validators).
    std::vector<std::pair<std::string, std::string>> extraMeta;
};

// Builds a new guide store beside the old one ("NAME.tmp") and puts it in
// the old one's place only when it is complete: a process killed at any
// moment leaves the old store as it was. Programmes go into a staging table
// as they are read, so memory does not grow with the guide.
//
// Threads: one object, one thread at a time. One import of a store at a
// time: a second Begin on the same store fails while the first lives.
class GuideStoreWriter {
public:
    // Nothing, with `error` set, when the new store cannot be started.
    static std::unique_ptr<GuideStoreWriter> Begin(const std::string& path, std::string& error);
    // Removes the unfinished store unless Commit succeeded.
    ~GuideStoreWriter();
    GuideStoreWriter(const GuideStoreWriter&) = delete;
    GuideStoreWriter& operator=(const GuideStoreWriter&) = delete;

    // A guide channel; its display names and icon join those of an earlier
    // channel with the same id.
    bool AddChannel(const GuideChannel& channel);
    // A programme with its times read; `stop` may be missing. `repeated`
    // says it was dropped because its channel has one at that start.
    bool AddProgramme(const GuideProgramme& programme, std::int64_t start,
                      std::optional<std::int64_t> stop, bool& repeated);

    // Normalises the programmes (half-open, overlaps cut, old ones
    // dropped), matches the catalogue, indexes, and puts the store in place.
    bool Commit(const StoreCommit& commit, StoreCounts& counts);

    const std::string& Error() const { return error_; }

private:
    GuideStoreWriter(std::string path, int lockFile);
    bool Start();
    bool Fail(std::string message);
    std::optional<std::int64_t> ChannelRow(const std::string& id);
    bool Normalise(std::int64_t keepFrom, StoreCounts& counts);
    bool MatchCatalogue(const std::vector<CatalogueChannel>& catalogue, StoreCounts& counts);
    bool WriteTimeline();
    bool WriteMeta(const StoreCommit& commit);
    bool PutInPlace();

    std::string path_;
    std::string temporaryPath_;
    int lockFile_ = -1;
    SqliteDatabase database_;
    SqliteStatement findChannel_;
    SqliteStatement insertChannel_;
    SqliteStatement updateIcon_;
    SqliteStatement insertName_;
    SqliteStatement insertTexts_;
    SqliteStatement insertProgramme_;
    // The id the next programme's details get.
    std::int64_t nextProgramme_ = 1;
    std::string lastChannelId_;
    std::int64_t lastChannelRow_ = -1;
    // The packed timeline's totals, for the store's meta.
    std::uint64_t timelineProgrammes_ = 0;
    std::uint64_t timelineTitleBytes_ = 0;
    bool committed_ = false;
    std::string error_;
};

}  // namespace lumora
