#include "records/sqlite_statement.h"

#include <sqlite3.h>

CSqliteStatement::CSqliteStatement(sqlite3* db, const std::string& sql) : m_db(db) {
    if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &m_stmt, nullptr) !=
        SQLITE_OK) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
    }
}

CSqliteStatement::~CSqliteStatement() {
    sqlite3_finalize(m_stmt);
}

std::string CSqliteStatement::Error() const {
    return sqlite3_errmsg(m_db);
}

void CSqliteStatement::BindText(int index, const std::string& value) {
    sqlite3_bind_text(m_stmt, index, value.data(), static_cast<int>(value.size()),
                      SQLITE_TRANSIENT);
}

void CSqliteStatement::BindInt(int index, std::int64_t value) {
    sqlite3_bind_int64(m_stmt, index, value);
}

void CSqliteStatement::BindTexts(const std::vector<std::string>& values) {
    for (std::size_t i = 0; i < values.size(); ++i) {
        BindText(static_cast<int>(i + 1), values[i]);
    }
}

int CSqliteStatement::Step() {
    return m_stmt == nullptr ? SQLITE_MISUSE : sqlite3_step(m_stmt);
}

void CSqliteStatement::Reset() {
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

int CSqliteStatement::ColumnCount() const {
    return sqlite3_column_count(m_stmt);
}

std::string CSqliteStatement::ColumnText(int column) const {
    const auto* text = sqlite3_column_text(m_stmt, column);
    const int size = sqlite3_column_bytes(m_stmt, column);
    return text == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(text), size);
}

std::int64_t CSqliteStatement::ColumnInt(int column) const {
    return sqlite3_column_int64(m_stmt, column);
}

bool SqliteExec(sqlite3* db, const std::string& sql, std::string& error) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    error = message != nullptr ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    return false;
}
