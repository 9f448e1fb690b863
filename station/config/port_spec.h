#pragma once
// A station's port as the operator names it: a COM number ("COM3" or "3"), a
// device path ("/dev/ttyUSB0", a /dev/serial/by-path or by-id link) or a USB
// adapter's identity ("usb:VID:PID" or "usb:VID:PID:SERIAL", hex VID and PID).
// A port text is resolved to the device to open at every probe, so a box plugged
// in again, or an adapter that came back under another ttyUSB number, is
// found again.

#include <string>

// Whether `portText` is one of the forms above; false with `error`.
bool CheckPortSpec(const std::string& portText, std::string& error);

// One form of a port text for telling whether two slots name the same port:
// "COM3" for "3" and "com3", "usb:0403:6001" (lower-case hex), a path as is.
std::string PortSpecKey(const std::string& portText);

// The path to open for `portText` now, or empty when no such device is there
// now; `error` says why when that is not simply an absent device (a USB
// identity several adapters match).
std::string ResolvePortSpec(const std::string& portText, std::string& error);
