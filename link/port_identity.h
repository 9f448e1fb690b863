#pragma once
// Which physical port a unit ran on, for its record: the device, its
// /dev/serial/by-path name (the same USB socket every time) and the USB
// adapter's serial number, as the port list (link/port_names.h) knows them.
// Any thread may call these.

#include <string>

struct PortIdentity {
    std::string device;         // the device opened, links resolved ("/dev/ttyUSB0")
    std::string byPath;         // "/dev/serial/by-path/...", or empty
    std::string adapterSerial;  // the USB adapter's serial number, or empty
};

// For port COM<number> as the link opens it. Fields the system cannot tell
// stay empty.
PortIdentity DescribePort(int number);
// For the device at `path` (a device path or a link to one).
PortIdentity DescribePortPath(const std::string& path);
