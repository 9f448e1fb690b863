#include "records/store_fault.h"

#include <sqlite3.h>

#include <string_view>

StoreFault SqliteFault(int code) {
    // An extended code keeps its primary code in the low byte.
    switch (code & 0xff) {
        case SQLITE_OK:
        case SQLITE_ROW:
        case SQLITE_DONE:
            return StoreFault::None;
        case SQLITE_FULL:
            return StoreFault::DiskFull;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return StoreFault::Locked;
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            return StoreFault::Corrupt;
        case SQLITE_READONLY:
        case SQLITE_CANTOPEN:
        case SQLITE_PERM:
            return StoreFault::ReadOnly;
        case SQLITE_IOERR:
            return StoreFault::Io;
        default:
            return StoreFault::Other;
    }
}

StoreFault PgFault(const char* sqlState) {
    if (sqlState == nullptr)
        return StoreFault::Other;
    const std::string_view state(sqlState);
    if (state == "53100")  // disk_full
        return StoreFault::DiskFull;
    // lock_not_available, deadlock_detected, query_canceled (the statement
    // time-out): another writer held what this one waited for.
    if (state == "55P03" || state == "40P01" || state == "57014")
        return StoreFault::Locked;
    if (state == "XX001" || state == "XX002")  // data_corrupted, index_corrupted
        return StoreFault::Corrupt;
    if (state == "25006")  // read_only_sql_transaction (a standby)
        return StoreFault::ReadOnly;
    if (state == "58030")  // io_error
        return StoreFault::Io;
    return StoreFault::Other;
}
