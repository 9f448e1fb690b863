#pragma once
// Port names: "COMn" and "\\.\COMn" both name serial port n (n >= 1).
//
// When the environment variable VORNAK_PORT_DIR is set, port n is the path
// $VORNAK_PORT_DIR/COMn (a link to a tty or pseudo-terminal) and nothing else
// is probed; it is read at every call, so a test may change it. Otherwise the
// ports are the system's serial devices, numbered from 1 in a stable order:
// USB adapters first, then the others, each group in natural name order. A name
// of neither form is a device path and is used unchanged.

#include <string>
#include <string_view>
#include <vector>

constexpr char kPortDirVariable[] = "VORNAK_PORT_DIR";

// The port number that "COMn" or "\\.\COMn" names (the "COM" in any case), or 0
// when the name is neither form.
int PortNumberFromName(std::string_view name);

// The path that opening `name` opens. For a port number that names no device
// the path is empty, so the open fails.
std::string ResolvePortName(const std::string& name);

struct PortInfo {
    int number = 0;           // n of "COMn"
    std::string path;         // the device opened for it
    std::string description;  // adapter maker and product where known, else empty
};

// The ports that exist now, by number, for the `ports` command: the COMn links
// of VORNAK_PORT_DIR when it is set, else the system's serial devices.
std::vector<PortInfo> ListPorts();

// The system's serial devices as read from a sysfs tty class folder (normally
// /sys/class/tty), with paths under devDir (normally /dev). Separate so that
// the ordering rules can be checked against a made-up tree.
std::vector<PortInfo> ListSystemPorts(const std::string& sysClassTty, const std::string& devDir);
