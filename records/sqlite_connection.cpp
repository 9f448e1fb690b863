#include "records/sqlite_connection.h"

#include <sqlite3.h>

#include "records/sqlite_statement.h"

bool CSqliteConnection::Exec(const RecordQuery& query, std::string& error) {
    CSqliteStatement statement(m_db, query.sql);
    statement.BindTexts(query.params);
    if (statement.Step() == SQLITE_DONE)
        return true;
    error = statement.Error();
    return false;
}

bool CSqliteConnection::FirstRow(const RecordQuery& query,
                                 std::optional<std::vector<std::string>>& row, std::string& error) {
    CSqliteStatement statement(m_db, query.sql);
    statement.BindTexts(query.params);
    row.reset();
    const int step = statement.Step();
    if (step == SQLITE_ROW) {
        row.emplace();
        for (int i = 0; i < statement.ColumnCount(); ++i) {
            row->push_back(statement.ColumnText(i));
        }
        return true;
    }
    if (step == SQLITE_DONE)
        return true;
    error = statement.Error();
    return false;
}

bool CSqliteConnection::Begin(std::string& error) {
    return SqliteExec(m_db, "BEGIN IMMEDIATE", error);
}

bool CSqliteConnection::Commit(std::string& error) {
    return SqliteExec(m_db, "COMMIT", error);
}

void CSqliteConnection::Rollback() {
    std::string ignored;
    SqliteExec(m_db, "ROLLBACK", ignored);
}

bool CSqliteConnection::PeekSchemaVersion(int& version) {
    std::string ignored;
    return ReadSchemaVersion(version, ignored);
}

bool CSqliteConnection::ReadSchemaVersion(int& version, std::string& error) {
    std::optional<std::vector<std::string>> row;
    if (!FirstRow({"PRAGMA user_version", {}}, row, error))
        return false;
    if (!row || row->empty()) {
        error = "can't read the schema version";
        return false;
    }
    version = std::stoi(row->front());
    return true;
}

bool CSqliteConnection::WriteSchemaVersion(int version, std::string& error) {
    // The version is a number of ours; PRAGMA takes no bound parameters.
    return SqliteExec(m_db, "PRAGMA user_version = " + std::to_string(version), error);
}

bool CSqliteConnection::RunSchemaStep(const std::string& sql, std::string& error) {
    return SqliteExec(m_db, sql, error);
}
