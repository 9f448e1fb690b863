#pragma once
// A prepared SQLite statement that finalises itself, and the few calls the
// SQLite store makes around it. Values are always bound, never spliced into
// the statement's text.

#include <cstdint>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

class CSqliteStatement {
public:
    // Prepares `sql`; Ok() tells whether that worked, Error() why not.
    CSqliteStatement(sqlite3* db, const std::string& sql);
    ~CSqliteStatement();
    CSqliteStatement(const CSqliteStatement&) = delete;
    CSqliteStatement& operator=(const CSqliteStatement&) = delete;

    bool Ok() const { return m_stmt != nullptr; }
    std::string Error() const;

    // Parameters count from 1, as in the statement's "?1".
    void BindText(int index, const std::string& value);
    void BindInt(int index, std::int64_t value);
    // `values` as parameters 1, 2, ...
    void BindTexts(const std::vector<std::string>& values);

    // SQLITE_ROW, SQLITE_DONE or an error code.
    int Step();
    void Reset();

    int ColumnCount() const;
    std::string ColumnText(int column) const;
    std::int64_t ColumnInt(int column) const;

private:
    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
};

// Runs statements that bind nothing and return no rows. False with `error`.
bool SqliteExec(sqlite3* db, const std::string& sql, std::string& error);
