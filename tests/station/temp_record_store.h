#pragma once
// The station tests' store: a real SQLite record store in a file of its own
// (removed with the test), so the interlock and the pass-free insert are the
// product's own. RefuseInserts() makes the database itself refuse every
// further insert, as a failing store would.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <memory>

#include "records/forwarding_record_store.h"
#include "records/sqlite_record_store.h"
#include "tests/support/temp_dir.h"

class CTempRecordStore : public CForwardingRecordStore {
public:
    CTempRecordStore() {
        std::string error;
        std::unique_ptr<CSqliteRecordStore> store = CSqliteRecordStore::Open(Path(), error);
        if (!store)
            ADD_FAILURE() << error;
        SetInner(std::move(store));
    }
    // The store closes before its folder goes.
    ~CTempRecordStore() override { SetInner(nullptr); }

    std::string Path() const { return m_dir.Path() + "/records.db"; }

    // Oldest first.
    std::vector<UnitRecord> Records() {
        std::vector<UnitRecord> records;
        std::string error;
        EXPECT_TRUE(Inner().List({}, records, error)) << error;
        std::reverse(records.begin(), records.end());
        return records;
    }

    void RefuseInserts() {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(Path().c_str(), &db), SQLITE_OK);
        char* message = nullptr;
        const int rc = sqlite3_exec(db,
                                    "CREATE TRIGGER refuse_inserts BEFORE INSERT ON unit_records "
                                    "BEGIN SELECT RAISE(ABORT, 'disk full'); END",
                                    nullptr, nullptr, &message);
        EXPECT_EQ(rc, SQLITE_OK) << (message != nullptr ? message : "");
        sqlite3_free(message);
        sqlite3_close(db);
    }

private:
    CTempDir m_dir{"records"};
};
