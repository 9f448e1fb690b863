// Port names on Linux: the system's serial devices come from udev
// (system_ports_udev.cpp); a device counts as a tty when sysfs files it under
// the tty class or it is a pseudo-terminal.
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "base/natural_order.h"
#include "link/port_names.h"
#include "link/system_ports.h"

namespace fs = std::filesystem;

namespace {

// Unix98 pseudo-terminal slaves use these character majors; they have no
// sysfs entry to ask (the kernel's device list fixes them).
constexpr unsigned kFirstPtySlaveMajor = 136;
constexpr unsigned kLastPtySlaveMajor = 143;

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string PortDirFromEnvironment() {
    const char* dir = std::getenv(kPortDirVariable);
    return dir != nullptr ? std::string(dir) : std::string();
}

bool IsUsbAdapter(const std::string& name) {
    return name.starts_with("ttyUSB") || name.starts_with("ttyACM");
}

// Legacy 8250 ports are registered whether or not a UART answers; those
// without one report the type 0 (unknown) and cannot be opened usefully.
bool IsPhantomLegacyPort(const SystemTty& tty) {
    return tty.name.starts_with("ttyS") && tty.uartType == "0";
}

std::vector<PortInfo> SystemPorts() {
    return OrderSystemPorts(SystemTtys());
}

}  // namespace

std::string_view ComPortDigits(std::string_view name) {
    constexpr std::string_view kDevicePrefix = "\\\\.\\";
    if (name.starts_with(kDevicePrefix))
        name.remove_prefix(kDevicePrefix.size());
    if (name.size() < 4 || !EqualsNoCase(name.substr(0, 3), "COM"))
        return {};
    const std::string_view digits = name.substr(3);
    const bool allDigits = std::all_of(digits.begin(), digits.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
    });
    return allDigits ? digits : std::string_view();
}

int PortNumberFromName(std::string_view name) {
    int number = 0;
    for (char c : ComPortDigits(name)) {
        number = number * 10 + (c - '0');
        if (number > kMaxPortNumber)
            return 0;
    }
    return number;
}

std::string ResolvePortName(const std::string& name) {
    const int number = PortNumberFromName(name);
    if (number == 0)
        return name;
    const std::string dir = PortDirFromEnvironment();
    if (!dir.empty())
        return dir + "/COM" + std::to_string(number);
    for (const PortInfo& port : SystemPorts()) {
        if (port.number == number)
            return port.path;
    }
    return {};
}

std::vector<PortInfo> OrderSystemPorts(std::vector<SystemTty> ttys) {
    std::erase_if(ttys, [](const SystemTty& t) { return !t.hasDevice || IsPhantomLegacyPort(t); });
    const auto order = [](const SystemTty& a, const SystemTty& b) {
        if (IsUsbAdapter(a.name) != IsUsbAdapter(b.name))
            return IsUsbAdapter(a.name);
        return NaturalLess(a.name, b.name);
    };
    std::sort(ttys.begin(), ttys.end(), order);
    std::vector<PortInfo> ports;
    for (const SystemTty& tty : ttys) {
        PortInfo info;
        info.number = static_cast<int>(ports.size()) + 1;
        info.path = tty.devnode;
        info.description = tty.description;
        ports.push_back(std::move(info));
    }
    return ports;
}

std::string NotAPortReason(const std::string& path, const std::string& sysfsRoot) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        struct stat link {};
        return lstat(path.c_str(), &link) == 0 ? "dangling link" : "missing";
    }
    if (S_ISDIR(st.st_mode))
        return "not a character device (a folder)";
    if (S_ISREG(st.st_mode))
        return "not a character device (a file)";
    if (!S_ISCHR(st.st_mode))
        return "not a character device";
    const unsigned maj = major(st.st_rdev);
    if (maj >= kFirstPtySlaveMajor && maj <= kLastPtySlaveMajor)
        return {};
    const fs::path entry = fs::path(sysfsRoot) / "dev/char" /
                           (std::to_string(maj) + ":" + std::to_string(minor(st.st_rdev)));
    std::error_code ec;
    if (fs::canonical(entry / "subsystem", ec).filename() == "tty" && !ec)
        return {};
    return "not a tty (character device " + std::to_string(maj) + ":" +
           std::to_string(minor(st.st_rdev)) + ")";
}

PortList ListPorts(const std::string& sysfsRoot) {
    PortList list;
    const std::string dir = PortDirFromEnvironment();
    if (dir.empty()) {
        list.ports = SystemPorts();
    } else {
        std::error_code ec;
        fs::directory_iterator entries(dir, ec);
        if (ec) {
            list.error = std::string(kPortDirVariable) + "=" + dir + ": " + ec.message();
            return list;
        }
        for (const fs::directory_entry& entry : entries) {
            const std::string name = entry.path().filename().string();
            const int number = PortNumberFromName(name);
            // Only the plain form names a file here.
            if (number == 0 || name != "COM" + std::to_string(number))
                continue;
            const std::string reason = NotAPortReason(entry.path().string(), sysfsRoot);
            if (!reason.empty()) {
                list.skipped.push_back({entry.path().string(), reason});
                continue;
            }
            PortInfo info;
            info.number = number;
            info.path = entry.path().string();
            std::error_code linkEc;
            const fs::path target = fs::read_symlink(entry.path(), linkEc);
            if (!linkEc)
                info.description = "-> " + target.string();
            list.ports.push_back(std::move(info));
        }
        std::sort(list.ports.begin(), list.ports.end(),
                  [](const PortInfo& a, const PortInfo& b) { return a.number < b.number; });
        std::sort(list.skipped.begin(), list.skipped.end(),
                  [](const PortListSkip& a, const PortListSkip& b) { return a.path < b.path; });
    }
    for (PortInfo& port : list.ports)
        FillPortDetails(port, sysfsRoot);
    return list;
}
