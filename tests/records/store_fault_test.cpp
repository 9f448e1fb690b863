// The kind of a store's fault, from the database's own code: SQLite's
// extended result codes keep their primary code in the low byte, and
// PostgreSQL's SQLSTATEs name the class of the failure.

#include "records/store_fault.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

TEST(StoreFault, SqliteCodesAreKindsOfFault) {
    struct Case {
        int code;
        StoreFault fault;
    };
    const Case cases[] = {
        {SQLITE_OK, StoreFault::None},
        {SQLITE_FULL, StoreFault::DiskFull},
        {SQLITE_BUSY, StoreFault::Locked},
        {SQLITE_BUSY_SNAPSHOT, StoreFault::Locked},
        {SQLITE_LOCKED, StoreFault::Locked},
        {SQLITE_CORRUPT, StoreFault::Corrupt},
        {SQLITE_NOTADB, StoreFault::Corrupt},
        {SQLITE_READONLY, StoreFault::ReadOnly},
        {SQLITE_READONLY_DBMOVED, StoreFault::ReadOnly},
        {SQLITE_CANTOPEN, StoreFault::ReadOnly},
        {SQLITE_IOERR_WRITE, StoreFault::Io},
        {SQLITE_IOERR_FSYNC, StoreFault::Io},
        {SQLITE_CONSTRAINT_TRIGGER, StoreFault::Other},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(sqlite3_errstr(c.code));
        EXPECT_EQ(SqliteFault(c.code), c.fault);
    }
}

TEST(StoreFault, PostgresStatesAreKindsOfFault) {
    struct Case {
        const char* state;
        StoreFault fault;
    };
    const Case cases[] = {
        {"53100", StoreFault::DiskFull}, {"55P03", StoreFault::Locked},
        {"40P01", StoreFault::Locked},   {"57014", StoreFault::Locked},
        {"XX001", StoreFault::Corrupt},  {"25006", StoreFault::ReadOnly},
        {"58030", StoreFault::Io},       {"08006", StoreFault::Other},
        {"23505", StoreFault::Other},    {nullptr, StoreFault::Other},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.state != nullptr ? c.state : "none");
        EXPECT_EQ(PgFault(c.state), c.fault);
    }
}

}  // namespace
