#pragma once
// A SQLite database as an IRecordConnection: parameters "?1", a write
// transaction that takes the file's write lock at once (BEGIN IMMEDIATE, so
// no other process inserts between the check and the insert), the schema's
// version in PRAGMA user_version.

#include "records/record_connection.h"

struct sqlite3;

class CSqliteConnection : public IRecordConnection {
public:
    explicit CSqliteConnection(sqlite3* db) : m_db(db) {}

    ParamStyle Style() const override { return ParamStyle::Sqlite; }
    bool Exec(const RecordQuery& query, std::string& error) override;
    bool FirstRow(const RecordQuery& query, std::optional<std::vector<std::string>>& row,
                  std::string& error) override;
    bool Begin(std::string& error) override;
    bool Commit(std::string& error) override;
    void Rollback() override;
    bool LockSerial(const std::string&, std::string&) override { return true; }
    bool PeekSchemaVersion(int& version) override;
    bool BeginMigration(std::string& error) override { return Begin(error); }
    bool ReadSchemaVersion(int& version, std::string& error) override;
    bool WriteSchemaVersion(int version, std::string& error) override;
    bool RunSchemaStep(const std::string& sql, std::string& error) override;

private:
    sqlite3* m_db;
};
