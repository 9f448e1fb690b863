#pragma once
// Port names: "COMn" and "\\.\COMn" both name serial port n (n >= 1).
//
// When the environment variable VORNAK_PORT_DIR is set, port n is the path
// $VORNAK_PORT_DIR/COMn (a link to a tty or pseudo-terminal) and nothing else
// is probed; it is read at every call, so a test may change it. Otherwise the
// ports are the system's serial devices (found through udev), numbered from 1
// in a stable order: USB adapters first, then the others, each group in
// natural name order. A name of neither form is a device path and is used
// unchanged. Only character devices that are ttys count as ports.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/low_latency.h"

constexpr char kPortDirVariable[] = "VORNAK_PORT_DIR";
// The highest port number a name may give: the link's port numbers are 8-bit
// (and a malformed number cannot overflow).
constexpr int kMaxPortNumber = 255;
// Where udev keeps the stable names of serial devices.
constexpr char kSerialByIdDir[] = "/dev/serial/by-id";
constexpr char kSerialByPathDir[] = "/dev/serial/by-path";

// The digits n of "COMn" or "\\.\COMn" (the "COM" in any case) as written, or
// empty when the name is neither form.
std::string_view ComPortDigits(std::string_view name);

// The port number that "COMn" or "\\.\COMn" names (the "COM" in any case), or 0
// when the name is neither form or n is above kMaxPortNumber.
int PortNumberFromName(std::string_view name);

// The path that opening `name` opens. For a port number that names no device
// the path is empty, so the open fails.
std::string ResolvePortName(const std::string& name);

struct PortInfo {
    int number = 0;                 // n of "COMn"
    std::string path;               // the path opened for it
    std::string description;        // adapter maker and product where known, "-> target" for a link
    std::string device;             // the device node the path leads to
    std::vector<std::string> byId;  // /dev/serial/by-id links to the device
    std::vector<std::string> byPath;  // /dev/serial/by-path links to the device
    std::string vidPid;               // USB "0403:6001", else empty
    std::string serial;               // USB serial number, else empty
    std::string maker;
    std::string product;
    std::string driver;                 // the kernel driver behind the tty (ftdi_sio, cdc_acm, ...)
    std::optional<int> latencyTimerMs;  // FTDI adapters
};

// A name in the port folder that is no port, and why.
struct PortListSkip {
    std::string path;
    std::string reason;  // "dangling link", "not a character device", "not a tty"
};

struct PortList {
    std::vector<PortInfo> ports;
    std::vector<PortListSkip> skipped;
    // Set when the port folder cannot be read: then there is no list at all.
    std::string error;
};

// The ports that exist now, by number, for the `ports` command: the COMn links
// of VORNAK_PORT_DIR when it is set, else the system's serial devices. Device
// details and tty checks read sysfs under `sysfsRoot`.
PortList ListPorts(const std::string& sysfsRoot = kSystemSysfsRoot);

// Why `path` is not a port (a reason as in PortListSkip), or empty when it
// leads to a character device that is a tty.
std::string NotAPortReason(const std::string& path, const std::string& sysfsRoot);

// A tty the system reports, before ordering.
struct SystemTty {
    std::string name;        // ttyUSB0
    std::string devnode;     // /dev/ttyUSB0
    bool hasDevice = false;  // false for virtual consoles and pseudo-terminals
    std::string uartType;    // legacy 8250 ports: "0" when no UART answers
    std::string description;
};

// Numbers the ports among `ttys`: those with a device that are not phantom
// legacy ports, USB adapters (ttyUSB, ttyACM) first, then the others, each
// group in natural name order.
std::vector<PortInfo> OrderSystemPorts(std::vector<SystemTty> ttys);
