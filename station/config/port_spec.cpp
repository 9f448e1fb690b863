#include "station/config/port_spec.h"

#include <algorithm>
#include <string_view>

#include "link/port_choice.h"
#include "link/port_names.h"

namespace {

constexpr std::string_view kUsbPrefix = "usb:";
// COM numbers the link can name.
constexpr int kMinComNumber = 1;
constexpr int kMaxComNumber = 255;

bool IsDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// n of "COMn", "\\.\COMn" or "n", or 0.
int ComNumber(const std::string& portText) {
    if (IsDigits(portText)) {
        if (portText.size() > 3)
            return 0;
        const int n = std::stoi(portText);
        return n >= kMinComNumber && n <= kMaxComNumber ? n : 0;
    }
    const int n = PortNumberFromName(portText);
    return n <= kMaxComNumber ? n : 0;
}

// A "usb:VID:PID[:SERIAL]" portText, read by the link's own USB identity rules.
bool ParseUsb(const std::string& portText, UsbIdentity& id) {
    std::string ignored;
    return portText.compare(0, kUsbPrefix.size(), kUsbPrefix) == 0 &&
           ParseUsbIdentity(std::string_view(portText).substr(kUsbPrefix.size()), id, ignored);
}

}  // namespace

bool CheckPortSpec(const std::string& portText, std::string& error) {
    UsbIdentity usb;
    if (ComNumber(portText) != 0 || ParseUsb(portText, usb) ||
        (!portText.empty() && portText.front() == '/'))
        return true;
    error = "bad port '" + portText + "': give COMn or n (1 to " + std::to_string(kMaxComNumber) +
            "), a device path, or usb:VID:PID[:SERIAL]";
    return false;
}

std::string PortSpecKey(const std::string& portText) {
    if (const int n = ComNumber(portText))
        return "COM" + std::to_string(n);
    UsbIdentity usb;
    if (ParseUsb(portText, usb))
        return std::string(kUsbPrefix) + UsbIdentityText(usb);
    return portText;
}

std::string ResolvePortSpec(const std::string& portText, std::string& error) {
    error.clear();
    if (const int n = ComNumber(portText))
        return ResolvePortName("COM" + std::to_string(n));
    UsbIdentity usb;
    if (!ParseUsb(portText, usb))
        return portText;
    const std::vector<PortInfo> matching = MatchUsbPorts(ListPorts().ports, usb);
    const std::size_t matches = matching.size();
    if (matches > 1) {
        // Either could be the slot's box: opening one at random would mix slots up.
        error = std::to_string(matches) + " adapters match " + portText + ": add the serial number";
        return {};
    }
    return matches == 1 ? matching.front().path : std::string();
}
