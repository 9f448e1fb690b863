#pragma once
// An IRecordStore in memory, for the station's tests: it keeps records in
// the order they were inserted and follows the interface's rules (interlock
// by the last run, the pass-free check with the insert, idempotent ids). It
// can be told to refuse the next insert, as a failing store would.

#include <algorithm>
#include <mutex>

#include "records/record_store.h"

class CMemoryRecordStore : public IRecordStore {
public:
    InterlockState Interlock(const std::string& serial, const std::string& recipeSha256) override {
        std::lock_guard lock(m_mutex);
        return InterlockLocked(serial, recipeSha256);
    }

    bool Insert(const UnitRecord& record, bool requirePassFree, std::string& error) override {
        std::lock_guard lock(m_mutex);
        if (m_failNext) {
            m_failNext = false;
            error = "disk full";
            return false;
        }
        const auto same = [&](const UnitRecord& r) { return r.id == record.id; };
        if (std::any_of(m_records.begin(), m_records.end(), same))
            return true;
        if (requirePassFree && record.result == UnitResult::Pass &&
            InterlockLocked(record.serial, record.recipeSha256) == InterlockState::Passed) {
            error = "serial already passed";
            return false;
        }
        m_records.push_back(record);
        return true;
    }

    std::vector<UnitRecord> List(const RecordFilter&) override {
        std::lock_guard lock(m_mutex);
        return {m_records.rbegin(), m_records.rend()};
    }

    std::optional<UnitRecord> Find(const std::string& id) override {
        std::lock_guard lock(m_mutex);
        for (const UnitRecord& r : m_records) {
            if (r.id == id)
                return r;
        }
        return std::nullopt;
    }

    std::string Describe() const override { return "memory"; }

    // Oldest first.
    std::vector<UnitRecord> Records() const {
        std::lock_guard lock(m_mutex);
        return m_records;
    }
    void FailNextInsert() {
        std::lock_guard lock(m_mutex);
        m_failNext = true;
    }

private:
    // By the serial's last run through the recipe.
    InterlockState InterlockLocked(const std::string& serial,
                                   const std::string& recipeSha256) const {
        for (auto it = m_records.rbegin(); it != m_records.rend(); ++it) {
            if (it->serial == serial && it->recipeSha256 == recipeSha256)
                return it->result == UnitResult::Pass ? InterlockState::Passed
                                                      : InterlockState::LastFailed;
        }
        return InterlockState::New;
    }

    mutable std::mutex m_mutex;
    std::vector<UnitRecord> m_records;
    bool m_failNext = false;
};
