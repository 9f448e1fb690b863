#include "link/port_choice.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// Port numbers start at COM1.
constexpr int kMinChosenPort = 1;
// A USB vendor or product id: four hex digits.
constexpr std::size_t kUsbIdDigits = 4;

bool AllDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
    });
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

bool ParseUsbId(std::string_view text, std::string& id) {
    if (text.size() != kUsbIdDigits || !std::all_of(text.begin(), text.end(), [](char c) {
            return std::isxdigit(static_cast<unsigned char>(c)) != 0;
        })) {
        return false;
    }
    id = Lower(text);
    return true;
}

std::string Canonical(const std::string& path) {
    std::error_code ec;
    const fs::path device = fs::canonical(path, ec);
    return ec ? std::string() : device.string();
}

std::string Describe(const PortInfo& port) {
    std::string text = "COM" + std::to_string(port.number) + " (" + port.path;
    if (!port.serial.empty())
        text += ", serial " + port.serial;
    return text + ")";
}

}  // namespace

bool ParseUsbIdentity(std::string_view text, UsbIdentity& usb, std::string& error) {
    usb = UsbIdentity{};
    const std::size_t first = text.find(':');
    const std::size_t second = first == text.npos ? text.npos : text.find(':', first + 1);
    const bool ok = first != text.npos && ParseUsbId(text.substr(0, first), usb.vid) &&
                    ParseUsbId(text.substr(first + 1, second - first - 1), usb.pid) &&
                    (second == text.npos || second + 1 < text.size());
    if (!ok) {
        error = "bad USB identity '" + std::string(text) +
                "': give VID:PID or VID:PID:SERIAL, VID and PID four hex digits each";
        return false;
    }
    if (second != text.npos)
        usb.serial = std::string(text.substr(second + 1));
    return true;
}

bool ParsePortArgument(std::string_view text, PortChoice& choice, std::string& error) {
    choice = PortChoice{};
    if (text.empty()) {
        error = "option '--port' needs a port";
        return false;
    }
    std::string_view digits = AllDigits(text) ? text : ComPortDigits(text);
    if (!digits.empty()) {
        int number = 0;
        const auto [end, ec] =
            std::from_chars(digits.data(), digits.data() + digits.size(), number);
        if (ec != std::errc() || end != digits.data() + digits.size() || number < kMinChosenPort ||
            number > kMaxPortNumber) {
            error = "bad port number '" + std::string(text) + "': give " +
                    std::to_string(kMinChosenPort) + " to " + std::to_string(kMaxPortNumber) +
                    ", a device path or a /dev/serial/by-id or by-path name";
            return false;
        }
        choice.kind = PortChoice::Kind::Number;
        choice.number = number;
        return true;
    }
    choice.kind = PortChoice::Kind::Path;
    choice.path = std::string(text);
    return true;
}

bool ParsePortText(std::string_view text, PortChoice& choice, std::string& error) {
    constexpr std::string_view kUsbPrefix = "usb:";
    const std::string bad = "bad port '" + std::string(text) + "': ";
    if (text.starts_with(kUsbPrefix)) {
        choice = PortChoice{};
        choice.kind = PortChoice::Kind::Usb;
        std::string usbError;
        if (ParseUsbIdentity(text.substr(kUsbPrefix.size()), choice.usb, usbError))
            return true;
        error = bad + "give usb:VID:PID or usb:VID:PID:SERIAL, VID and PID four hex digits each";
        return false;
    }
    if (!text.empty() && !ParsePortArgument(text, choice, error))
        return false;
    // A bare word would be looked up under /dev/serial and waited for in
    // vain when mistyped ("ttyUSB0", "COM"); a slot names such a device by
    // its whole path.
    if (text.empty() ||
        (choice.kind == PortChoice::Kind::Path && choice.path.find('/') == std::string::npos)) {
        error = bad + "give COMn or n (1 to " + std::to_string(kMaxPortNumber) +
                "), a device path or usb:VID:PID[:SERIAL]";
        return false;
    }
    return true;
}

