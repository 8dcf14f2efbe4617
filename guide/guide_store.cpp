#include "guide/guide_store.h"

#include <algorithm>

#include "guide/channel_matcher.h"
#include "guide/guide_store_schema.h"
#include "guide/guide_timeline.h"

namespace lumora {

namespace {

// The programmes of some length from the last start at or before ?2 (or,
// when none is, from ?2) on: the first may be on, the next follows it,
// however many programmes of no length lie between.
constexpr std::string_view kFromStart = R"sql(
SELECT programme, start, stop, title FROM schedule
WHERE channel=?1 AND stop > start AND start >= coalesce(
  (SELECT max(start) FROM schedule WHERE channel=?1 AND start<=?2), ?2)
ORDER BY start, zero LIMIT 2
)sql";

constexpr std::string_view kBetween = R"sql(
SELECT programme, start, stop, title FROM schedule
WHERE channel=?1 AND start >= coalesce(
  (SELECT max(start) FROM schedule WHERE channel=?1 AND start<=?2), ?2)
  AND start < ?3 AND stop > ?2
ORDER BY start, zero
)sql";

constexpr std::string_view kDetails = R"sql(
SELECT s.programme, s.start, s.stop, s.title, p.sub_title, p.description, p.categories,
       p.episode_xmltv_ns, p.episode_onscreen, p.icon, p.rating, p.catchup_id, p.flags
FROM programmes p JOIN schedule s ON s.channel=p.channel AND s.start=p.start AND s.zero=p.zero
WHERE p.id=?1 AND p.channel=?2
)sql";

// One read transaction over a run of look-ups: each statement on its own
// would take and drop the file's lock, which costs more than the look-up.
class ReadTransaction {
public:
    explicit ReadTransaction(sqlite3* database) : database_(database) {
        std::string error;
        open_ = ExecSql(database_, "BEGIN", error);
    }
    ~ReadTransaction() {
        std::string error;
        if (open_)
            ExecSql(database_, "COMMIT", error);
    }
    ReadTransaction(const ReadTransaction&) = delete;
    ReadTransaction& operator=(const ReadTransaction&) = delete;

private:
    sqlite3* database_;
    bool open_ = false;
};

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        lines.emplace_back(text.substr(0, end));
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

}  // namespace

GuideStore::GuideStore(SqliteDatabase database) : database_(std::move(database)) {}

GuideStore::~GuideStore() = default;

std::unique_ptr<GuideStore> GuideStore::Open(const std::string& path, std::string& error) {
    SqliteDatabase database = OpenSqlite(path, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, error);
    if (!database) {
        error = path + ": " + error;
        return nullptr;
    }
    std::unique_ptr<GuideStore> store(new GuideStore(std::move(database)));
    if (!store->Prepare(error)) {
        error = path + ": not a guide store (" + error + ")";
        return nullptr;
    }
    return store;
}

std::string GuideStore::Meta(const std::string& key) const {
    const auto found = meta_.find(key);
    return found == meta_.end() ? std::string() : found->second;
}

bool GuideStore::Prepare(std::string& error) {
    sqlite3* db = database_.get();
    // Look-ups jump around the whole file: mapped, they cost no read calls.
    if (!ExecSql(db, "PRAGMA mmap_size=1073741824; PRAGMA cache_size=-8192", error))
        return false;
    SqliteStatement meta = PrepareSql(db, "SELECT key, value FROM meta", error);
    if (!meta)
        return false;
    int version = 0;
    while (sqlite3_step(meta.get()) == SQLITE_ROW) {
        const std::string_view key = ColumnText(meta.get(), 0);
        const std::string value(ColumnText(meta.get(), 1));
        if (key == guide_schema::kMetaVersion)
            version = std::atoi(value.c_str());
        else if (key == guide_schema::kMetaImported)
            importedAt_ = std::atoll(value.c_str());
        else if (key == guide_schema::kMetaCatalogue)
            hasCatalogue_ = value == "1";
        else
            meta_.emplace(key, value);
    }
    if (version != guide_schema::kVersion) {
        error = "version " + std::to_string(version);
        return false;
    }
    resolve_ = PrepareSql(db,
                          hasCatalogue_ ? "SELECT channel, shift, lumora_id FROM matches "
                                          "WHERE lumora_id=?1 AND channel IS NOT NULL"
                                        : "SELECT id, 0, guide_id FROM channels WHERE id_key=?1",
                          error);
    fromStart_ = PrepareSql(db, kFromStart, error);
    between_ = PrepareSql(db, kBetween, error);
    details_ = PrepareSql(db, kDetails, error);
    return resolve_ && fromStart_ && between_ && details_;
}

std::optional<GuideStore::Resolved> GuideStore::Resolve(std::string_view channel) {
    sqlite3_stmt* resolve = resolve_.get();
    const std::string key = hasCatalogue_ ? std::string(channel) : GuideIdKey(channel);
    BindText(resolve, 1, key);
    std::optional<Resolved> resolved;
    if (sqlite3_step(resolve) == SQLITE_ROW)
        resolved = Resolved{sqlite3_column_int64(resolve, 0), sqlite3_column_int64(resolve, 1),
                            std::string(ColumnText(resolve, 2))};
    sqlite3_reset(resolve);
    // A shift no import writes (a damaged store) would take the times out
    // of range: such a channel shows nothing.
    if (resolved &&
        (resolved->shift > GuideTimeline::kMaxShift || resolved->shift < -GuideTimeline::kMaxShift))
        return std::nullopt;
    return resolved;
}

ProgrammeSummary GuideStore::ReadSummary(sqlite3_stmt* statement, std::int64_t shift) const {
    ProgrammeSummary summary;
    summary.id = sqlite3_column_int64(statement, 0);
    summary.start = sqlite3_column_int64(statement, 1) + shift;
    summary.stop = sqlite3_column_int64(statement, 2) + shift;
    summary.title = ColumnText(statement, 3);
    return summary;
}

