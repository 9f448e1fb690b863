#pragma once
// A PostgreSQL connection as an IRecordConnection: parameters "$1", text
// sent as UTF-8, every statement bound by the time-outs of pg_connect.h. A
// writer of a serial excludes the others with a transaction-scoped advisory
// lock on the serial and recipe; a migration with one on a key of its own,
// and its steps run without the server's statement time-out. The schema's
// version lives in the one-row table schema_version.
//
// Begin() sends nothing: its BEGIN goes with the transaction's first
// statement when that statement has no parameters (a lock), one round trip
// fewer per record on a busy server.
//
// Away() tells whether the last failure means the server is away (lost,
// frozen, timed out) rather than refusing: the store then keeps the record
// locally and drops the connection, and Rollback() sends nothing.
//
// Threads: whoever holds the store's lock over the connection.

#include "records/pg_connect.h"
#include "records/record_connection.h"

// Key of the advisory lock that serialises schema migrations ("vornak").
constexpr long long kSchemaLockKey = 0x766f726e616bLL;

class CPgConnection : public IRecordConnection {
public:
    explicit CPgConnection(pg_conn* conn) : m_conn(conn) {}

    bool Away() const { return m_away; }
    StoreFault Fault() const override { return m_fault; }

    ParamStyle Style() const override { return ParamStyle::Postgres; }
    bool Query(const RecordQuery& query, std::vector<RecordRow>& rows, std::string& error) override;
    bool Begin(std::string& error) override;
    bool Commit(std::string& error) override;
    void Rollback() override;
    bool LockInterlock(const std::string& key, std::string& error) override;
    bool LockSchema(std::string& error) override;
    bool ReadSchemaVersion(int& version, std::string& error) override;
    bool WriteSchemaVersion(int version, std::string& error) override;
    const char* HolderWord() const override { return "database"; }

private:
    pg_conn* m_conn;
    bool m_away = false;
    StoreFault m_fault = StoreFault::None;  // of the last failed call, from its SQLSTATE
    bool m_beginPending = false;            // Begin() was called and its BEGIN not yet sent
    // Longer inside a migration, whose steps may build indexes over a
    // plant's records; back to the default when its transaction ends.
    int m_replyTimeoutMs = kReplyTimeoutMs;
};
