#include "station/engine/store_gate.h"

#include "records/store_fault.h"
#include "res/store_texts.h"

std::string StoreErrorWords(const std::string& error) {
    const char* words = kStoreFaultOther;
    switch (StoreFaultOf(error)) {
        case StoreFault::DiskFull:
            words = kStoreFaultDiskFull;
            break;
        case StoreFault::Locked:
            words = kStoreFaultLocked;
            break;
        case StoreFault::Corrupt:
            words = kStoreFaultCorrupt;
            break;
        case StoreFault::ReadOnly:
            words = kStoreFaultReadOnly;
            break;
        case StoreFault::Io:
            words = kStoreFaultIo;
            break;
        case StoreFault::None:
        case StoreFault::Other:
            break;
    }
    return error.empty() ? std::string(words) : std::string(words) + " (" + error + ")";
}

std::string StoreStatusWords(const StoreStatus& status) {
    if (!status.away)
        return kServerBack;
    return std::string(kServerAway) + " (" + std::to_string(status.waiting) + " " + kServerWaiting +
           ")";
}

CStoreGate::CStoreGate(IRecordStore& store, bool requireServer)
    : m_store(store), m_requireServer(requireServer) {}

void CStoreGate::Hold(const UnitRecord& record, const std::string& error) {
    m_held = record;
    m_heldError = error;
    std::string why;
    if (m_journal != nullptr && !m_journal->Keep(record, why))
        m_heldError += "; " + why;
}

std::string CStoreGate::StoreJournal() {
    if (m_journal == nullptr)
        return {};
    for (const UnitRecord& record : m_journal->Waiting()) {
        if (m_held && m_held->id == record.id)
            continue;
        std::optional<UnitRecord> there;
        std::string error;
        // Another slot, or a run killed after it stored the record, may have
        // stored it already.
        if (!m_store.Find(record.id, there, error) ||
            (!there && !m_store.Insert(record, false, error)))
            return std::string(kStorePaused) + ": " + StoreErrorWords(error);
        if (!m_journal->Forget(record.id, error))
            return std::string(kStorePaused) + ": " + error;
    }
    return {};
}

std::string CStoreGate::HeldWords() const {
    return std::string(kStorePaused) + ": " + StoreErrorWords(m_heldError);
}

std::string CStoreGate::Blocked() {
    if (m_check != nullptr) {
        if (const std::optional<std::string> damage = m_check->Damage())
            return std::string(kStoreDamaged) + " (" + *damage + ")";
    }
    if (const std::string journal = StoreJournal(); !journal.empty())
        return journal;
    if (m_held) {
        if (!m_store.Insert(*m_held, false, m_heldError))
            return HeldWords();
        std::string error;
        if (m_journal != nullptr)
            m_journal->Forget(m_held->id,
                              error);  // a leftover entry is stored once more, harmlessly
        m_held.reset();
    }
    if (m_requireServer && m_store.Status().away)
        return kServerRequired;
    return {};
}

bool CStoreGate::WaitUntilOpen(const Say& say, const Sleep& sleep) {
    std::string said;
    // A record just refused is said at once and offered again after a pause.
    std::string why =
        m_held && (m_check == nullptr || !m_check->Damage()) ? HeldWords() : Blocked();
    while (!why.empty()) {
        if (why != said) {
            say(why);
            said = why;
        }
        if (!sleep(kStoreRetryMs))
            return false;
        why = Blocked();
    }
    if (!said.empty())
        say(kStoreResumed);
    return true;
}
