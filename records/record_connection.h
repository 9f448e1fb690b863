#pragma once
// One connection to a records database, as the stores' shared algorithms
// (records/record_transactions.h) use it. Each backend gives its own
// (sqlite_connection.h, pg_connection.h); where the dialects differ (how a
// parameter is named, how a writer excludes others, where the schema's
// version lives) the backend's hook says how.
//
// Threads: whoever holds the store's lock over the connection.

#include <optional>
#include <string>
#include <vector>

#include "records/record_queries.h"

class IRecordConnection {
public:
    virtual ~IRecordConnection() = default;

    virtual ParamStyle Style() const = 0;
    // A statement that returns no rows. False with `error`.
    virtual bool Exec(const RecordQuery& query, std::string& error) = 0;
    // The first row of a query's result (`row` empty when there is none).
    virtual bool FirstRow(const RecordQuery& query, std::optional<std::vector<std::string>>& row,
                          std::string& error) = 0;

    // A write transaction, and its end. Rollback() after a failure may
    // itself fail: nothing is left to tell then.
    virtual bool Begin(std::string& error) = 0;
    virtual bool Commit(std::string& error) = 0;
    virtual void Rollback() = 0;
    // Within the transaction: no other connection inserts a run of `key`
    // (serial and recipe) until it ends. (SQLite's Begin already holds the
    // file's write lock.)
    virtual bool LockSerial(const std::string& key, std::string& error) = 0;

    // The schema's version read outside any transaction or lock (most opens
    // find it current and need neither); false when it can't be read so.
    virtual bool PeekSchemaVersion(int& version) = 0;
    // The schema's migration: its transaction begun (excluding every other
    // migration), the version read and written, and one step run.
    virtual bool BeginMigration(std::string& error) = 0;
    virtual bool ReadSchemaVersion(int& version, std::string& error) = 0;
    virtual bool WriteSchemaVersion(int version, std::string& error) = 0;
    virtual bool RunSchemaStep(const std::string& sql, std::string& error) = 0;
};
