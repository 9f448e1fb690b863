#pragma once
// CSqliteRecordStore: unit records in one SQLite file, for a station on one PC
// and as the local queue of a PostgreSQL store.
//
// The file runs in WAL mode with synchronous=FULL: a committed record survives
// a power cut, and readers (`vornak-cli records list` in another process) do
// not block the station's writes. Opening brings an older schema forward (see
// record_schema.h) and refuses a newer one. Each insert is one BEGIN IMMEDIATE
// transaction holding the pass-free check and the insert, so two processes on
// one file can't both pass a serial.
//
// The outbox: records inserted with InsertQueued() are also listed, in order,
// as waiting to be forwarded; the PostgreSQL store takes them out with
// OldestQueued() and Dequeue() once the server holds them.
//
// Threads: any; one mutex serialises the connection. Other processes wait up
// to kSqliteBusyTimeoutMs for the file's write lock.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "records/record_connection.h"
#include "records/record_store.h"

struct sqlite3;

// How long a call waits for another process's write to end: a station's
// insert is a few milliseconds, an export of a big file a few seconds.
constexpr int kSqliteBusyTimeoutMs = 10000;

class CSqliteRecordStore : public IRecordStore {
public:
    // Opens or creates the file at `path`. Null with `error` when it can't be
    // opened, its schema is newer than this tool's or a migration failed (the
    // file is then unchanged).
    static std::unique_ptr<CSqliteRecordStore> Open(const std::string& path, std::string& error);
    ~CSqliteRecordStore() override;

    InterlockState Interlock(const std::string& serial, const std::string& recipeSha256) override;
    InsertResult Insert(const UnitRecord& record, bool requirePassFree) override;
    bool List(const RecordFilter& filter, std::vector<UnitRecord>& records,
              std::string& error) override;
    bool Find(const std::string& id, std::optional<UnitRecord>& record,
              std::string& error) override;
    std::string Describe() const override;
    // PRAGMA quick_check: every page's structure, not the indexes' contents.
    bool CheckIntegrity(std::string& why, const std::atomic<bool>& cancel) override;
    void CancelIntegrityCheck() override;

    // Insert() that also puts the record at the end of the outbox, in the
    // same transaction (Queued). A record already stored is not queued again.
    InsertResult InsertQueued(const UnitRecord& record, bool requirePassFree);
    // Insert() of a copy of a record another store already holds durably:
    // committed without waiting for the disk (a power cut may lose it, never
    // damage the file; the next durable commit flushes it too).
    InsertResult InsertCopy(const UnitRecord& record);
    // The first record of the outbox, if any (none when it is empty). False
    // with `error` when it can't be read.
    bool OldestQueued(std::optional<UnitRecord>& record, std::string& error);
    // Takes `id` out of the outbox; the record itself stays.
    bool Dequeue(const std::string& id, std::string& error);
    std::size_t QueuedCount() override;

private:
    CSqliteRecordStore(sqlite3* db, std::string path);
    InsertResult InsertLocked(const UnitRecord& record, bool requirePassFree, bool queue);

    mutable std::mutex m_lock;  // guards m_db and m_connection
    sqlite3* m_db;
    const std::unique_ptr<IRecordConnection> m_connection;
    const std::string m_path;
    // The connection of a CheckIntegrity() that runs, for a cancel to
    // interrupt; taken with no other lock held.
    std::mutex m_checkLock;
    sqlite3* m_checkDb = nullptr;
};

// Brings the open SQLite database `db` to schema version `target` (at most
// the newest). False with `error` when its version is newer than the newest
// this tool knows or a step fails; the database is then unchanged.
bool MigrateSqliteSchema(sqlite3* db, int target, std::string& error);
