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
// time-out. WaitForRemoval is the other half of a station's cycle: it probes
// the box that answered until it stops answering, sleeping the same way.
//
// Threads: one caller per link; the cancel signal may be raised from any
// thread or a signal handler (CWakeSignal::Signal only writes to a pipe).

#include <chrono>
#include <functional>
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

// How a wait goes on besides its choice and its cancel signal.
struct BoxWaitOptions {
    // None: until answered or cancelled.
    std::optional<std::chrono::milliseconds> limit;
    std::chrono::milliseconds reprobe = kReprobeInterval;
    // Several adapters matching the choice end the wait (a tool asked once);
    // false waits on for the ports to change (a fixture whose operator
    // unplugs one).
    bool endWhenAmbiguous = true;
    // Told of each attempt at a chosen port that found no box, its pick and
    // failure as in BoxWaitResult (a station says a problem once from these).
    std::function<void(const BoxWaitResult& attempt)> onMiss;
};

// Waits until a box answers as described above. The cancel signal is looked
// at, never cleared.
BoxWaitResult WaitForBox(CDeviceLink& link, const PortChoice& choice, const BoxWaitOptions& options,
                         const CWakeSignal& cancel);
// The same with the default options and `limit`.
BoxWaitResult WaitForBox(CDeviceLink& link, const PortChoice& choice,
                         std::optional<std::chrono::milliseconds> limit, const CWakeSignal& cancel);

enum class RemovalWaitEnd {
    Removed,    // the box stopped answering, or its line went away; the port is closed
    Cancelled,  // the cancel signal was raised; the port stays as it was
};

// Waits until the box on the link's open port is gone: `misses` probes in a
// row unanswered (so one lost reply is no removal), one each `reprobe` and
// at once after the ports change, or the line gone (the port unplugged). A
// box that stays keeps the wait going. Threads as for WaitForBox.
RemovalWaitEnd WaitForRemoval(CDeviceLink& link, int misses, std::chrono::milliseconds reprobe,
                              const CWakeSignal& cancel);
