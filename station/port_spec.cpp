#include "station/port_spec.h"

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
int ComNumber(const std::string& spec) {
    if (IsDigits(spec)) {
        if (spec.size() > 3)
            return 0;
        const int n = std::stoi(spec);
        return n >= kMinComNumber && n <= kMaxComNumber ? n : 0;
    }
    const int n = PortNumberFromName(spec);
    return n <= kMaxComNumber ? n : 0;
}

// A "usb:VID:PID[:SERIAL]" spec, read by the link's own USB identity rules.
bool ParseUsb(const std::string& spec, UsbIdentity& id) {
    std::string ignored;
    return spec.compare(0, kUsbPrefix.size(), kUsbPrefix) == 0 &&
           ParseUsbIdentity(std::string_view(spec).substr(kUsbPrefix.size()), id, ignored);
}

}  // namespace

bool CheckPortSpec(const std::string& spec, std::string& error) {
    UsbIdentity usb;
    if (ComNumber(spec) != 0 || ParseUsb(spec, usb) || (!spec.empty() && spec.front() == '/'))
        return true;
    error = "bad port '" + spec + "': give COMn or n (1 to " + std::to_string(kMaxComNumber) +
            "), a device path, or usb:VID:PID[:SERIAL]";
    return false;
}

std::string PortSpecKey(const std::string& spec) {
    if (const int n = ComNumber(spec))
        return "COM" + std::to_string(n);
    UsbIdentity usb;
    if (ParseUsb(spec, usb))
        return std::string(kUsbPrefix) + UsbIdentityText(usb);
    return spec;
}

std::string ResolvePortSpec(const std::string& spec, std::string& error) {
    error.clear();
    if (const int n = ComNumber(spec))
        return ResolvePortName("COM" + std::to_string(n));
    UsbIdentity usb;
    if (!ParseUsb(spec, usb))
        return spec;
    const std::vector<PortInfo> matching = MatchUsbPorts(ListPorts().ports, usb);
    const std::size_t matches = matching.size();
    if (matches > 1) {
        // Either could be the slot's box: opening one at random would mix slots up.
        error = std::to_string(matches) + " adapters match " + spec + ": add the serial number";
        return {};
    }
    return matches == 1 ? matching.front().path : std::string();
}
