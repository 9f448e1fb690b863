// Port names on Linux: serial devices are read from sysfs.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "link/port_names.h"

namespace fs = std::filesystem;

namespace {

// Ports above this are never formed by the scan; it keeps a malformed number
// from overflowing.
constexpr int kMaxPortNumber = 255;
// How far above a tty's device to look for the USB device that describes it:
// interface, then device (ttyUSB adds one level of its own).
constexpr int kUsbSearchDepth = 4;

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

// Natural order: runs of digits compare by value, so ttyUSB2 < ttyUSB10.
bool NaturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const bool da = std::isdigit(static_cast<unsigned char>(a[i])) != 0;
        const bool db = std::isdigit(static_cast<unsigned char>(b[j])) != 0;
        if (da && db) {
            std::size_t ei = i;
            std::size_t ej = j;
            while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei])))
                ++ei;
            while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej])))
                ++ej;
            // Compare values without converting: skip leading zeros, then length.
            std::size_t si = i;
            std::size_t sj = j;
            while (si + 1 < ei && a[si] == '0')
                ++si;
            while (sj + 1 < ej && b[sj] == '0')
                ++sj;
            if (ei - si != ej - sj)
                return ei - si < ej - sj;
            const int c = a.compare(si, ei - si, b, sj, ej - sj);
            if (c != 0)
                return c < 0;
            i = ei;
            j = ej;
        } else {
            if (a[i] != b[j])
                return a[i] < b[j];
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

bool IsUsbAdapter(const std::string& name) {
    return name.starts_with("ttyUSB") || name.starts_with("ttyACM");
}

std::string ReadFirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// Legacy 8250 ports are registered whether or not a UART answers; those
// without one report the type 0 (unknown) and cannot be opened usefully.
bool IsPhantomLegacyPort(const fs::path& ttyDir, const std::string& name) {
    if (!name.starts_with("ttyS"))
        return false;
    std::error_code ec;
    if (!fs::exists(ttyDir / "type", ec))
        return false;
    return ReadFirstLine(ttyDir / "type") == "0";
}

// "maker product" of the USB device above a tty, where sysfs has it.
std::string UsbDescription(const fs::path& ttyDir) {
    std::error_code ec;
    fs::path dir = fs::canonical(ttyDir / "device", ec);
    if (ec)
        return {};
    for (int depth = 0; depth < kUsbSearchDepth && !dir.empty(); ++depth) {
        if (fs::exists(dir / "idVendor", ec)) {
            std::string maker = ReadFirstLine(dir / "manufacturer");
            const std::string product = ReadFirstLine(dir / "product");
            if (!maker.empty() && !product.empty())
                maker += ' ';
            return maker + product;
        }
        dir = dir.parent_path();
    }
    return {};
}

}  // namespace

int PortNumberFromName(std::string_view name) {
    constexpr std::string_view kDevicePrefix = "\\\\.\\";
    if (name.starts_with(kDevicePrefix))
        name.remove_prefix(kDevicePrefix.size());
    if (name.size() < 4 || !EqualsNoCase(name.substr(0, 3), "COM"))
        return 0;
    int number = 0;
    for (char c : name.substr(3)) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return 0;
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
    for (const PortInfo& port : ListSystemPorts("/sys/class/tty", "/dev")) {
        if (port.number == number)
            return port.path;
    }
    return {};
}

std::vector<PortInfo> ListSystemPorts(const std::string& sysClassTty, const std::string& devDir) {
    std::vector<std::string> usb;
    std::vector<std::string> other;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(sysClassTty, ec)) {
        const std::string name = entry.path().filename().string();
        std::error_code linkEc;
        // Virtual consoles and pseudo-terminals have no device behind them.
        if (!fs::exists(entry.path() / "device", linkEc))
            continue;
        if (IsPhantomLegacyPort(entry.path(), name))
            continue;
        (IsUsbAdapter(name) ? usb : other).push_back(name);
    }
    std::sort(usb.begin(), usb.end(), NaturalLess);
    std::sort(other.begin(), other.end(), NaturalLess);

    std::vector<PortInfo> ports;
    for (const std::vector<std::string>* group : {&usb, &other}) {
        for (const std::string& name : *group) {
            PortInfo info;
            info.number = static_cast<int>(ports.size()) + 1;
            info.path = devDir + "/" + name;
            info.description = UsbDescription(fs::path(sysClassTty) / name);
            ports.push_back(std::move(info));
        }
    }
    return ports;
}

std::vector<PortInfo> ListPorts() {
    const std::string dir = PortDirFromEnvironment();
    if (dir.empty())
        return ListSystemPorts("/sys/class/tty", "/dev");

    std::vector<PortInfo> ports;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir, ec)) {
        const std::string name = entry.path().filename().string();
        const int number = PortNumberFromName(name);
        // Only the plain form names a file here.
        if (number == 0 || name != "COM" + std::to_string(number))
            continue;
        PortInfo info;
        info.number = number;
        info.path = entry.path().string();
        std::error_code linkEc;
        const fs::path target = fs::read_symlink(entry.path(), linkEc);
        if (!linkEc)
            info.description = "-> " + target.string();
        ports.push_back(std::move(info));
    }
    std::sort(ports.begin(), ports.end(),
              [](const PortInfo& a, const PortInfo& b) { return a.number < b.number; });
    return ports;
}
