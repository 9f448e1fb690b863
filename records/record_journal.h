#pragma once
// CRecordJournal: the records a station could not store, kept in a small file
// of their own beside the store until the store takes them. A box that was
// programmed keeps its record even when the store failed (disk full, locked,
// damaged) and the station is then stopped: the next start stores what the
// journal holds before it takes a box.
//
// The file is made at its full size when the journal opens (posix_fallocate),
// so writing a record into it needs no new disk block: it works on the disk
// that just filled up. It is only ever appended to, one JSON object a line,
// then zero bytes to its end: {"keep": [the record's column texts,
// records/record_columns.h]} before the station shows the unit's result, and
// {"forget": "<id>"} once the store took it. When nothing waits any more the
// file is zeroed from its end backwards, so a station killed meanwhile leaves
// whole lines before the zeros; a record it brings back was stored already,
// and storing it again finds it there. A last line cut short by a kill was
// never synced, so its unit never showed a result.
//
// Threads: any; one mutex guards the file (the slots of a group share one
// journal).

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "records/unit_record.h"

// Beside the store: records-journal.jsonl.
inline constexpr char kDefaultJournalFile[] = "records-journal.jsonl";
// Room for a few hundred records (a record is a few KiB): a station takes no
// box while one waits, so it holds at most one a slot and those of a stop.
inline constexpr std::uint64_t kJournalBytes = 1u << 20;

class CRecordJournal {
public:
    // Opens the journal at `path`, making it (at its full size) when there is
    // none. Null with `error` when it can't be made or read, or holds a line
    // that is not a record.
    static std::unique_ptr<CRecordJournal> Open(const std::string& path, std::string& error);
    ~CRecordJournal();
    CRecordJournal(const CRecordJournal&) = delete;
    CRecordJournal& operator=(const CRecordJournal&) = delete;

    const std::string& Path() const { return m_path; }
    // The records waiting, oldest first.
    std::vector<UnitRecord> Waiting() const;
    // Keeps `record` (a record of that id already kept is replaced). False
    // with `error` when the file has no room left or can't be written; the
    // record is then not kept.
    bool Keep(const UnitRecord& record, std::string& error);
    // Forgets the record `id` once the store took it.
    bool Forget(const std::string& id, std::string& error);

private:
    CRecordJournal(std::string path, int fd, std::uint64_t size, std::uint64_t end,
                   std::vector<UnitRecord> waiting);
    // Appends `line` and syncs it.
    bool AppendLocked(const std::string& line, std::string& error);
    // Zeroes the file from its end backwards once nothing waits.
    bool ClearLocked(std::string& error);

    const std::string m_path;
    const int m_fd;
    const std::uint64_t m_size;
    mutable std::mutex m_lock;  // guards the two below and the file
    std::uint64_t m_end;        // where the next line goes
    std::vector<UnitRecord> m_waiting;
};
