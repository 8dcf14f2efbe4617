#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "guide/sqlite_handles.h"

namespace lumora {

class GuideTimeline;

// A programme as lists show it. Times are UTC seconds, the channel's time
// shift already added.
struct ProgrammeSummary {
    std::int64_t id = 0;  // for Details
    std::int64_t start = 0;
    std::int64_t stop = 0;
    std::string title;
};

// Everything the store keeps of one programme.
struct ProgrammeDetails {
    ProgrammeSummary summary;
    std::string subTitle;
    std::string description;
    std::vector<std::string> categories;
    std::string episodeXmltvNs;
    std::string episodeOnscreen;
    std::string icon;
    std::string rating;
    std::string catchupId;
    std::uint32_t flags = 0;  // GuideProgrammeFlag bits
};

struct NowAndNext {
    // The Lumora id, or the guide's channel id as the guide writes it; as
    // asked when the store does not know the channel.
    std::string channel;
    std::optional<ProgrammeSummary> now;
    std::optional<ProgrammeSummary> next;
};

// One catalogue channel's match as the import found it.
struct StoredMatch {
    std::string lumoraId;
    std::string guideId;  // empty when nothing matched
    std::string rule;     // "id", "tvg-name", "name"; empty when nothing matched
};

// The guide store, read. Channels are named by their Lumora channel ids
// when the store was imported with a catalogue, else by the guide's own
// channel ids (any case). A channel the store does not know has no
// programmes.
//
// Threads: one object, one thread at a time; objects on several threads
// may read one store. The store an import replaces stays readable through
// an object opened before the replacement.
class GuideStore {
public:
    // Nothing, with `error` set, when the file is missing, damaged or of
    // another version.
    static std::unique_ptr<GuideStore> Open(const std::string& path, std::string& error);
    ~GuideStore();
    GuideStore(const GuideStore&) = delete;
    GuideStore& operator=(const GuideStore&) = delete;

    bool HasCatalogue() const { return hasCatalogue_; }
    std::int64_t ImportedAt() const { return importedAt_; }
    // A row of the meta table the import was given (StoreCommit::extraMeta);
    // empty when there is none.
    std::string Meta(const std::string& key) const;

    // The programme on at `at` (start <= at < stop) and the one after it;
    // a programme of no length is neither. The first call takes the store's
    // packed timeline into memory (GuideTimeline: about 24 bytes a
    // programme plus its title), so that a whole channel list costs a few
    // milliseconds; a store whose timeline is damaged is read as before,
    // one query a channel.
    std::vector<NowAndNext> NowAndNextOf(const std::vector<std::string>& channels, std::int64_t at);
    // The programmes of one channel that are on at some time in [from, to),
    // in time order.
    std::vector<ProgrammeSummary> ProgrammesBetween(std::string_view channel, std::int64_t from,
                                                    std::int64_t to);
    // One programme of the channel by its id.
    std::optional<ProgrammeDetails> Details(std::string_view channel, std::int64_t id);

    // Every channel name the store answers to with programmes: the matched
    // Lumora ids, or the guide's channel ids.
    std::vector<std::string> Channels();
    // The catalogue's channels and their matches, by Lumora id.
    std::vector<StoredMatch> Matches();

private:
    struct Resolved {
        std::int64_t channel = 0;
        std::int64_t shift = 0;  // seconds
        std::string name;        // the Lumora id, or the guide's id as it writes it
    };

    explicit GuideStore(SqliteDatabase database);
    bool Prepare(std::string& error);
    std::optional<Resolved> Resolve(std::string_view channel);
    ProgrammeSummary ReadSummary(sqlite3_stmt* statement, std::int64_t shift) const;
    const GuideTimeline* Timeline();
    std::vector<NowAndNext> NowAndNextFromSchedule(const std::vector<std::string>& channels,
                                                   std::int64_t at);

    SqliteDatabase database_;
    bool hasCatalogue_ = false;
    std::int64_t importedAt_ = 0;
    std::map<std::string, std::string, std::less<>> meta_;
    SqliteStatement resolve_;
    SqliteStatement fromStart_;
    SqliteStatement between_;
    SqliteStatement details_;
    // Taken at the first NowAndNextOf; none when the store's is damaged.
    std::unique_ptr<GuideTimeline> timeline_;
    bool timelineRead_ = false;
};

}  // namespace lumora
