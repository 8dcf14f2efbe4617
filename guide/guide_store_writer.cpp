#include "guide/guide_store_writer.h"

#include <algorithm>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "guide/guide_store_schema.h"
#include "guide/timeline_part.h"

namespace lumora {

namespace {

// Pages SQLite may keep in memory for the store and for the staging table
// (and the sorts of normalising): a fixed amount, whatever the guide's size.
constexpr std::string_view kBuildPragmas =
    "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA locking_mode=EXCLUSIVE;"
    "PRAGMA temp_store=FILE; PRAGMA page_size=32768; PRAGMA cache_size=-16384;"
    "PRAGMA temp.page_size=32768; PRAGMA temp.cache_size=-16384;";

// Each staged programme's end: the next one's start where that comes first
// or where the guide gives no stop; NULL for a channel's last programme
// without stop.
constexpr std::string_view kEnds = R"sql(
SELECT channel, start, zero, title, programme, stop,
       CASE WHEN next_start IS NOT NULL AND (stop IS NULL OR next_start < stop)
            THEN next_start ELSE stop END AS ends
FROM (SELECT *, LEAD(start) OVER (PARTITION BY channel ORDER BY start, zero) AS next_start
      FROM temp.staging)
)sql";

// The kept programmes into the timeline, in key order.
const std::string kNormalise =
    "INSERT INTO schedule(channel, start, zero, stop, title, programme) "
    "SELECT channel, start, zero, ends, title, programme FROM (" +
    std::string(kEnds) + ") WHERE ends IS NOT NULL AND ends > ?1";

// The details of the programmes that were not kept.
const std::string kDropDetails = "DELETE FROM programmes WHERE id IN (SELECT programme FROM (" +
                                 std::string(kEnds) + ") WHERE ends IS NULL OR ends <= ?1)";

const std::string kCountWithoutStop =
    "SELECT count(*) FROM (" + std::string(kEnds) + ") WHERE stop IS NULL AND ends IS NULL";

bool SyncPath(const std::string& path, int flags) {
    const int descriptor = ::open(path.c_str(), flags | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    const bool synced = ::fsync(descriptor) == 0;
    ::close(descriptor);
    return synced;
}

}  // namespace

std::unique_ptr<GuideStoreWriter> GuideStoreWriter::Begin(const std::string& path,
                                                          std::string& error) {
    std::error_code ignored;
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty())
        std::filesystem::create_directories(folder, ignored);
    // The lock file keeps two imports of one store from writing one
    // temporary file; it is never removed, so both always lock one file.
    const int lockFile = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lockFile < 0) {
        error = path + ": the guide store's folder cannot be written";
        return nullptr;
    }
    if (::flock(lockFile, LOCK_EX | LOCK_NB) != 0) {
        ::close(lockFile);
        error = path + ": another import of this guide store is running";
        return nullptr;
    }
    std::unique_ptr<GuideStoreWriter> writer(new GuideStoreWriter(path, lockFile));
    if (!writer->Start()) {
        error = writer->error_;
        return nullptr;
    }
    return writer;
}

GuideStoreWriter::GuideStoreWriter(std::string path, int lockFile)
    : path_(std::move(path)), temporaryPath_(path_ + ".tmp"), lockFile_(lockFile) {}

GuideStoreWriter::~GuideStoreWriter() {
    insertProgramme_.reset();
    insertTexts_.reset();
    insertName_.reset();
    updateIcon_.reset();
    insertChannel_.reset();
    findChannel_.reset();
    database_.reset();
    if (!committed_)
        ::unlink(temporaryPath_.c_str());
    if (lockFile_ >= 0)
        ::close(lockFile_);
}

bool GuideStoreWriter::Fail(std::string message) {
    error_ = std::move(message);
    return false;
}

bool GuideStoreWriter::Start() {
    // What an import killed earlier left behind.
    ::unlink(temporaryPath_.c_str());
    std::string error;
    database_ = OpenSqlite(temporaryPath_,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, error);
    if (!database_)
        return Fail(temporaryPath_ + ": " + error);
    if (!ExecSql(database_.get(), kBuildPragmas, error) ||
        !ExecSql(database_.get(), guide_schema::kCreateTables, error) ||
        !ExecSql(database_.get(), guide_schema::kCreateStaging, error) ||
        !ExecSql(database_.get(), "BEGIN", error))
        return Fail(temporaryPath_ + ": " + error);
    sqlite3* db = database_.get();
    findChannel_ = PrepareSql(db, "SELECT id FROM channels WHERE id_key=?1", error);
    insertChannel_ = PrepareSql(db, "INSERT INTO channels(guide_id, id_key) VALUES(?1, ?2)", error);
    updateIcon_ = PrepareSql(db, "UPDATE channels SET icon=?2 WHERE id=?1 AND icon=''", error);
    insertName_ = PrepareSql(
        db, "INSERT OR IGNORE INTO display_names(channel, name, folded) VALUES(?1, ?2, ?3)", error);
    insertTexts_ = PrepareSql(db,
                              "INSERT INTO programmes VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, "
                              "?10, ?11, ?12, ?13)",
                              error);
    insertProgramme_ =
        PrepareSql(db, "INSERT OR IGNORE INTO temp.staging VALUES(?1, ?2, ?3, ?4, ?5, ?6)", error);
    if (!findChannel_ || !insertChannel_ || !updateIcon_ || !insertName_ || !insertTexts_ ||
        !insertProgramme_)
        return Fail(error);
    return true;
}

