#pragma once
// IRecordStore: where unit records are kept, behind one interface with two
// backends: a SQLite file for one PC, a PostgreSQL database shared by a
// plant's stations (with a local SQLite queue while the server is away).
//
// Threads: a store may be used from several threads (one per fixture slot);
// each implementation serialises its own connection use.

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "records/store_fault.h"
#include "records/unit_record.h"

// The last run of one serial through one recipe (by the recipe file's digest).
enum class InterlockState {
    New,         // never run through this recipe
    Passed,      // its last run passed: refuse unless rework
    LastFailed,  // its last run failed or was aborted: allowed, marked retry
};

// Each field set narrows the records to those that match it exactly (times:
// the range). The recall fields have an index each, led by the field and
// followed by the start time, so a narrowed range of a large store is quick.
struct RecordFilter {
    std::optional<std::string> serial = {};
    std::optional<std::string> since = {};  // ISO 8601 UTC; records that started at or after it
                                            // (ParseRecordTime() reads what a user typed)
    std::optional<std::string> until = {};  // records that started before it (the end is open,
                                            // so one day is --since D --until D+1)
    std::optional<UnitResult> result = {};
    std::optional<std::string> versionAfter = {};  // the version the box reported after the unit
    std::optional<std::string> packageSha256 = {};
    std::optional<std::string> recipeSha256 = {};
    std::optional<std::string> variant = {};
    std::optional<std::string> station = {};
    // The release bundle a record's recipe came from.
    std::optional<std::string> bundleId = {};
    std::optional<std::int64_t> releaseNumber = {};
    std::optional<std::string> signerKeyId = {};
    std::optional<std::int64_t> releaseAbove = {};  // release numbers above this one
    std::size_t limit = 0;                          // 0: all
};

// What became of a record offered to a store.
enum class InsertOutcome {
    Stored,         // committed where the store keeps its records
    Queued,         // committed to the local queue: the shared server is away
    AlreadyPassed,  // refused: the serial's last run through the recipe passed
    Fault,          // the store failed: `fault` says how, `message` in its words
};

struct InsertResult {
    InsertOutcome outcome = InsertOutcome::Fault;
    StoreFault fault = StoreFault::None;  // set for a Fault
    std::string message = {};             // why, unless the record was committed

    // The record is committed (stored or queued).
    explicit operator bool() const {
        return outcome == InsertOutcome::Stored || outcome == InsertOutcome::Queued;
    }
    static InsertResult Failed(StoreFault fault, std::string message) {
        return {InsertOutcome::Fault, fault, std::move(message)};
    }
};

// Where records go now: a store with a shared server tells when it is away.
struct StoreStatus {
    bool away = false;        // the server does not answer: records wait locally
    std::size_t waiting = 0;  // records waiting for the server
    bool operator==(const StoreStatus&) const = default;
};

class IRecordStore {
public:
    virtual ~IRecordStore() = default;

    // What the interlock knows of `serial` for the recipe with `recipeSha256`.
    // A store that can't be read answers New: the pass-free Insert() is the
    // check that holds.
    virtual InterlockState Interlock(const std::string& serial,
                                     const std::string& recipeSha256) = 0;

    // Commits `record` durably. When `requirePassFree` is set and the record
    // passed, the insert is refused (AlreadyPassed) if the serial's last run
    // through the same recipe passed (what Interlock() calls Passed): the
    // check and the insert are one transaction, so two stations never both
    // pass one serial.
    // Inserting a record whose id is already stored changes nothing and
    // succeeds (forwarding is idempotent). A Fault leaves the record not
    // stored.
    virtual InsertResult Insert(const UnitRecord& record, bool requirePassFree) = 0;

    // The records the filter lets through, newest first. False with `error`
    // when they can't be read, also when a stored row can't be read back as
    // a record (the error names it): a record is never left out silently.
    virtual bool List(const RecordFilter& filter, std::vector<UnitRecord>& records,
                      std::string& error) = 0;
    // The record `id` (none when not stored). False with `error` as List.
    virtual bool Find(const std::string& id, std::optional<UnitRecord>& record,
                      std::string& error) = 0;

    // Where the store lives, for messages ("sqlite:/path/records.db").
    virtual std::string Describe() const = 0;

    // Records held locally until the shared store has them (a PostgreSQL
    // store while its server is away); 0 for a store that needs no queue.
    virtual std::size_t QueuedCount() { return 0; }

    // Whether records reach the shared server now, and how many wait.
    virtual StoreStatus Status() { return {false, QueuedCount()}; }
    // `hook` hears the status at once and then each time it changes (the
    // server goes away or comes back, the count of waiting records moves),
    // on whichever thread noticed, never under the store's lock; it may call
    // Status(). Null stops the calls.
    virtual void SetStatusHook(std::function<void(const StoreStatus&)> hook) {
        if (hook)
            hook(Status());
    }

    // A look at the store's own files (SQLite: the structure of every page,
    // which takes time in proportion to the store's size); false with `why`
    // when they are damaged. It runs beside the store's other calls (on a
    // connection of its own) and holds none of them up; `cancel`, when set,
    // ends it early as sound. A station runs it in the background and stops
    // the line when it finds damage (station/engine/store_check.h).
    virtual bool CheckIntegrity(std::string& why, const std::atomic<bool>& cancel) {
        (void)cancel;
        why.clear();
        return true;
    }
    // Ends a CheckIntegrity() running on another thread at once (its cancel
    // flag set first): a check reads page after page without a pause for a
    // flag to be seen, so a station's exit would otherwise wait for it.
    virtual void CancelIntegrityCheck() {}
};

// The files a station keeps in its folder unless told otherwise: the SQLite
// store, and a PostgreSQL store's local queue.
inline constexpr char kDefaultRecordsFile[] = "records.db";
inline constexpr char kDefaultQueueFile[] = "records-queue.db";

// Opens the store `url` names: "sqlite:PATH", a bare path (SQLite), or
// "postgresql://..." / "postgres://...". `queuePath` is the local SQLite file
// that holds records while a PostgreSQL server is away. Null with `error`
// when the URL is malformed or the store cannot be opened.
std::unique_ptr<IRecordStore> OpenRecordStore(const std::string& url, const std::string& queuePath,
                                              std::string& error);

// The file a SQLite store's URL names ("sqlite:PATH" or a bare path); empty
// for any other URL.
std::string SqliteStorePath(const std::string& url);