std::string PortChoiceKey(const PortChoice& choice) {
    switch (choice.kind) {
        case PortChoice::Kind::Number:
            return "COM" + std::to_string(choice.number);
        case PortChoice::Kind::Path:
            return choice.path;
        case PortChoice::Kind::Usb:
            return "usb:" + UsbIdentityText(choice.usb);
        case PortChoice::Kind::AnyPort:
            break;
    }
    return {};
}

std::string PortTextKey(std::string_view text) {
    PortChoice choice;
    std::string ignored;
    return ParsePortText(text, choice, ignored) ? PortChoiceKey(choice) : std::string(text);
}

std::string UsbIdentityText(const UsbIdentity& usb) {
    std::string text = usb.vid + ":" + usb.pid;
    if (!usb.serial.empty())
        text += ":" + usb.serial;
    return text;
}

std::vector<PortInfo> MatchUsbPorts(const std::vector<PortInfo>& ports, const UsbIdentity& usb) {
    std::vector<PortInfo> matches;
    for (const PortInfo& port : ports) {
        if (Lower(port.vidPid) == usb.vid + ":" + usb.pid &&
            (usb.serial.empty() || port.serial == usb.serial)) {
            matches.push_back(port);
        }
    }
    return matches;
}

PortPick PickPortAmong(const PortChoice& choice, const std::vector<PortInfo>& ports,
                       const std::vector<std::string>& stableDirs) {
    PortPick pick;
    if (choice.kind == PortChoice::Kind::Usb) {
        const std::vector<PortInfo> matches = MatchUsbPorts(ports, choice.usb);
        if (matches.size() == 1) {
            pick.path = matches.front().path;
            pick.number = matches.front().number;
            return pick;
        }
        const std::string identity = UsbIdentityText(choice.usb);
        if (matches.empty()) {
            pick.problem = "no USB adapter " + identity + " is plugged in";
            return pick;
        }
        pick.ambiguous = true;
        pick.problem = "several USB adapters match " + identity + ":";
        for (const PortInfo& port : matches)
            pick.problem += " " + Describe(port);
        pick.problem += "; add the serial number (VID:PID:SERIAL) or give --port";
        return pick;
    }
    if (choice.kind != PortChoice::Kind::Path)
        return pick;

    pick.path = choice.path;
    if (choice.path.find('/') == std::string::npos && !stableDirs.empty()) {
        // A bare name: the first stable folder that holds it, else the first
        // folder's entry, whose absence the open then reports.
        pick.path = stableDirs.front() + "/" + choice.path;
        for (const std::string& dir : stableDirs) {
            std::error_code ec;
            if (fs::exists(fs::symlink_status(dir + "/" + choice.path, ec))) {
                pick.path = dir + "/" + choice.path;
                break;
            }
        }
    }
    const std::string device = Canonical(pick.path);
    for (const PortInfo& port : ports) {
        if (!device.empty() && Canonical(port.path) == device) {
            pick.number = port.number;
            break;
        }
    }
    return pick;
}

PortPick PickPort(const PortChoice& choice) {
    return PickPortAmong(choice, ListPorts().ports);
}

std::string PortPickLabel(const PortPick& pick) {
    const std::string device = Canonical(pick.path);
    const std::string shown = device.empty() ? pick.path : device;
    if (pick.number == 0)
        return shown;
    return "COM" + std::to_string(pick.number) + " (" + shown + ")";
}

std::string ChosenDeviceNow(const PortChoice& choice) {
    switch (choice.kind) {
        case PortChoice::Kind::AnyPort:
            return {};
        case PortChoice::Kind::Number:
            return Canonical(ResolvePortName(PortChoiceKey(choice)));
        case PortChoice::Kind::Path:
        case PortChoice::Kind::Usb: {
            const PortPick pick = PickPort(choice);
            return pick.path.empty() ? std::string() : Canonical(pick.path);
        }
    }
    return {};
}