std::optional<std::int64_t> GuideStoreWriter::ChannelRow(const std::string& id) {
    // Guides list a channel's programmes together: one look-up a run.
    if (lastChannelRow_ >= 0 && id == lastChannelId_)
        return lastChannelRow_;
    const std::string key = GuideIdKey(id);
    sqlite3_stmt* find = findChannel_.get();
    BindText(find, 1, key);
    std::optional<std::int64_t> row;
    if (sqlite3_step(find) == SQLITE_ROW)
        row = sqlite3_column_int64(find, 0);
    sqlite3_reset(find);
    if (!row) {
        sqlite3_stmt* insert = insertChannel_.get();
        BindText(insert, 1, id);
        BindText(insert, 2, key);
        const int status = sqlite3_step(insert);
        sqlite3_reset(insert);
        if (status != SQLITE_DONE) {
            Fail(std::string("the guide store cannot be written: ") +
                 sqlite3_errmsg(database_.get()));
            return std::nullopt;
        }
        row = sqlite3_last_insert_rowid(database_.get());
    }
    lastChannelId_ = id;
    lastChannelRow_ = *row;
    return row;
}

bool GuideStoreWriter::AddChannel(const GuideChannel& channel) {
    const std::optional<std::int64_t> row = ChannelRow(channel.id);
    if (!row)
        return false;
    if (!channel.icon.empty()) {
        sqlite3_bind_int64(updateIcon_.get(), 1, *row);
        BindText(updateIcon_.get(), 2, channel.icon);
        sqlite3_step(updateIcon_.get());
        sqlite3_reset(updateIcon_.get());
    }
    for (const std::string& name : channel.displayNames) {
        const std::string folded = FoldChannelName(name);
        sqlite3_stmt* insert = insertName_.get();
        sqlite3_bind_int64(insert, 1, *row);
        BindText(insert, 2, name);
        BindText(insert, 3, folded);
        const int status = sqlite3_step(insert);
        sqlite3_reset(insert);
        if (status != SQLITE_DONE)
            return Fail(std::string("the guide store cannot be written: ") +
                        sqlite3_errmsg(database_.get()));
    }
    return true;
}

bool GuideStoreWriter::AddProgramme(const GuideProgramme& programme, std::int64_t start,
                                    std::optional<std::int64_t> stop, bool& repeated) {
    repeated = false;
    const std::optional<std::int64_t> row = ChannelRow(programme.channel);
    if (!row)
        return false;
    // The timeline first: a repeated programme costs no details.
    const std::int64_t id = nextProgramme_;
    const int zero = stop && *stop == start ? 0 : 1;
    sqlite3_stmt* key = insertProgramme_.get();
    sqlite3_bind_int64(key, 1, *row);
    sqlite3_bind_int64(key, 2, start);
    sqlite3_bind_int(key, 3, zero);
    if (stop)
        sqlite3_bind_int64(key, 4, *stop);
    else
        sqlite3_bind_null(key, 4);
    BindText(key, 5, programme.title);
    sqlite3_bind_int64(key, 6, id);
    int status = sqlite3_step(key);
    sqlite3_reset(key);
    if (status != SQLITE_DONE)
        return Fail(std::string("the guide store cannot be written: ") +
                    sqlite3_errmsg(database_.get()));
    repeated = sqlite3_changes(database_.get()) == 0;
    if (repeated)
        return true;

    sqlite3_stmt* insert = insertTexts_.get();
    sqlite3_bind_int64(insert, 1, id);
    sqlite3_bind_int64(insert, 2, *row);
    sqlite3_bind_int64(insert, 3, start);
    sqlite3_bind_int(insert, 4, zero);
    const std::string* textFields[] = {&programme.subTitle,        &programme.description,
                                       &programme.categories,      &programme.episodeXmltvNs,
                                       &programme.episodeOnscreen, &programme.icon,
                                       &programme.rating};
    int index = 5;
    for (const std::string* text : textFields)
        BindText(insert, index++, *text);
    sqlite3_bind_int64(insert, 12, programme.flags);
    BindText(insert, 13, programme.catchupId);
    status = sqlite3_step(insert);
    sqlite3_reset(insert);
    if (status != SQLITE_DONE)
        return Fail(std::string("the guide store cannot be written: ") +
                    sqlite3_errmsg(database_.get()));
    ++nextProgramme_;
    return true;
}

