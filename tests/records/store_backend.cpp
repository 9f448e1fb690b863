#include "tests/records/store_backend.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <stdexcept>

#include "records/pg_record_store.h"
#include "records/sqlite_record_store.h"

namespace {

class CSqliteBackend : public CStoreBackend {
public:
    std::unique_ptr<IRecordStore> TryOpen(const std::string&, std::string& error) override {
        return OpenRecordStore("sqlite:" + Path(), "", error);
    }
    void BuildSchema(int version) override {
        sqlite3* db = OpenRaw();
        std::string error;
        EXPECT_TRUE(MigrateSqliteSchema(db, version, error)) << error;
        sqlite3_close(db);
    }
    void SetSchemaVersion(int version) override {
        Execute("PRAGMA user_version = " + std::to_string(version));
    }
    int SchemaVersion() override {
        sqlite3* db = OpenRaw();
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &statement, nullptr);
        const int version =
            sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int(statement, 0) : -1;
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return version;
    }
    void Execute(const std::string& sql) override { SqliteExecute(Path(), sql); }
    std::string QueryValue(const std::string& sql) override {
        sqlite3* db = OpenRaw();
        sqlite3_stmt* statement = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr), SQLITE_OK)
            << sqlite3_errmsg(db);
        std::string value;
        if (statement != nullptr && sqlite3_step(statement) == SQLITE_ROW) {
            const unsigned char* text = sqlite3_column_text(statement, 0);
            value = text != nullptr ? reinterpret_cast<const char*>(text) : "";
        }
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return value;
    }

private:
    std::string Path() const { return m_folder.Path() + "/records.db"; }
    sqlite3* OpenRaw() const {
        sqlite3* db = nullptr;
        sqlite3_open(Path().c_str(), &db);
        return db;
    }
};

class CPostgresBackend : public CStoreBackend {
public:
    CPostgresBackend() {
        static std::atomic<int> next{0};
        m_schema = "t" + std::to_string(getpid()) + "_" + std::to_string(next++);
        PostgresExecute(TestPostgresUrl(), "CREATE SCHEMA " + m_schema);
        m_url = PostgresUrlForSchema(m_schema);
    }
    ~CPostgresBackend() override {
        PGconn* conn = PQconnectdb(TestPostgresUrl().c_str());
        PQsetNoticeProcessor(
            conn, [](void*, const char*) {}, nullptr);
        if (PQstatus(conn) == CONNECTION_OK)
            PQclear(PQexec(conn, ("DROP SCHEMA IF EXISTS " + m_schema + " CASCADE").c_str()));
        PQfinish(conn);
    }
    std::unique_ptr<IRecordStore> TryOpen(const std::string& station, std::string& error) override {
        return OpenRecordStore(m_url, QueuePath(station), error);
    }
    void BuildSchema(int version) override {
        PGconn* conn = PQconnectdb(m_url.c_str());
        std::string error;
        EXPECT_TRUE(MigratePostgresSchema(conn, version, error)) << error;
        PQfinish(conn);
    }
    void SetSchemaVersion(int version) override {
        Execute("UPDATE schema_version SET version = " + std::to_string(version));
    }
    int SchemaVersion() override {
        PGconn* conn = PQconnectdb(m_url.c_str());
        PGresult* result = PQexec(conn, "SELECT version FROM schema_version");
        const int version = PQntuples(result) == 1 ? std::stoi(PQgetvalue(result, 0, 0)) : -1;
        PQclear(result);
        PQfinish(conn);
        return version;
    }
    void Execute(const std::string& sql) override { PostgresExecute(m_url, sql); }
    std::string QueryValue(const std::string& sql) override {
        PGconn* conn = PQconnectdb(m_url.c_str());
        PGresult* result = PQexec(conn, sql.c_str());
        EXPECT_EQ(PQresultStatus(result), PGRES_TUPLES_OK) << PQresultErrorMessage(result);
        const std::string value = PQresultStatus(result) == PGRES_TUPLES_OK &&
                                          PQntuples(result) > 0 && !PQgetisnull(result, 0, 0)
                                      ? PQgetvalue(result, 0, 0)
                                      : "";
        PQclear(result);
        PQfinish(conn);
        return value;
    }
    std::string PostgresUrl() const override { return m_url; }

private:
    std::string m_schema;
    std::string m_url;
};

}  // namespace

std::unique_ptr<IRecordStore> CStoreBackend::Open(const std::string& station) {
    std::string error;
    std::unique_ptr<IRecordStore> store = TryOpen(station, error);
    EXPECT_TRUE(store) << error;
    return store;
}

std::unique_ptr<CStoreBackend> CStoreBackend::Create(Backend backend, std::string& why) {
    if (backend == Backend::Sqlite)
        return std::make_unique<CSqliteBackend>();
    if (TestPostgresUrl().empty()) {
        why = "VORNAK_TEST_PG_URL is not set: run under scripts/with-postgres.sh";
        return nullptr;
    }
    return std::make_unique<CPostgresBackend>();
}

std::string TestPostgresUrl() {
    const char* url = getenv("VORNAK_TEST_PG_URL");
    return url != nullptr ? url : "";
}

std::string PostgresUrlForSchema(const std::string& schema) {
    const std::string base = TestPostgresUrl();
    return base + (base.find('?') == std::string::npos ? "?" : "&") + "options=-csearch_path%3D" +
           schema;
}

void PostgresExecute(const std::string& url, const std::string& sql) {
    PGconn* conn = PQconnectdb(url.c_str());
    ASSERT_EQ(PQstatus(conn), CONNECTION_OK) << PQerrorMessage(conn);
    PQsetNoticeProcessor(
        conn, [](void*, const char*) {}, nullptr);
    PGresult* result = PQexec(conn, sql.c_str());
    const ExecStatusType status = PQresultStatus(result);
    EXPECT_TRUE(status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
        << sql << ": " << PQresultErrorMessage(result);
    PQclear(result);
    PQfinish(conn);
}

CPgSession::CPgSession(const std::string& url) : m_conn(PQconnectdb(url.c_str())) {
    EXPECT_EQ(PQstatus(m_conn), CONNECTION_OK) << PQerrorMessage(m_conn);
}

CPgSession::~CPgSession() {
    PQfinish(m_conn);
}

void CPgSession::Run(const std::string& sql) {
    PGresult* result = PQexec(m_conn, sql.c_str());
    const ExecStatusType status = PQresultStatus(result);
    EXPECT_TRUE(status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
        << sql << ": " << PQresultErrorMessage(result);
    PQclear(result);
}

void SqliteExecute(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    char* message = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message), SQLITE_OK)
        << (message != nullptr ? message : "");
    sqlite3_free(message);
    sqlite3_close(db);
}

const char* BackendName(Backend backend) {
    return backend == Backend::Sqlite ? "Sqlite" : "Postgres";
}

std::vector<UnitRecord> ListRecords(IRecordStore& store, const RecordFilter& filter) {
    std::vector<UnitRecord> records;
    std::string error;
    EXPECT_TRUE(store.List(filter, records, error)) << error;
    return records;
}

std::optional<UnitRecord> FindRecord(IRecordStore& store, const std::string& id) {
    std::optional<UnitRecord> record;
    std::string error;
    EXPECT_TRUE(store.Find(id, record, error)) << error;
    return record;
}
