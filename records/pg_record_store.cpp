#include "records/pg_record_store.h"

#include <libpq-fe.h>

#include <chrono>

#include "records/pg_connect.h"
#include "records/pg_connection.h"
#include "records/record_algorithms.h"
#include "records/record_columns.h"
#include "records/record_queries.h"
#include "records/record_schema.h"

namespace {

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

// Connects, and when `migrate` brings the schema forward (once per store:
// a station's reconnects skip it). A migration that fails because the
// server went away leaves the store away; one the server refuses is an
// error.
PgReach Connect(const std::string& url, bool migrate, pg_conn*& conn, std::string& error) {
    const PgReach reach = PgConnect(url, conn, error);
    if (reach != PgReach::Connected || !migrate)
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
    CPgConnection connection(conn);
    const bool migrated = MigrateSchema(connection, PostgresSchemaSteps(), target, error);
    if (away != nullptr)
        *away = !migrated && connection.Away();
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
        if (Connect(url, true, store->m_conn, error) == PgReach::Refused) {
            error = store->Describe() + ": " + error;
            return nullptr;
        }
        store->m_schemaChecked = store->m_conn != nullptr;
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

bool CPgRecordStore::AwayAfterLocked(const CPgConnection& connection) {
    if (!connection.Away() && PQstatus(m_conn) == CONNECTION_OK)
        return false;
    DropConnectionLocked();
    return true;
}

InsertResult CPgRecordStore::InsertRemoteLocked(const UnitRecord& record, bool requirePassFree,
                                                bool& reached) {
    CPgConnection connection(m_conn);
    InsertResult result = InsertRecord(connection, record, requirePassFree, {});
    reached = result || !AwayAfterLocked(connection);
    return result;
}

bool CPgRecordStore::ForwardLocked() {
    for (;;) {
        std::optional<UnitRecord> record;
        std::string error;
        // A queued record that can't be read stays first: the ones behind
        // it wait rather than overtake it.
        if (!m_queue->OldestQueued(record, error))
            return false;
        if (!record)
            return true;
        bool reached = false;
        if (!InsertRemoteLocked(*record, false, reached) || !m_queue->Dequeue(record->id, error))
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
            const bool migrate = !m_schemaChecked;
            lock.unlock();
            pg_conn* conn = nullptr;
            std::string error;
            Connect(m_url, migrate, conn, error);
            lock.lock();
            if (m_conn == nullptr && !m_stopping) {
                m_conn = conn;
                m_schemaChecked = m_schemaChecked || conn != nullptr;
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
            CPgConnection connection(m_conn);
            std::optional<std::string> last;
            std::string error;
            if (LastRunOf(connection, serial, recipeSha256, last, error))
                return InterlockFromLastRun(last);
            AwayAfterLocked(connection);
        }
        return m_queue->Interlock(serial, recipeSha256);
    }();
    NotifyStatus();
    return state;
}

InsertResult CPgRecordStore::Insert(const UnitRecord& record, bool requirePassFree) {
    InsertResult result = [&] {
        std::lock_guard lock(m_lock);
        if (ReadyLocked()) {
            bool reached = false;
            InsertResult remote = InsertRemoteLocked(record, requirePassFree, reached);
            if (remote) {
                // The local copy lets the interlock know this station's units
                // while the server is away; the server has the record already,
                // so the copy need not wait for the disk.
                m_queue->InsertCopy(record);
                return remote;
            }
            if (reached)
                return remote;
        }
        return m_queue->InsertQueued(record, requirePassFree);
    }();
    NotifyStatus();
    return result;
}

bool CPgRecordStore::List(const RecordFilter& filter, std::vector<UnitRecord>& records,
                          std::string& error) {
    std::lock_guard lock(m_lock);
    if (ReadyLocked()) {
        CPgConnection connection(m_conn);
        if (QueryRecords(connection, ListRecordsQuery(ParamStyle::Postgres, filter), records,
                         error))
            return true;
        if (!AwayAfterLocked(connection))
            return false;
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
        if (!AwayAfterLocked(connection))
            return false;
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

bool CPgRecordStore::CheckIntegrity(std::string& why, const std::atomic<bool>& cancel) {
    return m_queue->CheckIntegrity(why, cancel);
}

void CPgRecordStore::CancelIntegrityCheck() {
    m_queue->CancelIntegrityCheck();
}
