#include "records/pg_record_store.h"

#include <libpq-fe.h>

#include <charconv>
#include <chrono>

#include "link/utf8_text.h"
#include "records/record_algorithms.h"
#include "records/record_columns.h"
#include "records/record_queries.h"
#include "records/record_schema.h"

namespace {

// Key of the advisory lock that serialises schema migrations ("vornak").
constexpr long long kSchemaLockKey = 0x766f726e616bLL;
// How long the kernel may keep sent data unacknowledged before the
// connection counts as lost: a pulled cable must not hang a station.
constexpr char kTcpUserTimeoutMs[] = "10000";

enum class ConnectOutcome { Connected, Away, Refused };

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

PGresult* Exec(pg_conn* conn, const RecordQuery& query) {
    // Only the simple protocol runs several statements (a schema step).
    if (query.params.empty())
        return PQexec(conn, query.sql.c_str());
    std::vector<std::string> texts;
    texts.reserve(query.params.size());
    for (const std::string& param : query.params) {
        texts.push_back(Utf8Text(param));
    }
    std::vector<const char*> values;
    for (const std::string& text : texts) {
        values.push_back(text.c_str());
    }
    return PQexecParams(conn, query.sql.c_str(), static_cast<int>(values.size()), nullptr,
                        values.data(), nullptr, nullptr, 0);
}

PGresult* Exec(pg_conn* conn, const std::string& sql) {
    return Exec(conn, RecordQuery{sql, {}});
}

bool Lost(pg_conn* conn) {
    return PQstatus(conn) != CONNECTION_OK;
}

// The PostgreSQL dialect: the version in the one-row table schema_version;
// advisory locks held to the transaction's end serialise migrations and the
// check-and-insert of one serial and recipe across stations.
class CPgConnection : public IRecordConnection {
public:
    explicit CPgConnection(pg_conn* conn) : m_conn(conn) {}

    ParamStyle Style() const override { return ParamStyle::Postgres; }

    bool Query(const RecordQuery& query, std::vector<RecordRow>& rows,
               std::string& error) override {
        rows.clear();
        CPgResult result(::Exec(m_conn, query));
        if (!result.Ok()) {
            error = result.Error();
            return false;
        }
        for (int row = 0; row < result.Rows(); ++row) {
            RecordRow values;
            for (int column = 0; column < result.Columns(); ++column) {
                values.push_back(result.Text(row, column));
            }
            rows.push_back(std::move(values));
        }
        return true;
    }

    bool Begin(std::string& error) override { return Exec({"BEGIN", {}}, error); }
    bool Commit(std::string& error) override { return Exec({"COMMIT", {}}, error); }
    void Rollback() override { CPgResult rollback(::Exec(m_conn, "ROLLBACK")); }
    bool LockInterlock(const std::string& key, std::string& error) override {
        return Exec({"SELECT pg_advisory_xact_lock(hashtextextended($1, 0))", {key}}, error);
    }
    bool LockSchema(std::string& error) override {
        std::vector<RecordRow> rows;
        return Exec({"SELECT pg_advisory_xact_lock(" + std::to_string(kSchemaLockKey) + ")", {}},
                    error) &&
               Exec({"CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)", {}},
                    error) &&
               Query({"SELECT version FROM schema_version", {}}, rows, error) &&
               (!rows.empty() ||
                Exec({"INSERT INTO schema_version (version) VALUES (0)", {}}, error));
    }
    bool ReadSchemaVersion(int& version, std::string& error) override {
        std::vector<RecordRow> rows;
        if (!Query({"SELECT version FROM schema_version", {}}, rows, error))
            return false;
        version = 0;
        if (rows.empty())
            return true;
        const std::string& text = rows.front().front();
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), version);
        if (ec != std::errc() || end != text.data() + text.size()) {
            error = "can't read the schema version '" + text + "'";
            return false;
        }
        return true;
    }
    bool WriteSchemaVersion(int version, std::string& error) override {
        return Exec({"UPDATE schema_version SET version = $1", {std::to_string(version)}}, error);
    }
    const char* HolderWord() const override { return "database"; }

private:
    pg_conn* m_conn;
};

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

