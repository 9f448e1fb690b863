#pragma once
// CPortWatch: a descriptor that turns readable when the system's ports may
// have changed, so a tool waiting for a box sleeps until something happens
// instead of polling. With VORNAK_PORT_DIR set it watches that folder (a
// name added, removed or renamed); otherwise the system's tty devices (added
// or removed, as udev announces them once its rules ran, so the device's
// group and /dev/serial names are in place). Platform code.
//
// Threads: one owner.

#include <memory>

class CWakeSignal;

class CPortWatch {
public:
    CPortWatch();
    ~CPortWatch();
    CPortWatch(const CPortWatch&) = delete;
    CPortWatch& operator=(const CPortWatch&) = delete;

    // Whether anything is watched: false without udev or without the folder,
    // and then only time-outs and `cancel` end a Wait.
    bool Watching() const;

    enum class WaitEnd { Changed, Cancelled, TimedOut };
    // Sleeps until the ports may have changed, `cancel` is raised (looked at,
    // not cleared) or `timeoutMs` pass. Takes in the notices it woke for.
    WaitEnd Wait(const CWakeSignal& cancel, int timeoutMs);

private:
    int Fd() const;
    void Drain();

    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
