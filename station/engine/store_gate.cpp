#include "station/engine/store_gate.h"

#include "res/store_texts.h"

std::string StoreErrorWords(const InsertResult& failure) {
    const char* words = kStoreFaultOther;
    switch (failure.fault) {
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
    const std::string& message = failure.message;
    return message.empty() ? std::string(words) : std::string(words) + " (" + message + ")";
}

std::string StoreStatusWords(const StoreStatus& status) {
    if (!status.away)
        return kServerBack;
    return std::string(kServerAway) + " (" + std::to_string(status.waiting) + " " + kServerWaiting +
           ")";
}

CStoreGate::CStoreGate(IRecordStore& store, bool requireServer)
    : m_store(store), m_requireServer(requireServer) {}

void CStoreGate::Hold(const UnitRecord& record, const InsertResult& failure) {
    m_held = record;
    m_heldFailure = failure;
    std::string why;
    if (m_journal != nullptr && !m_journal->Keep(record, why))
        m_heldFailure.message += "; " + why;
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
        if (!m_store.Find(record.id, there, error))
            return std::string(kStorePaused) + ": " +
                   StoreErrorWords(InsertResult::Failed(StoreFault::Other, error));
        if (!there) {
            if (const InsertResult stored = m_store.Insert(record, false); !stored)
                return std::string(kStorePaused) + ": " + StoreErrorWords(stored);
        }
        if (!m_journal->Forget(record.id, error))
            return std::string(kStorePaused) + ": " + error;
    }
    return {};
}

std::string CStoreGate::HeldWords() const {
    return std::string(kStorePaused) + ": " + StoreErrorWords(m_heldFailure);
}

std::string CStoreGate::DamageWords() const {
    if (m_check != nullptr) {
        if (const std::optional<std::string> damage = m_check->Damage())
            return std::string(kStoreDamaged) + " (" + *damage + ")";
    }
    return {};
}

std::string CStoreGate::Blocked() {
    if (std::string damage = DamageWords(); !damage.empty())
        return damage;
    if (const std::string journal = StoreJournal(); !journal.empty())
        return journal;
    if (m_held) {
        if (InsertResult again = m_store.Insert(*m_held, false); !again) {
            m_heldFailure = std::move(again);
            return HeldWords();
        }
        // A leftover entry would only be stored once more, harmlessly.
        std::string error;
        if (m_journal != nullptr)
            m_journal->Forget(m_held->id, error);
        m_held.reset();
    }
    if (m_requireServer && m_store.Status().away)
        return kServerRequired;
    return {};
}

bool CStoreGate::WaitUntilOpen(const Say& say, const Sleep& sleep) {
    std::string said;
    // A record just refused is said at once and offered again after a pause;
    // damage found in the store comes first.
    std::string why = DamageWords();
    if (why.empty())
        why = m_held ? HeldWords() : Blocked();
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
