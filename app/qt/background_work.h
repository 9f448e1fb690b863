#pragma once
// CBackgroundWork: the one owner of the threads a window starts for work off
// its GUI thread (waiting for slots, reading the store, writing a report,
// looking a scan up). Each job runs in a lane of its own name, one job per
// lane at a time; its `work` runs on a new thread and returns what to do
// next, which runs on the GUI thread once that thread is joined. JoinAll,
// which the destructor calls, joins every lane's thread in one place, so a
// window that owns one joins all its work by owning it.
//
// Threads: made, used and destroyed on the GUI thread (the one that made
// it); each job's `work` on its own thread and nothing else there. No lock:
// the lanes are touched on the GUI thread alone. Continuations are posted to
// a receiver this object owns, so one still queued when it goes, or after
// JoinAll, never runs.

#include <QObject>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>

class CBackgroundWork {
public:
    // What a job does off the GUI thread: returns its continuation.
    using Work = std::function<std::function<void()>()>;

    CBackgroundWork();
    ~CBackgroundWork();
    CBackgroundWork(const CBackgroundWork&) = delete;
    CBackgroundWork& operator=(const CBackgroundWork&) = delete;

    // Whether `lane` has a job whose continuation has not run yet.
    bool Busy(const std::string& lane) const;
    // Starts `work` in `lane`, which must not be busy. Throws
    // std::system_error, as std::thread does, when no thread is to be had.
    void Start(const std::string& lane, Work work);
    // Waits for every lane's thread; the continuations not run yet are
    // dropped (they would find their window closing).
    void JoinAll();

private:
    struct Lane {
        std::thread thread;
        std::uint64_t job = 0;  // the latest job's number
    };
    void Continue(const std::string& lane, std::uint64_t job, const std::function<void()>& then);

    std::map<std::string, Lane> m_lanes;
    std::uint64_t m_lastJob = 0;
    // Declared last, so it goes first: its queued calls go with it.
    std::unique_ptr<QObject> m_receiver;
};
