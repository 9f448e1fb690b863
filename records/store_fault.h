#pragma once
// Why a store did not take a record, as a kind the station can word for the
// operator: the stores' errors carry the database's own message, and SQLite's
// are fixed texts per result code.

#include <string>

enum class StoreFault {
    None,      // no error given
    DiskFull,  // the file system (or the file's size limit) is full
    Locked,    // another connection holds the file's write lock
    Corrupt,   // the file is damaged or is not a records store
    ReadOnly,  // the file or its folder can't be written
    Io,        // the disk failed a read or write
    Other,     // anything else (the text says what)
};

StoreFault StoreFaultOf(const std::string& error);