bool GuideStoreWriter::Normalise(std::int64_t keepFrom, StoreCounts& counts) {
    std::string error;
    SqliteStatement normalise = PrepareSql(database_.get(), kNormalise, error);
    if (!normalise)
        return Fail(error);
    sqlite3_bind_int64(normalise.get(), 1, keepFrom);
    if (sqlite3_step(normalise.get()) != SQLITE_DONE)
        return Fail(std::string("the guide store cannot be written: ") +
                    sqlite3_errmsg(database_.get()));
    counts.programmes = sqlite3_changes64(database_.get());
    const std::uint64_t staged = static_cast<std::uint64_t>(nextProgramme_ - 1);
    if (counts.programmes == staged)
        return true;
    // Only when some were dropped: why, and their details out.
    SqliteStatement withoutStop = PrepareSql(database_.get(), kCountWithoutStop, error);
    SqliteStatement dropDetails = PrepareSql(database_.get(), kDropDetails, error);
    if (!withoutStop || !dropDetails)
        return Fail(error);
    sqlite3_step(withoutStop.get());
    counts.withoutStop = sqlite3_column_int64(withoutStop.get(), 0);
    counts.old = staged - counts.withoutStop - counts.programmes;
    sqlite3_bind_int64(dropDetails.get(), 1, keepFrom);
    if (sqlite3_step(dropDetails.get()) != SQLITE_DONE)
        return Fail(std::string("the guide store cannot be written: ") +
                    sqlite3_errmsg(database_.get()));
    // The staging table goes with the connection's temporary file.
    return true;
}

bool GuideStoreWriter::MatchCatalogue(const std::vector<CatalogueChannel>& catalogue,
                                      StoreCounts& counts) {
    std::string error;
    ChannelMatcher matcher;
    {
        // Channels in the order the guides gave them, so the first of two
        // with one name counts.
        SqliteStatement ids =
            PrepareSql(database_.get(), "SELECT id, id_key FROM channels ORDER BY id", error);
        SqliteStatement names = PrepareSql(
            database_.get(), "SELECT channel, folded FROM display_names ORDER BY channel", error);
        if (!ids || !names)
            return Fail(error);
        while (sqlite3_step(ids.get()) == SQLITE_ROW)
            matcher.AddFolded(sqlite3_column_int64(ids.get(), 0),
                              std::string(ColumnText(ids.get(), 1)), {});
        while (sqlite3_step(names.get()) == SQLITE_ROW)
            matcher.AddFolded(sqlite3_column_int64(names.get(), 0), {},
                              std::string(ColumnText(names.get(), 1)));
    }
    SqliteStatement insert = PrepareSql(
        database_.get(),
        "INSERT OR IGNORE INTO matches(lumora_id, channel, rule, shift) VALUES(?1, ?2, ?3, ?4)",
        error);
    if (!insert)
        return Fail(error);
    counts.catalogueChannels = catalogue.size();
    for (const CatalogueChannel& channel : catalogue) {
        const std::optional<ChannelMatch> match = matcher.Match(channel);
        BindText(insert.get(), 1, channel.lumoraId);
        if (match) {
            ++counts.matchedChannels;
            sqlite3_bind_int64(insert.get(), 2, match->channel);
            BindText(insert.get(), 3, MatchRuleName(match->rule));
        } else {
            sqlite3_bind_null(insert.get(), 2);
            sqlite3_bind_null(insert.get(), 3);
        }
        sqlite3_bind_int64(insert.get(), 4, std::int64_t{channel.shiftMinutes} * 60);
        const int status = sqlite3_step(insert.get());
        sqlite3_reset(insert.get());
        if (status != SQLITE_DONE)
            return Fail(sqlite3_errmsg(database_.get()));
    }
    return true;
}

