#pragma once
// A PostgreSQL connection as an IRecordConnection: parameters "$1", text
// sent as UTF-8, every statement bound by the time-outs of pg_connect.h. A
// writer of a serial excludes the others with a transaction-scoped advisory
// lock on the serial and recipe; a migration with one on a key of its own,
// and its steps run without the server's statement time-out. The schema's
// version lives in the one-row table schema_version.
//
// Away() tells whether the last failure means the server is away (lost,
// frozen, timed out) rather than refusing: the store then keeps the record
// locally and drops the connection, and Rollback() sends nothing.

#include "records/record_connection.h"

struct pg_conn;
struct pg_result;

// Key of the advisory lock that serialises schema migrations ("vornak").
constexpr long long kSchemaLockKey = 0x766f726e616bLL;

class CPgConnection : public IRecordConnection {
public:
    explicit CPgConnection(pg_conn* conn) : m_conn(conn) {}

    bool Away() const { return m_away; }

    ParamStyle Style() const override { return ParamStyle::Postgres; }
    bool Exec(const RecordQuery& query, std::string& error) override;
    bool FirstRow(const RecordQuery& query, std::optional<std::vector<std::string>>& row,
                  std::string& error) override;
    bool Begin(std::string& error) override;
    bool Commit(std::string& error) override;
    void Rollback() override;
    bool LockSerial(const std::string& key, std::string& error) override;
    bool PeekSchemaVersion(int& version) override;
    bool BeginMigration(std::string& error) override;
    bool ReadSchemaVersion(int& version, std::string& error) override;
    bool WriteSchemaVersion(int version, std::string& error) override;
    bool RunSchemaStep(const std::string& sql, std::string& error) override;

private:
    // Runs `query`; on failure notes whether the server is away and says why.
    bool Run(const RecordQuery& query, std::optional<std::vector<std::string>>* row,
             std::string& error, int replyTimeoutMs);

    pg_conn* m_conn;
    bool m_away = false;
};

// Runs `query` (its text sent as UTF-8) with the reply time-out; the caller
// owns the result (PQclear).
pg_result* PgExecQuery(pg_conn* conn, const RecordQuery& query);
