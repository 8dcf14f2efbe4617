#pragma once

// Owners of SQLite's handles and the few calls the guide store makes
// through them. Failures are values: false, with the database's message.

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace lumora {

struct SqliteCloser {
    void operator()(sqlite3* database) const { sqlite3_close_v2(database); }
};
struct SqliteFinalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using SqliteDatabase = std::unique_ptr<sqlite3, SqliteCloser>;
using SqliteStatement = std::unique_ptr<sqlite3_stmt, SqliteFinalizer>;

// Opens the file with the flags (SQLITE_OPEN_*); `error` says why not.
SqliteDatabase OpenSqlite(const std::string& path, int flags, std::string& error);
// Runs statements that return no rows.
bool ExecSql(sqlite3* database, std::string_view sql, std::string& error);
// A prepared statement, or null with `error` set.
SqliteStatement PrepareSql(sqlite3* database, std::string_view sql, std::string& error);

// A statement's text column as a view valid until the next step.
inline std::string_view ColumnText(sqlite3_stmt* statement, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text != nullptr
               ? std::string_view(text,
                                  static_cast<std::size_t>(sqlite3_column_bytes(statement, column)))
               : std::string_view();
}

inline void BindText(sqlite3_stmt* statement, int index, std::string_view text) {
    sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
}

}  // namespace lumora
