#pragma once
// Why a store did not take a record, as a kind the station can word for the
// operator, taken from the database's own code where the failure happens:
// SQLite's result code, PostgreSQL's SQLSTATE.

enum class StoreFault {
    None,      // no error given
    DiskFull,  // the file system (or the file's size limit, or the server's disk) is full
    Locked,    // another connection holds the lock (or the server timed the wait out)
    Corrupt,   // the file is damaged or is not a records store
    ReadOnly,  // the file or its folder can't be written
    Io,        // the disk failed a read or write
    Other,     // anything else (the message says what)
};

// The kind of SQLite's (extended) result code `code`; None for SQLITE_OK.
StoreFault SqliteFault(int code);
// The kind of PostgreSQL's SQLSTATE `sqlState` (five characters); Other when
// null or unknown. A connection lost (class 08) is Other: the store keeps the
// record locally then, so it only reaches the station when that fails too.
StoreFault PgFault(const char* sqlState);
