#include "records/store_fault.h"

#include <iterator>

namespace {

struct FaultText {
    const char* text;  // as sqlite3_errstr() words the result code
    StoreFault fault;
};

constexpr FaultText kFaultTexts[] = {
    {"database or disk is full", StoreFault::DiskFull},
    {"database is locked", StoreFault::Locked},
    {"database table is locked", StoreFault::Locked},
    {"database disk image is malformed", StoreFault::Corrupt},
    {"file is not a database", StoreFault::Corrupt},
    {"attempt to write a readonly database", StoreFault::ReadOnly},
    {"unable to open database file", StoreFault::ReadOnly},
    {"disk I/O error", StoreFault::Io},
};

}  // namespace

StoreFault StoreFaultOf(const std::string& error) {
    if (error.empty())
        return StoreFault::None;
    for (const FaultText& known : kFaultTexts) {
        if (error.find(known.text) != std::string::npos)
            return known.fault;
    }
    return StoreFault::Other;
}