bool GuideStoreWriter::WriteTimeline() {
    std::string error;
    // Key order: each channel's programmes together, in time order.
    SqliteStatement read = PrepareSql(database_.get(),
                                      "SELECT channel, start, stop, programme, title FROM schedule "
                                      "WHERE stop > start ORDER BY channel, start, zero",
                                      error);
    SqliteStatement insert =
        PrepareSql(database_.get(),
                   "INSERT INTO timeline(channel, part, programmes) VALUES(?1, ?2, ?3)", error);
    if (!read || !insert)
        return Fail(error);
    TimelinePart part;
    std::int64_t channel = 0;
    std::int64_t partNumber = 0;
    const auto flush = [&] {
        if (part.Programmes() == 0)
            return true;
        timelineProgrammes_ += part.Programmes();
        timelineTitleBytes_ += part.TitleBytes();
        const std::string_view bytes = part.Bytes();
        sqlite3_bind_int64(insert.get(), 1, channel);
        sqlite3_bind_int64(insert.get(), 2, partNumber++);
        sqlite3_bind_blob64(insert.get(), 3, bytes.data(), bytes.size(), SQLITE_STATIC);
        const int status = sqlite3_step(insert.get());
        sqlite3_reset(insert.get());
        part.Clear();
        return status == SQLITE_DONE;
    };
    int status = SQLITE_ROW;
    while ((status = sqlite3_step(read.get())) == SQLITE_ROW) {
        const std::int64_t rowChannel = sqlite3_column_int64(read.get(), 0);
        if (rowChannel != channel || part.Full()) {
            if (!flush())
                return Fail(std::string("the guide store cannot be written: ") +
                            sqlite3_errmsg(database_.get()));
            if (rowChannel != channel)
                partNumber = 0;
            channel = rowChannel;
        }
        part.Add(sqlite3_column_int64(read.get(), 1), sqlite3_column_int64(read.get(), 2),
                 sqlite3_column_int64(read.get(), 3), ColumnText(read.get(), 4));
    }
    if (status != SQLITE_DONE || !flush())
        return Fail(std::string("the guide store cannot be written: ") +
                    sqlite3_errmsg(database_.get()));
    return true;
}

bool GuideStoreWriter::WriteMeta(const StoreCommit& commit) {
    std::string error;
    SqliteStatement insert = PrepareSql(
        database_.get(), "INSERT OR REPLACE INTO meta(key, value) VALUES(?1, ?2)", error);
    if (!insert)
        return Fail(error);
    std::vector<std::pair<std::string, std::string>> rows = {
        {std::string(guide_schema::kMetaVersion), std::to_string(guide_schema::kVersion)},
        {std::string(guide_schema::kMetaImported), std::to_string(commit.importedAt)},
        {std::string(guide_schema::kMetaCatalogue), commit.catalogue ? "1" : "0"},
        {std::string(guide_schema::kMetaTimelineProgrammes), std::to_string(timelineProgrammes_)},
        {std::string(guide_schema::kMetaTimelineTitleBytes), std::to_string(timelineTitleBytes_)},
    };
    const std::size_t ownRows = rows.size();
    for (const auto& extra : commit.extraMeta) {
        const bool reserved =
            std::any_of(rows.begin(), rows.begin() + ownRows,
                        [&](const auto& row) { return row.first == extra.first; });
        if (!reserved)
            rows.push_back(extra);
    }
    for (const auto& [key, value] : rows) {
        BindText(insert.get(), 1, key);
        BindText(insert.get(), 2, value);
        const int status = sqlite3_step(insert.get());
        sqlite3_reset(insert.get());
        if (status != SQLITE_DONE)
            return Fail(sqlite3_errmsg(database_.get()));
    }
    return true;
}

bool GuideStoreWriter::Commit(const StoreCommit& commit, StoreCounts& counts) {
    std::string error;
    findChannel_.reset();
    insertChannel_.reset();
    updateIcon_.reset();
    insertName_.reset();
    insertTexts_.reset();
    insertProgramme_.reset();
    if (!Normalise(commit.keepFrom, counts))
        return false;
    if (commit.catalogue && !MatchCatalogue(*commit.catalogue, counts))
        return false;
    if (!WriteTimeline() || !WriteMeta(commit))
        return false;
    SqliteStatement channels = PrepareSql(database_.get(), "SELECT count(*) FROM channels", error);
    if (!channels || sqlite3_step(channels.get()) != SQLITE_ROW)
        return Fail(error);
    counts.channels = sqlite3_column_int64(channels.get(), 0);
    channels.reset();
    if (!ExecSql(database_.get(), "COMMIT", error))
        return Fail("the guide store cannot be written: " + error);
    return PutInPlace();
}

bool GuideStoreWriter::PutInPlace() {
    if (sqlite3_close(database_.release()) != SQLITE_OK)
        return Fail(temporaryPath_ + ": cannot be closed");
    // The new store is on the disk before its name replaces the old one's.
    if (!SyncPath(temporaryPath_, O_RDONLY))
        return Fail(temporaryPath_ + ": cannot be written to the disk");
    if (std::rename(temporaryPath_.c_str(), path_.c_str()) != 0)
        return Fail(path_ + ": cannot be replaced");
    committed_ = true;
    const std::filesystem::path folder = std::filesystem::path(path_).parent_path();
    SyncPath(folder.empty() ? "." : folder.string(), O_RDONLY | O_DIRECTORY);
    return true;
}

}  // namespace lumora
