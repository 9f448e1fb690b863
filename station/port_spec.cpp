#include "station/port_spec.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "link/port_names.h"

namespace {

constexpr std::string_view kUsbPrefix = "usb:";
// COM numbers the link can name.
constexpr int kMinComNumber = 1;
constexpr int kMaxComNumber = 255;
constexpr std::size_t kUsbIdDigits = 4;

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

bool IsHexId(std::string_view text) {
    return text.size() == kUsbIdDigits && std::all_of(text.begin(), text.end(), [](char c) {
               return std::isxdigit(static_cast<unsigned char>(c)) != 0;
           });
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

struct UsbIdentity {
    std::string vidPid;  // "0403:6001", lower case
    std::string serial;  // empty: any
};

bool ParseUsb(const std::string& spec, UsbIdentity& id) {
    if (spec.compare(0, kUsbPrefix.size(), kUsbPrefix) != 0)
        return false;
    const std::string rest = spec.substr(kUsbPrefix.size());
    const std::string_view vid = std::string_view(rest).substr(0, kUsbIdDigits);
    const std::string_view pid = rest.size() > kUsbIdDigits
                                     ? std::string_view(rest).substr(kUsbIdDigits + 1, kUsbIdDigits)
                                     : std::string_view();
    if (!IsHexId(vid) || rest.size() <= kUsbIdDigits || rest[kUsbIdDigits] != ':' || !IsHexId(pid))
        return false;
    const std::size_t tail = 2 * kUsbIdDigits + 1;
    if (rest.size() > tail && (rest[tail] != ':' || rest.size() == tail + 1))
        return false;
    id.vidPid = Lower(rest.substr(0, tail));
    id.serial = rest.size() > tail ? rest.substr(tail + 1) : std::string();
    return true;
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
        return std::string(kUsbPrefix) + usb.vidPid + (usb.serial.empty() ? "" : ":" + usb.serial);
    return spec;
}

std::string ResolvePortSpec(const std::string& spec, std::string& error) {
    error.clear();
    if (const int n = ComNumber(spec))
        return ResolvePortName("COM" + std::to_string(n));
    UsbIdentity usb;
    if (!ParseUsb(spec, usb))
        return spec;
    std::string found;
    int matches = 0;
    for (const PortInfo& port : ListPorts().ports) {
        if (Lower(port.vidPid) != usb.vidPid || (!usb.serial.empty() && port.serial != usb.serial))
            continue;
        ++matches;
        found = port.path;
    }
    if (matches > 1) {
        // Either could be the slot's box: opening one at random would mix slots up.
        error = std::to_string(matches) + " adapters match " + spec + ": add the serial number";
        return {};
    }
    return found;
}
