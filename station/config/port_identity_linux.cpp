#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "link/port_names.h"
#include "station/config/port_identity.h"

namespace {

namespace fs = std::filesystem;

constexpr char kByPathDir[] = "/dev/serial/by-path";
constexpr char kSysClassTty[] = "/sys/class/tty";
// A tty's sysfs device lies a few levels below its USB device, which holds
// the serial number; this bounds the walk up.
constexpr int kMaxSysfsLevels = 6;

std::string ByPathName(const fs::path& device) {
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(kByPathDir, ec)) {
        if (fs::equivalent(entry.path(), device, ec))
            return entry.path().string();
    }
    return {};
}

std::string AdapterSerial(const fs::path& device) {
    std::error_code ec;
    fs::path dir = fs::canonical(fs::path(kSysClassTty) / device.filename() / "device", ec);
    for (int level = 0; !ec && level < kMaxSysfsLevels && dir.has_parent_path();
         ++level, dir = dir.parent_path()) {
        std::ifstream in(dir / "serial");
        std::string serial;
        if (in && std::getline(in, serial) && !serial.empty())
            return serial;
    }
    return {};
}

}  // namespace

PortIdentity DescribePort(int number) {
    return DescribePortPath(ResolvePortName("COM" + std::to_string(number)));
}

PortIdentity DescribePortPath(const std::string& path) {
    PortIdentity id;
    if (path.empty())
        return id;
    std::error_code ec;
    const fs::path device = fs::canonical(path, ec);
    id.device = ec ? path : device.string();
    if (!ec) {
        id.byPath = ByPathName(device);
        id.adapterSerial = AdapterSerial(device);
    }
    return id;
}