const GuideTimeline* GuideStore::Timeline() {
    if (!timelineRead_) {
        timelineRead_ = true;
        const ReadTransaction transaction(database_.get());
        std::string error;
        timeline_ = GuideTimeline::Load(database_.get(), hasCatalogue_, error);
    }
    return timeline_.get();
}

std::vector<NowAndNext> GuideStore::NowAndNextOf(const std::vector<std::string>& channels,
                                                 std::int64_t at) {
    if (const GuideTimeline* timeline = Timeline())
        return timeline->NowAndNextOf(channels, at);
    return NowAndNextFromSchedule(channels, at);
}

std::vector<NowAndNext> GuideStore::NowAndNextFromSchedule(const std::vector<std::string>& channels,
                                                           std::int64_t at) {
    std::vector<NowAndNext> result(channels.size());
    const ReadTransaction transaction(database_.get());
    // Resolved first, then read in the store's channel order: neighbouring
    // look-ups share their pages.
    std::vector<std::pair<Resolved, std::size_t>> order;
    order.reserve(channels.size());
    for (std::size_t i = 0; i < channels.size(); ++i) {
        result[i].channel = channels[i];
        if (std::optional<Resolved> resolved = Resolve(channels[i]))
            order.emplace_back(std::move(*resolved), i);
    }
    std::sort(order.begin(), order.end(),
              [](const auto& a, const auto& b) { return a.first.channel < b.first.channel; });
    sqlite3_stmt* query = fromStart_.get();
    for (auto& [resolved, index] : order) {
        NowAndNext& entry = result[index];
        entry.channel = std::move(resolved.name);
        const std::int64_t localAt = at - resolved.shift;
        sqlite3_bind_int64(query, 1, resolved.channel);
        sqlite3_bind_int64(query, 2, localAt);
        while (sqlite3_step(query) == SQLITE_ROW) {
            const std::int64_t start = sqlite3_column_int64(query, 1);
            const std::int64_t stop = sqlite3_column_int64(query, 2);
            if (start <= localAt) {
                // Started at or before: on unless it has ended.
                if (stop > localAt)
                    entry.now = ReadSummary(query, resolved.shift);
            } else if (!entry.next) {
                entry.next = ReadSummary(query, resolved.shift);
            }
        }
        sqlite3_reset(query);
    }
    return result;
}

std::vector<ProgrammeSummary> GuideStore::ProgrammesBetween(std::string_view channel,
                                                            std::int64_t from, std::int64_t to) {
    std::vector<ProgrammeSummary> programmes;
    const ReadTransaction transaction(database_.get());
    const std::optional<Resolved> resolved = Resolve(channel);
    if (!resolved || to <= from)
        return programmes;
    sqlite3_stmt* query = between_.get();
    sqlite3_bind_int64(query, 1, resolved->channel);
    sqlite3_bind_int64(query, 2, from - resolved->shift);
    sqlite3_bind_int64(query, 3, to - resolved->shift);
    while (sqlite3_step(query) == SQLITE_ROW)
        programmes.push_back(ReadSummary(query, resolved->shift));
    sqlite3_reset(query);
    return programmes;
}

std::optional<ProgrammeDetails> GuideStore::Details(std::string_view channel, std::int64_t id) {
    const ReadTransaction transaction(database_.get());
    const std::optional<Resolved> resolved = Resolve(channel);
    if (!resolved)
        return std::nullopt;
    sqlite3_stmt* query = details_.get();
    sqlite3_bind_int64(query, 1, id);
    sqlite3_bind_int64(query, 2, resolved->channel);
    std::optional<ProgrammeDetails> details;
    if (sqlite3_step(query) == SQLITE_ROW) {
        details.emplace();
        details->summary = ReadSummary(query, resolved->shift);
        details->subTitle = ColumnText(query, 4);
        details->description = ColumnText(query, 5);
        details->categories = SplitLines(ColumnText(query, 6));
        details->episodeXmltvNs = ColumnText(query, 7);
        details->episodeOnscreen = ColumnText(query, 8);
        details->icon = ColumnText(query, 9);
        details->rating = ColumnText(query, 10);
        details->catchupId = ColumnText(query, 11);
        details->flags = static_cast<std::uint32_t>(sqlite3_column_int64(query, 12));
    }
    sqlite3_reset(query);
    return details;
}

std::vector<std::string> GuideStore::Channels() {
    std::string error;
    SqliteStatement query = PrepareSql(
        database_.get(),
        hasCatalogue_ ? "SELECT lumora_id FROM matches WHERE channel IS NOT NULL ORDER BY lumora_id"
                      : "SELECT guide_id FROM channels ORDER BY guide_id",
        error);
    std::vector<std::string> channels;
    while (query && sqlite3_step(query.get()) == SQLITE_ROW)
        channels.emplace_back(ColumnText(query.get(), 0));
    return channels;
}

std::vector<StoredMatch> GuideStore::Matches() {
    std::string error;
    SqliteStatement query = PrepareSql(database_.get(),
                                       "SELECT m.lumora_id, c.guide_id, m.rule FROM matches m "
                                       "LEFT JOIN channels c ON c.id = m.channel "
                                       "ORDER BY m.lumora_id",
                                       error);
    std::vector<StoredMatch> matches;
    while (query && sqlite3_step(query.get()) == SQLITE_ROW) {
        matches.push_back({std::string(ColumnText(query.get(), 0)),
                           std::string(ColumnText(query.get(), 1)),
                           std::string(ColumnText(query.get(), 2))});
    }
    return matches;
}

}  // namespace lumora
