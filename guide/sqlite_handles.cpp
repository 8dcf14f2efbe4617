#include "guide/sqlite_handles.h"

namespace lumora {

SqliteDatabase OpenSqlite(const std::string& path, int flags, std::string& error) {
    sqlite3* raw = nullptr;
    const int status = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
    SqliteDatabase database(raw);
    if (status != SQLITE_OK) {
        error = raw != nullptr ? sqlite3_errmsg(raw) : sqlite3_errstr(status);
        return nullptr;
    }
    sqlite3_extended_result_codes(raw, 1);
    return database;
}

bool ExecSql(sqlite3* database, std::string_view sql, std::string& error) {
    char* message = nullptr;
    const std::string text(sql);
    if (sqlite3_exec(database, text.c_str(), nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    error = message != nullptr ? message : sqlite3_errmsg(database);
    sqlite3_free(message);
    return false;
}

SqliteStatement PrepareSql(sqlite3* database, std::string_view sql, std::string& error) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(database, sql.data(), static_cast<int>(sql.size()), &raw, nullptr) !=
        SQLITE_OK) {
        error = sqlite3_errmsg(database);
        return nullptr;
    }
    return SqliteStatement(raw);
}

}  // namespace lumora
