#pragma once
// Why a port could not be opened: the system's error turned into one of a few
// reasons an operator can act on, with what the system shows about it (the
// device's group, the processes holding it). A PortFailure travels with the
// call that failed (CSerialPort::Open, CDeviceLink::OpenPort, the link's scan
// report); nothing keeps a last error.

#include <string>

enum class PortFailureKind {
    None,
    PermissionDenied,  // the user may not open the device
    Busy,              // another process holds it
    Gone,              // no device (unplugged, or the link leads nowhere)
    NotSerial,         // something that is no serial line (/dev/null, a file, a folder)
    Other,             // any other failure of the system; `error` says which
};

struct PortFailure {
    PortFailureKind kind = PortFailureKind::None;
    int error = 0;     // errno of the step that failed, 0 when none
    std::string path;  // the device path tried; empty when the name named no device
    // Nothing at all at the path, not even a link: a free port number, which a
    // scan passes over without a word.
    bool nothingThere = false;
    // PermissionDenied: the device's group, and whether that group may read
    // and write it (so that joining the group helps).
    std::string group;
    bool groupMayOpen = false;
    // Busy: "PID 1234 (minicom)" for each holder the system lets us see.
    std::string holders;
    // An ACM device while ModemManager runs: it may be probing the port.
    bool modemManagerRunning = false;
};

// The reason's words as the messages use them ("permission denied", "busy",
// "gone", "not a serial device").
const char* PortFailureReason(PortFailureKind kind);

// The kind an errno of open, lock or set-up stands for.
PortFailureKind PortFailureKindFor(int error);

// A failure at `path` with `error`, the details looked up in the system (the
// device's group, holders, ModemManager). Platform code.
PortFailure DescribePortFailure(const std::string& path, int error);

// One line for an operator: the reason, then what to do about it, e.g.
// "permission denied: /dev/ttyUSB0 belongs to group dialout; run
// `sudo usermod -aG dialout $USER`, then log in again".
std::string PortFailureText(const PortFailure& failure);
