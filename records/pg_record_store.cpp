#include "records/pg_record_store.h"

#include <libpq-fe.h>

#include <chrono>

#include "link/utf8_text.h"
#include "records/pg_connect.h"
#include "records/record_columns.h"
#include "records/record_queries.h"
#include "records/record_schema.h"

namespace {

// Key of the advisory lock that serialises schema migrations ("vornak").
constexpr long long kSchemaLockKey = 0x766f726e616bLL;

// Owns one PGresult.
class CPgResult {
public:
    explicit CPgResult(PGresult* result) : m_result(result) {}
    ~CPgResult() { PQclear(m_result); }
    CPgResult(const CPgResult&) = delete;
    CPgResult& operator=(const CPgResult&) = delete;

    bool Ok() const {
        const ExecStatusType status = PQresultStatus(m_result);
        return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    }
    int Rows() const { return PQntuples(m_result); }
    int Columns() const { return PQnfields(m_result); }
    std::string Text(int row, int column) const {
        return std::string(PQgetvalue(m_result, row, column),
                           static_cast<std::size_t>(PQgetlength(m_result, row, column)));
    }
    std::string Error() const { return PQresultErrorMessage(m_result); }
    const PGresult* Get() const { return m_result; }

private:
    PGresult* m_result;
};

// The database's text is UTF-8 and libpq's parameters end at a NUL: bytes
// that are not UTF-8 (a box's 8-bit version text) and NULs become U+FFFD, so
// such a record is stored instead of refused (and stuck in the outbox).
std::string Utf8Text(const std::string& text) {
    std::string out = WellFormedUtf8(text);
    for (std::size_t nul = out.find('\0'); nul != std::string::npos; nul = out.find('\0', nul))
        out.replace(nul, 1, kUtf8Replacement);
    return out;
}

PGresult* Exec(pg_conn* conn, const RecordQuery& query, int replyTimeoutMs = kReplyTimeoutMs) {
    std::vector<std::string> texts;
    texts.reserve(query.params.size());
    for (const std::string& param : query.params) {
        texts.push_back(Utf8Text(param));
    }
    return PgExec(conn, query.sql, texts, replyTimeoutMs);
}

PGresult* Exec(pg_conn* conn, const std::string& sql) {
    return Exec(conn, RecordQuery{sql, {}});
}

std::vector<UnitRecord> RecordsOf(const CPgResult& result) {
    std::vector<UnitRecord> records;
    for (int row = 0; row < result.Rows(); ++row) {
        std::vector<std::string> values;
        for (int column = 0; column < result.Columns(); ++column) {
            values.push_back(result.Text(row, column));
        }
        UnitRecord record;
        std::string error;
        if (RecordFromColumnValues(values, record, error))
            records.push_back(std::move(record));
    }
    return records;
}

// The URL without a password, for messages.
std::string WithoutPassword(const std::string& url) {
    const auto scheme = url.find("://");
    if (scheme == std::string::npos)
        return url;
    const auto at = url.find('@', scheme + 3);
    const auto slash = url.find('/', scheme + 3);
    if (at == std::string::npos || (slash != std::string::npos && slash < at))
        return url;
    const auto colon = url.find(':', scheme + 3);
    if (colon == std::string::npos || colon > at)
        return url;
    return url.substr(0, colon) + url.substr(at);
}

PgReach Connect(const std::string& url, pg_conn*& conn, std::string& error) {
    const PgReach reach = PgConnect(url, conn, error);
    if (reach != PgReach::Connected)
        return reach;
    bool away = false;
    if (!MigratePostgresSchema(conn, LatestVersion(PostgresSchemaSteps()), error, &away)) {
        PQfinish(conn);
        conn = nullptr;
        return away ? PgReach::Away : PgReach::Refused;
    }
    return PgReach::Connected;
}

}  // namespace

