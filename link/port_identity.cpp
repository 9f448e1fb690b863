#include "link/port_identity.h"

#include <filesystem>
#include <system_error>

#include "link/port_names.h"

namespace fs = std::filesystem;

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
    if (ec)
        return id;
    for (const PortInfo& port : ListPorts().ports) {
        std::error_code portEc;
        if (!fs::equivalent(port.path, device, portEc))
            continue;
        if (!port.byPath.empty())
            id.byPath = port.byPath.front();
        id.adapterSerial = port.serial;
        break;
    }
    return id;
}
