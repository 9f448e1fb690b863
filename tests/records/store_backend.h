#pragma once
// One backend of the record stores for the tests: a fresh, empty store of its
// own per test (a SQLite file in a temporary folder; a PostgreSQL schema of
// its own in the test server's database), opened as often as a test likes,
// and the few raw operations a migration test needs.
//
// PostgreSQL needs VORNAK_TEST_PG_URL (scripts/with-postgres.sh sets it).

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "records/record_store.h"
#include "tests/support/temp_dir.h"

enum class Backend { Sqlite, Postgres };

// A temporary folder, removed with everything in it when this goes.
class CStoreBackend {
public:
    // Null with `why` when the backend can't run here.
    static std::unique_ptr<CStoreBackend> Create(Backend backend, std::string& why);
    virtual ~CStoreBackend() = default;

    // Another store on the same records, as a second station opens it; a
    // PostgreSQL store gets a local queue file of its own per `station`.
    virtual std::unique_ptr<IRecordStore> TryOpen(const std::string& station,
                                                  std::string& error) = 0;
    // TryOpen() that fails the test when the store does not open.
    std::unique_ptr<IRecordStore> Open(const std::string& station = "a");
    // Builds the schema up to `version` only, as an older tool left it.
    virtual void BuildSchema(int version) = 0;
    virtual void SetSchemaVersion(int version) = 0;
    virtual int SchemaVersion() = 0;
    // The URL of a PostgreSQL store's schema; empty for SQLite.
    virtual std::string PostgresUrl() const { return {}; }
    // Statements of plain SQL that both dialects read alike.
    virtual void Execute(const std::string& sql) = 0;
    // The first column of the first row `sql` answers, as text ("" for
    // NULL or no row); fails the test on an error.
    virtual std::string QueryValue(const std::string& sql) = 0;
    // The local queue file of `station`'s PostgreSQL store.
    std::string QueuePath(const std::string& station) const {
        return m_folder.Path() + "/queue-" + station + ".db";
    }

protected:
    CTempDir m_folder{"records"};
};

// The test server's URL, or empty when there is none.
std::string TestPostgresUrl();
// The URL of a schema of the test server's database (search_path set to it).
std::string PostgresUrlForSchema(const std::string& schema);
// Runs `sql` on the test server's database; fails the test on an error.
void PostgresExecute(const std::string& url, const std::string& sql);

// One connection of its own to the test server, for a test that holds a
// transaction open beside a store (a lock).
class CPgSession {
public:
    explicit CPgSession(const std::string& url);
    ~CPgSession();
    CPgSession(const CPgSession&) = delete;
    CPgSession& operator=(const CPgSession&) = delete;
    // Runs `sql`; fails the test on an error.
    void Run(const std::string& sql);

private:
    struct pg_conn* m_conn;
};

// Runs `sql` on the SQLite file at `path`; fails the test on an error.
void SqliteExecute(const std::string& path, const std::string& sql);

const char* BackendName(Backend backend);

// List() and Find() that fail the test when the store can't answer.
std::vector<UnitRecord> ListRecords(IRecordStore& store, const RecordFilter& filter = {});
std::optional<UnitRecord> FindRecord(IRecordStore& store, const std::string& id);
