#include "records/sqlite_record_store.h"

#include <sqlite3.h>

#include <memory>

#include "records/record_algorithms.h"
#include "records/record_columns.h"
#include "records/record_queries.h"
#include "records/record_schema.h"
#include "records/sqlite_statement.h"

namespace {

int CollectRow(void* out, int columns, char** values, char**) {
    RecordRow row;
    row.reserve(static_cast<std::size_t>(columns));
    for (int i = 0; i < columns; ++i) {
        row.emplace_back(values[i] != nullptr ? values[i] : "");
    }
    static_cast<std::vector<RecordRow>*>(out)->push_back(std::move(row));
    return 0;
}

}  // namespace

// The SQLite dialect: the version in PRAGMA user_version; BEGIN IMMEDIATE
// takes the file's write lock, which is all the locking either check needs.
class CSqliteConnection : public IRecordConnection {
public:
    explicit CSqliteConnection(sqlite3* db) : m_db(db) {}

    ParamStyle Style() const override { return ParamStyle::Sqlite; }

    bool Query(const RecordQuery& query, std::vector<RecordRow>& rows,
               std::string& error) override {
        rows.clear();
        if (query.params.empty()) {
            // Runs every statement of a schema step, too.
            char* message = nullptr;
            if (sqlite3_exec(m_db, query.sql.c_str(), CollectRow, &rows, &message) != SQLITE_OK) {
                m_fault = SqliteFault(sqlite3_extended_errcode(m_db));
                error = message != nullptr ? message : sqlite3_errmsg(m_db);
                sqlite3_free(message);
                return false;
            }
            return true;
        }
        CSqliteStatement statement(m_db, query.sql);
        for (std::size_t i = 0; i < query.params.size(); ++i) {
            statement.BindText(static_cast<int>(i + 1), query.params[i]);
        }
        for (;;) {
            const int step = statement.Step();
            if (step == SQLITE_DONE)
                return true;
            if (step != SQLITE_ROW) {
                // Before the statement's finalize touches the handle's code.
                m_fault = SqliteFault(sqlite3_extended_errcode(m_db));
                error = statement.Error();
                return false;
            }
            RecordRow row;
            for (int i = 0; i < statement.ColumnCount(); ++i) {
                row.push_back(statement.ColumnText(i));
            }
            rows.push_back(std::move(row));
        }
    }

    bool Begin(std::string& error) override { return Run("BEGIN IMMEDIATE", error); }
    bool Commit(std::string& error) override { return Run("COMMIT", error); }
    void Rollback() override {
        std::string ignored;
        SqliteExec(m_db, "ROLLBACK", ignored);
    }
    bool LockInterlock(const std::string&, std::string&) override { return true; }
    bool LockSchema(std::string&) override { return true; }
    bool ReadSchemaVersion(int& version, std::string& error) override {
        CSqliteStatement statement(m_db, "PRAGMA user_version");
        if (statement.Step() != SQLITE_ROW) {
            error = "can't read the schema version";
            return false;
        }
        version = static_cast<int>(statement.ColumnInt(0));
        return true;
    }
    bool WriteSchemaVersion(int version, std::string& error) override {
        // The version is a number of ours; PRAGMA takes no bound parameters.
        return SqliteExec(m_db, "PRAGMA user_version = " + std::to_string(version), error);
    }
    const char* HolderWord() const override { return "file"; }
    StoreFault Fault() const override { return m_fault; }

private:
    bool Run(const char* sql, std::string& error) {
        if (SqliteExec(m_db, sql, error))
            return true;
        m_fault = SqliteFault(sqlite3_extended_errcode(m_db));
        return false;
    }

    sqlite3* m_db;
    StoreFault m_fault = StoreFault::None;  // of the last failed call
};

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
    : m_db(db), m_connection(std::make_unique<CSqliteConnection>(db)), m_path(std::move(path)) {}

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
    std::optional<std::string> last;
    std::string error;
    LastRunOf(*m_connection, serial, recipeSha256, last, error);
    return InterlockFromLastRun(last);
}

InsertResult CSqliteRecordStore::InsertLocked(const UnitRecord& record, bool requirePassFree,
                                              bool queue) {
    std::vector<RecordQuery> alsoRun;
    if (queue)
        alsoRun.push_back({"INSERT INTO outbox (id) VALUES (?1)", {record.id}});
    return InsertRecord(*m_connection, record, requirePassFree, alsoRun);
}

