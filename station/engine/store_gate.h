#pragma once
// CStoreGate: whether a station may take its next box, as far as its records
// store goes. Not while a record the store refused for a fault of its own
// (disk full, locked, damaged) waits: the gate tries that record again every
// kStoreRetryMs and opens once it is stored, so no box is programmed that
// could not be recorded. And, when the station requires the plant's server,
// not while that server is away (the interlock across stations holds only
// through it). Nor once the store's full check (store_check.h) found it
// damaged: that stops the line until the store is mended.
//
// Threads: the station's unit loop only; the store is the shared one.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "records/record_journal.h"
#include "records/record_store.h"
#include "station/engine/store_check.h"

// How often a held record is offered to the store again, and the server's
// status looked at.
constexpr std::uint32_t kStoreRetryMs = 1000;

// The operator's words for a store's fault, by its kind, with the store's own
// message ("磁盘已满 (database or disk is full)").
std::string StoreErrorWords(const InsertResult& failure);
// The operator's words for where records go: the server away (with the
// number of records waiting for it) or back.
std::string StoreStatusWords(const StoreStatus& status);

class CStoreGate {
public:
    CStoreGate(IRecordStore& store, bool requireServer);

    // Consults `check` (which outlives the gate) before every box: once it
    // found the store damaged, no box is taken.
    void Watch(const CStoreCheck* check) { m_check = check; }

    // Keeps every record the store refuses in `journal` (which outlives the
    // gate) besides holding it, so that a stop loses none; records a journal
    // holds from before are stored ahead of the next box.
    void Journal(CRecordJournal* journal) { m_journal = journal; }

    // Keeps `record` (the unit's record as shown: failed at the record step,
    // because of `failure`) to store once the store works again.
    void Hold(const UnitRecord& record, const InsertResult& failure);

    using Say = std::function<void(const std::string&)>;
    // Sleeps up to its argument in ms; false when the station stops.
    using Sleep = std::function<bool(std::uint32_t)>;
    // Returns once the gate is open (at once when nothing holds it), telling
    // the operator through `say` why it waits and when it opens; false when
    // `sleep` says the station stops (a held record then stays unstored).
    bool WaitUntilOpen(const Say& say, const Sleep& sleep);

private:
    // Why the gate is shut now, in words, after offering the held record
    // again; empty when it is open.
    std::string Blocked();
    std::string HeldWords() const;
    // What the store's full check found, in words; empty while it found nothing.
    std::string DamageWords() const;

    IRecordStore& m_store;
    const bool m_requireServer;
    const CStoreCheck* m_check = nullptr;
    // Stores what the journal holds (another slot's, or an earlier run's);
    // empty when all of it is stored, else why not.
    std::string StoreJournal();

    CRecordJournal* m_journal = nullptr;
    std::optional<UnitRecord> m_held;
    InsertResult m_heldFailure;  // why the store last refused it
};
