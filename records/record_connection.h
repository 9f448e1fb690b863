#pragma once
// IRecordConnection: what the store algorithms need of a database
// connection: run a statement and get its rows as text, a write transaction,
// and the few places where the two dialects differ (how the schema version is
// kept, how the interlock of one serial and the schema are locked against
// other connections). CSqliteRecordStore and CPgRecordStore each wrap their
// connection in one; the algorithms (record_algorithms.h) are written once
// over it.
//
// Threads: a connection is used by one thread at a time (its store's lock).

#include <string>
#include <vector>

#include "records/record_queries.h"
#include "records/store_fault.h"

using RecordRow = std::vector<std::string>;

class IRecordConnection {
public:
    virtual ~IRecordConnection() = default;

    virtual ParamStyle Style() const = 0;
    // Runs `query` and puts its rows, as text, into `rows` (replaced). False
    // with `error`.
    virtual bool Query(const RecordQuery& query, std::vector<RecordRow>& rows,
                       std::string& error) = 0;
    bool Exec(const RecordQuery& query, std::string& error) {
        std::vector<RecordRow> rows;
        return Query(query, rows, error);
    }

    // A transaction that writes; SQLite takes the file's write lock at once,
    // so no other process writes between a check and an insert.
    virtual bool Begin(std::string& error) = 0;
    virtual bool Commit(std::string& error) = 0;
    // Ends the open transaction without its changes; never fails visibly.
    virtual void Rollback() = 0;

    // Inside a transaction: holds other connections' inserts of the same
    // `key` (serial and recipe) until it ends. Nothing to do where Begin
    // already locks every writer out.
    virtual bool LockInterlock(const std::string& key, std::string& error) = 0;
    // Inside a transaction: holds other connections' migrations until it
    // ends, and makes the version readable.
    virtual bool LockSchema(std::string& error) = 0;
    // The schema version the database holds (0: none yet). False with `error`
    // when it can't be read.
    virtual bool ReadSchemaVersion(int& version, std::string& error) = 0;
    virtual bool WriteSchemaVersion(int version, std::string& error) = 0;
    // What holds the records, for messages: "file" or "database".
    virtual const char* HolderWord() const = 0;
    // The kind of the last failed call's error, which the connection takes
    // from the database's code as the call fails (store_fault.h); asked
    // right after that call.
    virtual StoreFault Fault() const = 0;
};

// Begin() on construction, Rollback() on destruction unless Commit()
// succeeded.
class CRecordTransaction {
public:
    CRecordTransaction(IRecordConnection& connection, std::string& error)
        : m_connection(connection), m_open(connection.Begin(error)) {}
    ~CRecordTransaction() {
        if (m_open)
            m_connection.Rollback();
    }
    CRecordTransaction(const CRecordTransaction&) = delete;
    CRecordTransaction& operator=(const CRecordTransaction&) = delete;

    bool Open() const { return m_open; }
    bool Commit(std::string& error) {
        if (!m_connection.Commit(error))
            return false;
        m_open = false;
        return true;
    }

private:
    IRecordConnection& m_connection;
    bool m_open;
};