bool MigratePostgresSchema(pg_conn* conn, int target, std::string& error, bool* away) {
    bool serverAway = false;
    auto run = [&](const RecordQuery& query, int replyTimeoutMs = kReplyTimeoutMs) {
        CPgResult result(Exec(conn, query, replyTimeoutMs));
        if (!result.Ok()) {
            error = result.Error();
            serverAway = PgAway(conn, result.Get());
            CPgResult rollback(Exec(conn, "ROLLBACK"));
            return false;
        }
        return true;
    };
    const bool migrated = [&] {
        const std::vector<SchemaStep> steps = PostgresSchemaSteps();
        // Waiting for another station's migration is bound by the lock
        // time-out; the steps themselves (indexes over a plant's records)
        // are not.
        if (!run({"BEGIN", {}}) ||
            !run({"SELECT pg_advisory_xact_lock(" + std::to_string(kSchemaLockKey) + ")", {}}) ||
            !run({"SET LOCAL statement_timeout = 0", {}}) ||
            !run({"CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)", {}}))
            return false;
        CPgResult current(Exec(conn, "SELECT version FROM schema_version"));
        if (!current.Ok()) {
            error = current.Error();
            serverAway = PgAway(conn, current.Get());
            CPgResult rollback(Exec(conn, "ROLLBACK"));
            return false;
        }
        int version = 0;
        if (current.Rows() == 0) {
            if (!run({"INSERT INTO schema_version (version) VALUES (0)", {}}))
                return false;
        } else {
            version = std::stoi(current.Text(0, 0));
        }
        if (version > LatestVersion(steps)) {
            error = "the database's schema version " + std::to_string(version) +
                    " is newer than this tool's (" + std::to_string(LatestVersion(steps)) + ")";
            CPgResult rollback(Exec(conn, "ROLLBACK"));
            return false;
        }
        for (const SchemaStep& step : steps) {
            if (step.version <= version || step.version > target)
                continue;
            if (!run({step.sql, {}}, kMigrationTimeoutMs) ||
                !run({"UPDATE schema_version SET version = $1", {std::to_string(step.version)}})) {
                error = "schema step " + std::to_string(step.version) + ": " + error;
                return false;
            }
        }
        return run({"COMMIT", {}});
    }();
    if (away != nullptr)
        *away = !migrated && serverAway;
    return migrated;
}

std::unique_ptr<CPgRecordStore> CPgRecordStore::Open(const std::string& url,
                                                     const std::string& queuePath,
                                                     std::string& error) {
    char* parseError = nullptr;
    PQconninfoOption* options = PQconninfoParse(url.c_str(), &parseError);
    if (options == nullptr) {
        error = "bad PostgreSQL URL '" + WithoutPassword(url) +
                "': " + (parseError != nullptr ? parseError : "out of memory");
        PQfreemem(parseError);
        return nullptr;
    }
    PQconninfoFree(options);
    if (queuePath.empty()) {
        error = "a PostgreSQL store needs a local queue file";
        return nullptr;
    }
    std::unique_ptr<CSqliteRecordStore> queue = CSqliteRecordStore::Open(queuePath, error);
    if (!queue)
        return nullptr;
    std::unique_ptr<CPgRecordStore> store(new CPgRecordStore(url, std::move(queue)));
    {
        std::lock_guard lock(store->m_lock);
        if (Connect(url, store->m_conn, error) == PgReach::Refused) {
            error = store->Describe() + ": " + error;
            return nullptr;
        }
        store->m_online = store->m_conn != nullptr;
    }
    error.clear();
    return store;
}

CPgRecordStore::CPgRecordStore(std::string url, std::unique_ptr<CSqliteRecordStore> queue)
    : m_url(std::move(url)), m_queue(std::move(queue)), m_forwarder([this] { ForwarderLoop(); }) {}

