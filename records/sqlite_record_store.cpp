#include "records/sqlite_record_store.h"

#include <sqlite3.h>

#include "records/record_columns.h"
#include "records/record_queries.h"
#include "records/record_schema.h"
#include "records/record_transactions.h"
#include "records/sqlite_connection.h"
#include "records/sqlite_statement.h"

namespace {

// Every row of `query`; a row that is not a record, or a read that fails
// part way, is an error.
bool RunRecordQuery(sqlite3* db, const RecordQuery& query, std::vector<UnitRecord>& records,
                    std::string& error) {
    records.clear();
    CSqliteStatement statement(db, query.sql);
    statement.BindTexts(query.params);
    int step = statement.Step();
    for (; step == SQLITE_ROW; step = statement.Step()) {
        std::vector<std::string> values;
        for (int i = 0; i < statement.ColumnCount(); ++i) {
            values.push_back(statement.ColumnText(i));
        }
        UnitRecord& record = records.emplace_back();
        if (!RecordFromColumnValues(values, record, error))
            return false;
    }
    if (step == SQLITE_DONE)
        return true;
    error = statement.Error();
    return false;
}

bool FirstRecord(sqlite3* db, const RecordQuery& query, std::optional<UnitRecord>& record,
                 std::string& error) {
    std::vector<UnitRecord> found;
    if (!RunRecordQuery(db, query, found, error))
        return false;
    record.reset();
    if (!found.empty())
        record = std::move(found.front());
    return true;
}

}  // namespace

bool MigrateSqliteSchema(sqlite3* db, int target, std::string& error) {
    CSqliteConnection connection(db);
    return MigrateSchema(connection, SqliteSchemaSteps(), target, error);
}

std::unique_ptr<CSqliteRecordStore> CSqliteRecordStore::Open(const std::string& path,
                                                             std::string& error) {
    sqlite3* db = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        error = "can't open " + path + ": " + (db != nullptr ? sqlite3_errmsg(db) : "no memory");
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, kSqliteBusyTimeoutMs);
    std::string why;
    // WAL: readers in other processes don't block the station's writes.
    // synchronous=FULL: a commit is on the disk when Insert() returns.
    const bool ready = SqliteExec(db, "PRAGMA journal_mode = WAL", why) &&
                       SqliteExec(db, "PRAGMA synchronous = FULL", why) &&
                       SqliteExec(db, "PRAGMA foreign_keys = ON", why) &&
                       MigrateSqliteSchema(db, LatestVersion(SqliteSchemaSteps()), why);
    if (!ready) {
        error = path + ": " + why;
        sqlite3_close(db);
        return nullptr;
    }
    return std::unique_ptr<CSqliteRecordStore>(new CSqliteRecordStore(db, path));
}

CSqliteRecordStore::CSqliteRecordStore(sqlite3* db, std::string path)
    : m_db(db), m_path(std::move(path)) {}

CSqliteRecordStore::~CSqliteRecordStore() {
    // Statistics for the planner, from the queries this connection ran: with
    // several indexes that each match a filter, it otherwise guesses (a serial
    // and a station would walk the station's runs). The limit keeps it to a
    // sample, a few milliseconds on a large file; a failure costs nothing.
    std::string ignored;
    SqliteExec(m_db, "PRAGMA analysis_limit = 1000; PRAGMA optimize", ignored);
    sqlite3_close(m_db);
}

InterlockState CSqliteRecordStore::Interlock(const std::string& serial,
                                             const std::string& recipeSha256) {
    std::lock_guard lock(m_lock);
    CSqliteConnection connection(m_db);
    std::optional<std::vector<std::string>> row;
    std::string error;
    connection.FirstRow(LastRunQuery(ParamStyle::Sqlite, serial, recipeSha256), row, error);
    return InterlockFromLastRun(row && !row->empty() ? std::optional(row->front()) : std::nullopt);
}

bool CSqliteRecordStore::InsertLocked(const UnitRecord& record, bool requirePassFree, bool queue,
                                      std::string& error) {
    CSqliteConnection connection(m_db);
    const auto enqueue = [&](std::string& why) {
        return connection.Exec({"INSERT INTO outbox (id) VALUES (?1)", {record.id}}, why);
    };
    return InsertCheckedRecord(connection, record, requirePassFree,
                               queue ? std::function<bool(std::string&)>(enqueue) : nullptr, error);
}

bool CSqliteRecordStore::Insert(const UnitRecord& record, bool requirePassFree,
                                std::string& error) {
    std::lock_guard lock(m_lock);
    return InsertLocked(record, requirePassFree, false, error);
}

bool CSqliteRecordStore::InsertQueued(const UnitRecord& record, bool requirePassFree,
                                      std::string& error) {
    std::lock_guard lock(m_lock);
    return InsertLocked(record, requirePassFree, true, error);
}

bool CSqliteRecordStore::List(const RecordFilter& filter, std::vector<UnitRecord>& records,
                              std::string& error) {
    std::lock_guard lock(m_lock);
    return RunRecordQuery(m_db, ListRecordsQuery(ParamStyle::Sqlite, filter), records, error);
}

bool CSqliteRecordStore::Find(const std::string& id, std::optional<UnitRecord>& record,
                              std::string& error) {
    std::lock_guard lock(m_lock);
    return FirstRecord(m_db, FindRecordQuery(ParamStyle::Sqlite, id), record, error);
}

std::string CSqliteRecordStore::Describe() const {
    return "sqlite:" + m_path;
}

bool CSqliteRecordStore::CheckIntegrity(std::string& why) {
    std::lock_guard lock(m_lock);
    CSqliteStatement check(m_db, "PRAGMA quick_check");
    // One row "ok", or up to a hundred describing what is wrong.
    std::string found;
    int step = check.Step();
    for (; step == SQLITE_ROW; step = check.Step()) {
        const std::string row = check.ColumnText(0);
        if (row != "ok")
            found += (found.empty() ? "" : "; ") + row;
    }
    if (step != SQLITE_DONE)
        found = check.Error();
    if (found.empty()) {
        why.clear();
        return true;
    }
    why = m_path + ": " + found;
    return false;
}

bool CSqliteRecordStore::OldestQueued(std::optional<UnitRecord>& record, std::string& error) {
    std::lock_guard lock(m_lock);
    const RecordQuery query{
        "SELECT " + RecordColumnList() +
            " FROM unit_records WHERE id = (SELECT id FROM outbox ORDER BY seq LIMIT 1)",
        {}};
    return FirstRecord(m_db, query, record, error);
}

bool CSqliteRecordStore::Dequeue(const std::string& id, std::string& error) {
    std::lock_guard lock(m_lock);
    CSqliteStatement statement(m_db, "DELETE FROM outbox WHERE id = ?1");
    statement.BindText(1, id);
    if (statement.Step() != SQLITE_DONE) {
        error = statement.Error();
        return false;
    }
    return true;
}

std::size_t CSqliteRecordStore::QueuedCount() {
    std::lock_guard lock(m_lock);
    CSqliteStatement statement(m_db, "SELECT COUNT(*) FROM outbox");
    return statement.Step() == SQLITE_ROW ? static_cast<std::size_t>(statement.ColumnInt(0)) : 0;
}