InsertResult CSqliteRecordStore::Insert(const UnitRecord& record, bool requirePassFree) {
    std::lock_guard lock(m_lock);
    return InsertLocked(record, requirePassFree, false);
}

InsertResult CSqliteRecordStore::InsertQueued(const UnitRecord& record, bool requirePassFree) {
    std::lock_guard lock(m_lock);
    InsertResult result = InsertLocked(record, requirePassFree, true);
    if (result.outcome == InsertOutcome::Stored)
        result.outcome = InsertOutcome::Queued;
    return result;
}

InsertResult CSqliteRecordStore::InsertCopy(const UnitRecord& record) {
    std::lock_guard lock(m_lock);
    std::string ignored;
    SqliteExec(m_db, "PRAGMA synchronous = NORMAL", ignored);
    InsertResult result = InsertLocked(record, false, false);
    SqliteExec(m_db, "PRAGMA synchronous = FULL", ignored);
    return result;
}

bool CSqliteRecordStore::List(const RecordFilter& filter, std::vector<UnitRecord>& records,
                              std::string& error) {
    std::lock_guard lock(m_lock);
    return QueryRecords(*m_connection, ListRecordsQuery(ParamStyle::Sqlite, filter), records,
                        error);
}

bool CSqliteRecordStore::Find(const std::string& id, std::optional<UnitRecord>& record,
                              std::string& error) {
    std::lock_guard lock(m_lock);
    std::vector<UnitRecord> found;
    if (!QueryRecords(*m_connection, FindRecordQuery(ParamStyle::Sqlite, id), found, error))
        return false;
    record.reset();
    if (!found.empty())
        record = std::move(found.front());
    return true;
}

void CSqliteRecordStore::CancelIntegrityCheck() {
    std::lock_guard lock(m_checkLock);
    if (m_checkDb != nullptr)
        sqlite3_interrupt(m_checkDb);
}

std::string CSqliteRecordStore::Describe() const {
    return "sqlite:" + m_path;
}

bool CSqliteRecordStore::CheckIntegrity(std::string& why, const std::atomic<bool>& cancel) {
    // A connection of its own, read-only: the check reads every page, which
    // on a large store takes seconds to minutes, and the station's inserts go
    // on meanwhile (WAL lets one writer and readers work side by side).
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(m_path.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) !=
        SQLITE_OK) {
        why = m_path + ": " + (db != nullptr ? sqlite3_errmsg(db) : "no memory");
        sqlite3_close(db);
        return false;
    }
    const std::unique_ptr<sqlite3, int (*)(sqlite3*)> owned(db, sqlite3_close);
    sqlite3_busy_timeout(db, kSqliteBusyTimeoutMs);
    // A cancel interrupts the connection (CancelIntegrityCheck); one that came
    // before the connection was known is seen here, and the progress handler
    // catches one that falls between this look and the statement's start.
    {
        std::lock_guard lock(m_checkLock);
        m_checkDb = db;
    }
    struct Forget {
        CSqliteRecordStore& store;
        ~Forget() {
            std::lock_guard lock(store.m_checkLock);
            store.m_checkDb = nullptr;
        }
    } forget{*this};
    if (cancel.load()) {
        why.clear();
        return true;
    }
    sqlite3_progress_handler(
        db, 1000,
        [](void* flag) { return static_cast<const std::atomic<bool>*>(flag)->load() ? 1 : 0; },
        const_cast<std::atomic<bool>*>(&cancel));
    CSqliteStatement check(db, "PRAGMA quick_check");
    // One row "ok", or up to a hundred describing what is wrong.
    std::string found;
    int step = check.Step();
    for (; step == SQLITE_ROW; step = check.Step()) {
        const std::string row = check.ColumnText(0);
        if (row != "ok")
            found += (found.empty() ? "" : "; ") + row;
    }
    if (step == SQLITE_INTERRUPT || cancel.load()) {
        why.clear();
        return true;
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
    std::vector<UnitRecord> found;
    if (!QueryRecords(*m_connection, query, found, error))
        return false;
    record.reset();
    if (!found.empty())
        record = std::move(found.front());
    return true;
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