ConnectOutcome Connect(const std::string& url, pg_conn*& conn, std::string& error) {
    const std::string timeout = std::to_string(kConnectTimeoutS);
    // The URL's own settings override the defaults before it.
    const char* const keywords[] = {"connect_timeout", "tcp_user_timeout", "dbname", nullptr};
    const char* const values[] = {timeout.c_str(), kTcpUserTimeoutMs, url.c_str(), nullptr};
    conn = PQconnectdbParams(keywords, values, 1);
    if (conn == nullptr || PQstatus(conn) != CONNECTION_OK) {
        error = conn != nullptr ? PQerrorMessage(conn) : "out of memory";
        PQfinish(conn);
        conn = nullptr;
        return ConnectOutcome::Away;
    }
    // The server's notices ("relation ... already exists, skipping") are not
    // the station's to print.
    PQsetNoticeProcessor(
        conn, [](void*, const char*) {}, nullptr);
    if (!MigratePostgresSchema(conn, LatestVersion(PostgresSchemaSteps()), error)) {
        const bool lost = Lost(conn);
        PQfinish(conn);
        conn = nullptr;
        return lost ? ConnectOutcome::Away : ConnectOutcome::Refused;
    }
    return ConnectOutcome::Connected;
}

}  // namespace

bool MigratePostgresSchema(pg_conn* conn, int target, std::string& error) {
    CPgConnection connection(conn);
    return MigrateSchema(connection, PostgresSchemaSteps(), target, error);
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
        if (Connect(url, store->m_conn, error) == ConnectOutcome::Refused) {
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
    if (m_conn != nullptr && !Lost(m_conn))
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
    CPgConnection connection(m_conn);
    if (InsertRecord(connection, record, requirePassFree, {}, error)) {
        reached = true;
        return true;
    }
    reached = !Lost(m_conn);
    if (!reached)
        DropConnectionLocked();
    return false;
}

bool CPgRecordStore::ForwardLocked() {
    for (;;) {
        std::optional<UnitRecord> record;
        std::string error;
        if (!m_queue->OldestQueued(record, error))
            return false;
        if (!record)
            return true;
        bool reached = false;
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
    }
}

InterlockState CPgRecordStore::Interlock(const std::string& serial,
                                         const std::string& recipeSha256) {
    std::lock_guard lock(m_lock);
    if (ReadyLocked()) {
        CPgConnection connection(m_conn);
        std::optional<std::string> last;
        std::string error;
        if (LastRunOf(connection, serial, recipeSha256, last, error))
            return InterlockFromLastRun(last);
        if (Lost(m_conn))
            DropConnectionLocked();
    }
    return m_queue->Interlock(serial, recipeSha256);
}

bool CPgRecordStore::Insert(const UnitRecord& record, bool requirePassFree, std::string& error) {
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
}

bool CPgRecordStore::List(const RecordFilter& filter, std::vector<UnitRecord>& records,
                          std::string& error) {
    std::lock_guard lock(m_lock);
    if (ReadyLocked()) {
        CPgConnection connection(m_conn);
        if (QueryRecords(connection, ListRecordsQuery(ParamStyle::Postgres, filter), records,
                         error))
            return true;
        if (!Lost(m_conn))
            return false;
        DropConnectionLocked();
    }
    error.clear();
    return m_queue->List(filter, records, error);
}

bool CPgRecordStore::Find(const std::string& id, std::optional<UnitRecord>& record,
                          std::string& error) {
    std::lock_guard lock(m_lock);
    if (ReadyLocked()) {
        CPgConnection connection(m_conn);
        std::vector<UnitRecord> found;
        if (QueryRecords(connection, FindRecordQuery(ParamStyle::Postgres, id), found, error)) {
            record.reset();
            if (!found.empty())
                record = std::move(found.front());
            return true;
        }
        if (!Lost(m_conn))
            return false;
        DropConnectionLocked();
    }
    error.clear();
    return m_queue->Find(id, record, error);
}

std::string CPgRecordStore::Describe() const {
    return WithoutPassword(m_url);
}

std::size_t CPgRecordStore::QueuedCount() {
    return m_queue->QueuedCount();
}
