#pragma once
// Which port the operator means: any port (the scan finds the box), port
// COMn, a device path or a stable name under /dev/serial (by-id, by-path,
// which stay the same across replugging while COM numbers and ttyUSBn may
// not), or a USB adapter by its identity (VID:PID and, for several adapters
// of one kind, the serial number). A choice is turned into a device path
// (PickPort) at each use, so a waiting tool sees an adapter that appears
// later. The USB matching reads only the port list's records and is a pure
// function. Any thread may call these.

#include <string>
#include <string_view>
#include <vector>

#include "link/port_names.h"

// A USB adapter's identity; vid and pid are four lowercase hex digits (as udev
// gives them), serial is empty for "any serial number".
struct UsbIdentity {
    std::string vid;
    std::string pid;
    std::string serial;
};

struct PortChoice {
    enum class Kind { AnyPort, Number, Path, Usb };
    Kind kind = Kind::AnyPort;
    int number = 0;    // Number: n of COMn
    std::string path;  // Path: a device path, or the bare name of a /dev/serial entry
    UsbIdentity usb;   // Usb
};

// "VID:PID" or "VID:PID:SERIAL", hex in either case. False with a message in
// `error` for anything else; `usb` is then unspecified.
bool ParseUsbIdentity(std::string_view text, UsbIdentity& usb, std::string& error);

// The value of --port: a number (1 to 255) or "COMn" names port n; a text
// with a '/' is a device path; another word is the name of an entry of
// /dev/serial/by-id or by-path. False with a message for an empty text or a
// port number out of range.
bool ParsePortArgument(std::string_view text, PortChoice& choice, std::string& error);

// A port as a slots file or a station names it: what --port takes, except
// that a /dev/serial name is given by its whole path, or
// "usb:VID:PID[:SERIAL]" (what --usb takes, after the prefix). Messages start
// with "bad port '<text>'".
bool ParsePortText(std::string_view text, PortChoice& choice, std::string& error);

// One spelling per port, for telling whether two choices name the same port:
// "COM3" for "3" and "com3", "usb:0403:6001" (lower-case hex), a path as given.
std::string PortChoiceKey(const PortChoice& choice);
// PortChoiceKey of a port text, or the text as given when it is none.
std::string PortTextKey(std::string_view text);

// "0403:6001" or "0403:6001:A50285BI".
std::string UsbIdentityText(const UsbIdentity& usb);

// The ports among `ports` whose USB identity matches `usb` (serial compared
// only when `usb` has one).
std::vector<PortInfo> MatchUsbPorts(const std::vector<PortInfo>& ports, const UsbIdentity& usb);

// Where a choice leads now.
struct PortPick {
    std::string path;        // the device path to open; empty when nothing is picked
    int number = 0;          // its COM number in the port list, 0 when it has none
    std::string problem;     // when no path: why ("no USB adapter 0403:6001", "several ...")
    bool ambiguous = false;  // several adapters match: waiting will not settle it
};

// The pick of a Path or Usb choice among `ports` (the port list as ListPorts
// gives it). A bare stable name is looked up in `stableDirs` in order. A Path
// that names nothing is still picked (opening it then says why).
PortPick PickPortAmong(const PortChoice& choice, const std::vector<PortInfo>& ports,
                       const std::vector<std::string>& stableDirs = {kSerialByIdDir,
                                                                     kSerialByPathDir});

// PickPortAmong over the ports that exist now.
PortPick PickPort(const PortChoice& choice);

// The device a choice leads to now, links resolved ("/dev/ttyUSB0",
// "/dev/pts/3"), for telling whether two choices name one device by
// different names; empty when nothing is there now (or several USB adapters
// match). Any port leads to no one device.
std::string ChosenDeviceNow(const PortChoice& choice);

// How a pick is named in messages: "COM3 (/dev/ttyUSB0)" or the path alone.
std::string PortPickLabel(const PortPick& pick);
