#pragma once
// A real SQLite records store in a temporary folder of its own, for the
// station's tests: the interlock and the pass-free insert are the store's
// own, not a copy of its rules.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <memory>
#include <stdexcept>

#include "records/sqlite_record_store.h"
#include "tests/support/temp_dir.h"

class CTempRecordStore {
public:
    CTempRecordStore() {
        std::string error;
        m_store = CSqliteRecordStore::Open(Path(), error);
        if (!m_store)
            throw std::runtime_error(error);
    }

    operator IRecordStore&() { return *m_store; }
    std::string Path() const { return m_folder / "records.db"; }

    // Every record, oldest first.
    std::vector<UnitRecord> Records() {
        std::vector<UnitRecord> records = m_store->List({});
        std::reverse(records.begin(), records.end());
        return records;
    }

    // From now on the file refuses every new record, as a failing store does.
    void FailInserts() {
        sqlite3* db = nullptr;
        sqlite3_open(Path().c_str(), &db);
        EXPECT_EQ(sqlite3_exec(db,
                               "CREATE TRIGGER refuse BEFORE INSERT ON unit_records "
                               "BEGIN SELECT RAISE(ABORT, 'disk full'); END",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK)
            << sqlite3_errmsg(db);
        sqlite3_close(db);
    }

private:
    CTempDir m_folder{"station-records"};
    std::unique_ptr<CSqliteRecordStore> m_store;
};
