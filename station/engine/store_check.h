#pragma once
// CStoreCheck: the full check of a station's records store, run where it
// holds no box back. A start checks only what can be checked at once (the
// store opens: its header and schema read); reading every page takes time in
// proportion to the store's size (a year's records: seconds warm, a minute
// from a cold disk), so it runs on a thread of its own beside the units, and
// the store gate (store_gate.h) stops the line once it finds damage.
//
// The check starts kStoreCheckDelay after the station did: on a cold disk its
// reads would otherwise compete with the start's and the first unit's.
//
// Threads: the check's own thread, started by the constructor; Damage() from
// any thread. The destructor cancels a check waiting or running and joins it.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "records/record_store.h"

inline constexpr std::chrono::seconds kStoreCheckDelay{5};

class CStoreCheck {
public:
    explicit CStoreCheck(IRecordStore& store, std::chrono::milliseconds delay = kStoreCheckDelay);
    ~CStoreCheck();
    CStoreCheck(const CStoreCheck&) = delete;
    CStoreCheck& operator=(const CStoreCheck&) = delete;

    // What the check found wrong, once it has; empty while it runs or when
    // the store is sound.
    std::optional<std::string> Damage() const;
    // Whether the check has ended.
    bool Done() const { return m_done.load(); }

private:
    IRecordStore& m_store;
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_done{false};
    mutable std::mutex m_lock;  // guards m_damage; m_wake waits on it
    std::condition_variable m_wake;
    std::optional<std::string> m_damage;
    std::thread m_thread;  // last: starts once the members above exist
};
