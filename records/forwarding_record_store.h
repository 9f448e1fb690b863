#pragma once
// A record store that hands every call to another store it owns: the base of
// a store that adds to a few calls (timing them, refusing some) and leaves
// the rest as they are.
//
// Threads: as the inner store's.

#include <memory>
#include <utility>

#include "records/record_store.h"

class CForwardingRecordStore : public IRecordStore {
public:
    InterlockState Interlock(const std::string& serial, const std::string& recipeSha256) override {
        return m_inner->Interlock(serial, recipeSha256);
    }
    InsertResult Insert(const UnitRecord& record, bool requirePassFree) override {
        return m_inner->Insert(record, requirePassFree);
    }
    bool List(const RecordFilter& filter, std::vector<UnitRecord>& records,
              std::string& error) override {
        return m_inner->List(filter, records, error);
    }
    bool Find(const std::string& id, std::optional<UnitRecord>& record,
              std::string& error) override {
        return m_inner->Find(id, record, error);
    }
    std::string Describe() const override { return m_inner->Describe(); }
    std::size_t QueuedCount() override { return m_inner->QueuedCount(); }
    StoreStatus Status() override { return m_inner->Status(); }
    void SetStatusHook(std::function<void(const StoreStatus&)> hook) override {
        m_inner->SetStatusHook(std::move(hook));
    }

protected:
    // `inner` may come later (SetInner), for a derived store that makes it in
    // its own constructor; no call may come before it is set.
    explicit CForwardingRecordStore(std::unique_ptr<IRecordStore> inner = nullptr)
        : m_inner(std::move(inner)) {}
    void SetInner(std::unique_ptr<IRecordStore> inner) { m_inner = std::move(inner); }
    IRecordStore& Inner() { return *m_inner; }

private:
    std::unique_ptr<IRecordStore> m_inner;
};
