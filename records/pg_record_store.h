#pragma once
// CPgRecordStore: unit records in a PostgreSQL database shared by a plant's
// stations, with a local SQLite file that keeps the station running while
// the server is away.
//
// Two stations racing on one serial: Insert() runs the pass-free check and
// the insert in one transaction that first takes a transaction-scoped
// advisory lock keyed on the serial and the recipe digest. A second station
// inserting the same serial waits on that lock until the first commits; its
// check is the next statement, whose snapshot (READ COMMITTED) then sees the
// first station's pass, so it is refused. A hash collision of two keys only
// makes two serials wait for each other. (A unique index on passing records
// would not do: a rework pass and a record forwarded late are legitimate
// second passes.)
//
// The server away: Insert() stores the record in the local file and lists it
// in the file's outbox, and returns true. Queued records are forwarded oldest
// first by the next call that reaches the server and by a forwarder thread
// every kForwardIntervalMs; a record leaves the outbox only after the server
// committed it, and the insert is ON CONFLICT (id) DO NOTHING, so a record
// whose commit was in doubt is sent again without being stored twice. A new
// record is sent to the server only when the outbox is empty, so the server
// receives a station's records in the order they were made. Forwarded
// records skip the pass-free check: the unit was run and its record must not
// be lost.
//
// What the station must accept while the server is away: Interlock(), List()
// and Find() answer from the local file, which holds this station's own
// records (those the server has as well as the queued ones). A serial that
// passed at another station meanwhile looks New here and may pass twice; the
// second pass reaches the server when it is back and is then visible to
// every station. The pass-free check of an Insert() made then is against the
// local file only.
//
// A server that answers with an error (not a lost connection) refuses the
// record: Insert() returns its refusal or Fault. A queued record the server refuses so stays
// at the head of the outbox, kept in the local file, and the records after it
// wait behind it until someone looks (QueuedCount() keeps growing).
//
// One connection serves the store for its life (a station's shift): Open()
// connects and checks the schema, and when the connection breaks the
// forwarder opens a new one without checking the schema again (only a store
// that started away checks it on its first connection).
//
// Threads: any, plus the forwarder thread. Lock order: m_lock, then the local
// store's own mutex; m_hookLock is taken with neither held, and the status
// hook runs under it. m_lock guards the connection. Only the forwarder
// connects (every kForwardIntervalMs while the server is away), and not
// under m_lock, so a station's call never waits for a connection attempt; a
// call waits while another one or the forwarder uses the connection, at most
// the reply time-out of pg_connect.h per statement (a frozen server).

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "records/pg_connect.h"
#include "records/record_store.h"
#include "records/sqlite_record_store.h"

struct pg_conn;
class CPgConnection;

// How often the forwarder tries to reach a server that is away and looks at
// the outbox: queued records reach the server within about this long after
// it is back.
constexpr int kForwardIntervalMs = 500;

class CPgRecordStore : public IRecordStore {
public:
    // `url` is a libpq connection URI; `queuePath` the local SQLite file.
    // Null with `error` when the URL can't be read, the local file can't be
    // opened, or the server answers but its schema is newer than this tool's.
    // A server that does not answer is not an error: the store starts away.
    // One that answers and refuses (password, user, database, an option,
    // SSL) is: no wait mends it (see pg_connect.h).
    static std::unique_ptr<CPgRecordStore> Open(const std::string& url,
                                                const std::string& queuePath, std::string& error);
    ~CPgRecordStore() override;

    InterlockState Interlock(const std::string& serial, const std::string& recipeSha256) override;
    InsertResult Insert(const UnitRecord& record, bool requirePassFree) override;
    bool List(const RecordFilter& filter, std::vector<UnitRecord>& records,
              std::string& error) override;
    bool Find(const std::string& id, std::optional<UnitRecord>& record,
              std::string& error) override;
    std::string Describe() const override;
    std::size_t QueuedCount() override;
    StoreStatus Status() override;
    void SetStatusHook(std::function<void(const StoreStatus&)> hook) override;
    // The local queue file's.
    bool CheckIntegrity(std::string& why, const std::atomic<bool>& cancel) override;
    void CancelIntegrityCheck() override;

    // Whether the last call reached the server.
    bool Online() const { return m_online.load(); }
    // Records forwarded from the outbox since the store was opened.
    std::size_t ForwardedCount() const { return m_forwarded.load(); }

private:
    CPgRecordStore(std::string url, std::unique_ptr<CSqliteRecordStore> queue);

    // Whether the connection is up; drops one that was lost.
    bool ConnectedLocked();
    void DropConnectionLocked();
    // After `connection` failed: true, with the connection dropped, when the
    // failure means the server is away rather than refusing.
    bool AwayAfterLocked(const CPgConnection& connection);
    // Sends the outbox to the server, oldest first. True when it is empty.
    bool ForwardLocked();
    // One record, in one transaction. `reached` is false when the server
    // could not be reached (the record may or may not be stored there).
    InsertResult InsertRemoteLocked(const UnitRecord& record, bool requirePassFree, bool& reached);
    // Connected, with nothing waiting in the outbox.
    bool ReadyLocked();
    void ForwarderLoop();
    // Tells the status hook of a change; never under m_lock.
    void NotifyStatus();

    const std::string m_url;
    const std::unique_ptr<CSqliteRecordStore> m_queue;

    std::mutex m_lock;
    pg_conn* m_conn = nullptr;
    bool m_schemaChecked = false;  // a connection has checked (and brought forward) the schema
    bool m_stopping = false;
    std::condition_variable m_wake;

    std::mutex m_hookLock;  // guards the two below; taken after m_lock is released
    std::function<void(const StoreStatus&)> m_statusHook;
    std::optional<StoreStatus> m_lastStatus;  // as the hook last heard it

    std::atomic<bool> m_online{false};
    std::atomic<std::size_t> m_forwarded{0};
    std::thread m_forwarder;  // last: starts once the members above exist
};

// Brings the schema of the database `conn` is connected to forward to
// version `target` (at most the newest), in one transaction under an
// advisory lock, so stations starting together migrate it once. False with
// `error` when its version is newer than this tool's or a step fails.
// `away` (when given) tells whether a failure means the server is away
// rather than refusing.
bool MigratePostgresSchema(pg_conn* conn, int target, std::string& error, bool* away = nullptr);