CPgRecordStore::~CPgRecordStore() {
    {
        std::lock_guard lock(m_lock);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_forwarder.join();
    PQfinish(m_conn);
}

bool CPgRecordStore::ConnectedLocked() {
    if (m_conn != nullptr && PQstatus(m_conn) == CONNECTION_OK)
        return true;
    DropConnectionLocked();
    return false;
}

void CPgRecordStore::DropConnectionLocked() {
    PQfinish(m_conn);
    m_conn = nullptr;
    m_online = false;
}

bool CPgRecordStore::InsertRemoteLocked(const UnitRecord& record, bool requirePassFree,
                                        bool& reached, std::string& error) {
    reached = true;
    // Runs one statement of the transaction; on failure ends it and says why.
    auto step = [&](const RecordQuery& query, int* rows = nullptr,
                    std::string* firstValue = nullptr) {
        CPgResult result(Exec(m_conn, query));
        if (result.Ok()) {
            if (rows != nullptr)
                *rows = result.Rows();
            if (firstValue != nullptr && result.Rows() > 0)
                *firstValue = result.Text(0, 0);
            return true;
        }
        error = result.Error();
        if (PgAway(m_conn, result.Get())) {
            reached = false;
            DropConnectionLocked();
        } else {
            CPgResult rollback(Exec(m_conn, "ROLLBACK"));
        }
        return false;
    };
    int rows = 0;
    if (!step({"BEGIN", {}}) ||
        !step({"SELECT pg_advisory_xact_lock(hashtextextended($1, 0))",
               {record.serial + '\x1f' + record.recipeSha256}}) ||
        !step(RecordExistsQuery(ParamStyle::Postgres, record.id), &rows))
        return false;
    if (rows > 0)
        return step({"COMMIT", {}});
    if (requirePassFree && record.result == UnitResult::Pass) {
        std::string last;
        if (!step(LastRunQuery(ParamStyle::Postgres, record.serial, record.recipeSha256), &rows,
                  &last))
            return false;
        if (rows > 0 && InterlockFromLastRun(last) == InterlockState::Passed) {
            CPgResult rollback(Exec(m_conn, "ROLLBACK"));
            error = "serial " + record.serial + " already passed this recipe";
            return false;
        }
    }
    return step(InsertRecordQuery(ParamStyle::Postgres, record)) && step({"COMMIT", {}});
}

bool CPgRecordStore::ForwardLocked() {
    for (;;) {
        const std::optional<UnitRecord> record = m_queue->OldestQueued();
        if (!record)
            return true;
        bool reached = false;
        std::string error;
        if (!InsertRemoteLocked(*record, false, reached, error) ||
            !m_queue->Dequeue(record->id, error))
            return false;
        ++m_forwarded;
    }
}

bool CPgRecordStore::ReadyLocked() {
    return ConnectedLocked() && ForwardLocked();
}

void CPgRecordStore::ForwarderLoop() {
    std::unique_lock lock(m_lock);
    while (!m_stopping) {
        m_wake.wait_for(lock, std::chrono::milliseconds(kForwardIntervalMs));
        if (m_stopping)
            break;
        if (!ConnectedLocked()) {
            // An attempt may take kConnectTimeoutS: meanwhile the station's
            // calls go on against the local file.
            lock.unlock();
            pg_conn* conn = nullptr;
            std::string error;
            Connect(m_url, conn, error);
            lock.lock();
            if (m_conn == nullptr && !m_stopping) {
                m_conn = conn;
                m_online = conn != nullptr;
            } else {
                PQfinish(conn);
            }
        }
        if (m_conn != nullptr && m_queue->QueuedCount() > 0)
            ForwardLocked();
        lock.unlock();
        NotifyStatus();
        lock.lock();
    }
}

InterlockState CPgRecordStore::Interlock(const std::string& serial,
                                         const std::string& recipeSha256) {
    const InterlockState state = [&] {
        std::lock_guard lock(m_lock);
        if (ReadyLocked()) {
            CPgResult result(
                Exec(m_conn, LastRunQuery(ParamStyle::Postgres, serial, recipeSha256)));
            if (result.Ok()) {
                return InterlockFromLastRun(result.Rows() > 0 ? std::optional(result.Text(0, 0))
                                                              : std::nullopt);
            }
            if (PgAway(m_conn, result.Get()))
                DropConnectionLocked();
        }
        return m_queue->Interlock(serial, recipeSha256);
    }();
    NotifyStatus();
    return state;
}

bool CPgRecordStore::Insert(const UnitRecord& record, bool requirePassFree, std::string& error) {
    const bool stored = [&] {
        std::lock_guard lock(m_lock);
        if (ReadyLocked()) {
            bool reached = false;
            if (InsertRemoteLocked(record, requirePassFree, reached, error)) {
                // The local copy lets the interlock know this station's units
                // while the server is away; the server has the record already.
                std::string ignored;
                m_queue->Insert(record, false, ignored);
                return true;
            }
            if (reached)
                return false;
        }
        error.clear();
        return m_queue->InsertQueued(record, requirePassFree, error);
    }();
    NotifyStatus();
    return stored;
}

std::vector<UnitRecord> CPgRecordStore::List(const RecordFilter& filter) {
    std::lock_guard lock(m_lock);
    if (ReadyLocked()) {
        CPgResult result(Exec(m_conn, ListRecordsQuery(ParamStyle::Postgres, filter)));
        if (result.Ok())
            return RecordsOf(result);
        if (PgAway(m_conn, result.Get()))
            DropConnectionLocked();
    }
    return m_queue->List(filter);
}

std::optional<UnitRecord> CPgRecordStore::Find(const std::string& id) {
    std::lock_guard lock(m_lock);
    if (ReadyLocked()) {
        CPgResult result(Exec(m_conn, FindRecordQuery(ParamStyle::Postgres, id)));
        if (result.Ok()) {
            std::vector<UnitRecord> found = RecordsOf(result);
            if (found.empty())
                return std::nullopt;
            return std::move(found.front());
        }
        if (PgAway(m_conn, result.Get()))
            DropConnectionLocked();
    }
    return m_queue->Find(id);
}

std::string CPgRecordStore::Describe() const {
    return WithoutPassword(m_url);
}

std::size_t CPgRecordStore::QueuedCount() {
    return m_queue->QueuedCount();
}

StoreStatus CPgRecordStore::Status() {
    return {!m_online.load(), m_queue->QueuedCount()};
}

void CPgRecordStore::SetStatusHook(std::function<void(const StoreStatus&)> hook) {
    {
        std::lock_guard lock(m_hookLock);
        m_statusHook = std::move(hook);
        m_lastStatus.reset();
    }
    NotifyStatus();
}

void CPgRecordStore::NotifyStatus() {
    std::lock_guard lock(m_hookLock);
    if (!m_statusHook)
        return;
    const StoreStatus now = Status();
    if (m_lastStatus == now)
        return;
    m_lastStatus = now;
    m_statusHook(now);
}

bool CPgRecordStore::CheckIntegrity(std::string& why) {
    return m_queue->CheckIntegrity(why);
}
