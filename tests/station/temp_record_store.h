#pragma once
// The station tests' store: a real SQLite record store in a file of its own
// (removed with the test), so the interlock and the pass-free insert are the
// product's own. RefuseInserts() makes the database itself refuse every
// further insert, as a failing store would.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <memory>

#include "records/sqlite_record_store.h"
#include "tests/support/temp_dir.h"

class CTempRecordStore : public IRecordStore {
public:
    CTempRecordStore() {
        std::string error;
        m_store = CSqliteRecordStore::Open(Path(), error);
        if (!m_store)
            ADD_FAILURE() << error;
    }

    std::string Path() const { return m_dir.Path() + "/records.db"; }

    InterlockState Interlock(const std::string& serial, const std::string& recipeSha256) override {
        return m_store->Interlock(serial, recipeSha256);
    }
    bool Insert(const UnitRecord& record, bool requirePassFree, std::string& error) override {
        return m_store->Insert(record, requirePassFree, error);
    }
    bool List(const RecordFilter& filter, std::vector<UnitRecord>& records,
              std::string& error) override {
        return m_store->List(filter, records, error);
    }
    bool Find(const std::string& id, std::optional<UnitRecord>& record,
              std::string& error) override {
        return m_store->Find(id, record, error);
    }
    std::string Describe() const override { return m_store->Describe(); }

    // Oldest first.
    std::vector<UnitRecord> Records() {
        std::vector<UnitRecord> records;
        std::string error;
        EXPECT_TRUE(m_store->List({}, records, error)) << error;
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
    std::unique_ptr<CSqliteRecordStore> m_store;
};
