#pragma once
// Opening the port the operator chose, and waiting until a box answers on it.
//
// Principles of operation. WaitForBox tries at once: with no port chosen it
// scans (CDeviceLink::ScanPorts); with one chosen it opens that port (the
// choice is looked up afresh each time, so an adapter plugged in later, or
// plugged into another socket, is found) and probes it. Between attempts it
// sleeps until the system's ports change (CPortWatch: a udev monitor, or
// inotify on VORNAK_PORT_DIR), the re-probe interval passes, the time-out
// runs out or the cancel signal is raised. So a box plugged in answers at
// once, and a box switched on behind an adapter that was already there
// answers within the interval. An attempt that has started (a scan, a probe)
// runs to its end before a cancel is noticed; both are bounded by the probe's
// time-out.
//
// Threads: one caller per link; the cancel signal may be raised from any
// thread or a signal handler (CWakeSignal::Signal only writes to a pipe).

#include <chrono>
#include <optional>
#include <string>

#include "link/device_link.h"
#include "link/port_choice.h"

// A box switched on behind a port that is already there raises no event;
// this is how long it may stay unnoticed, short for an operator, long enough
// that an idle wait costs nothing.
constexpr std::chrono::milliseconds kReprobeInterval{1000};

// Opens the chosen port (Number, Path or Usb) without probing it, as
// CDeviceLink::OpenPort does; `pick` tells which device the choice led to.
// ST_NO_DEVICE when nothing could be opened: `failure` then says why when an
// open failed, and `pick.problem` when the choice led to no device.
StatusWord OpenChosenPort(CDeviceLink& link, const PortChoice& choice, PortPick& pick,
                          PortFailure& failure);

enum class BoxWaitEnd {
    Answered,   // the link holds the box's port open, connected
    TimedOut,   // nothing answered within the time-out
    Cancelled,  // the cancel signal was raised
    Ambiguous,  // several adapters match the choice (waiting won't settle it)
};

struct BoxWaitResult {
    BoxWaitEnd end = BoxWaitEnd::TimedOut;
    // The last attempt at a chosen port: where the choice led and, when the
    // port could not be opened, why. Unused for a scan, which reports its
    // skipped ports through the link's own hook.
    PortPick pick;
    std::optional<PortFailure> failure;
};

// Waits until a box answers as described above; no `limit` waits until
// answered or cancelled. The cancel signal is looked at, never cleared.
BoxWaitResult WaitForBox(CDeviceLink& link, const PortChoice& choice,
                         std::optional<std::chrono::milliseconds> limit, const CWakeSignal& cancel);
