// The system's ports through libudev: enumeration of the tty subsystem and the
// properties of the USB device above a tty.
#include <libudev.h>
#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <system_error>

#include "link/system_ports.h"

namespace fs = std::filesystem;

namespace {

constexpr char kSerialCorePortDriver[] = "port";

struct UdevDeleter {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
};
template <typename T>
using UdevPtr = std::unique_ptr<T, UdevDeleter>;

std::string Text(const char* value) {
    return value != nullptr ? std::string(value) : std::string();
}

std::vector<std::string> LinksTo(const char* dir, const fs::path& device) {
    std::vector<std::string> links;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir, ec)) {
        std::error_code linkEc;
        if (fs::canonical(entry.path(), linkEc) == device && !linkEc)
            links.push_back(entry.path().string());
    }
    return links;
}

// "maker product" of a USB device, either part left out when missing.
std::string Describe(const std::string& maker, const std::string& product) {
    if (maker.empty() || product.empty())
        return maker + product;
    return maker + " " + product;
}

}  // namespace

std::vector<SystemTty> SystemTtys() {
    std::vector<SystemTty> ttys;
    UdevPtr<udev> u(udev_new());
    if (!u)
        return ttys;
    UdevPtr<udev_enumerate> e(udev_enumerate_new(u.get()));
    udev_enumerate_add_match_subsystem(e.get(), "tty");
    udev_enumerate_scan_devices(e.get());
    udev_list_entry* entry;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(e.get())) {
        UdevPtr<udev_device> dev(
            udev_device_new_from_syspath(u.get(), udev_list_entry_get_name(entry)));
        if (!dev || udev_device_get_devnode(dev.get()) == nullptr)
            continue;
        SystemTty tty;
        tty.name = Text(udev_device_get_sysname(dev.get()));
        tty.devnode = udev_device_get_devnode(dev.get());
        std::error_code ec;
        // Virtual consoles and pseudo-terminals have no device behind them.
        tty.hasDevice = fs::exists(fs::path(udev_device_get_syspath(dev.get())) / "device", ec);
        tty.uartType = Text(udev_device_get_sysattr_value(dev.get(), "type"));
        if (udev_device* usb =
                udev_device_get_parent_with_subsystem_devtype(dev.get(), "usb", "usb_device")) {
            tty.description = Describe(Text(udev_device_get_sysattr_value(usb, "manufacturer")),
                                       Text(udev_device_get_sysattr_value(usb, "product")));
        }
        ttys.push_back(std::move(tty));
    }
    return ttys;
}

void FillPortDetails(PortInfo& port, const std::string& sysfsRoot) {
    std::error_code ec;
    const fs::path device = fs::canonical(port.path, ec);
    if (ec)
        return;
    port.device = device.string();
    port.byId = LinksTo(kSerialByIdDir, device);
    port.byPath = LinksTo(kSerialByPathDir, device);
    if (const std::optional<LatencyTimer> timer = ReadLatencyTimer(sysfsRoot, port.path))
        port.latencyTimerMs = timer->ms;

    struct stat st {};
    UdevPtr<udev> u(udev_new());
    if (!u || stat(device.c_str(), &st) != 0 || !S_ISCHR(st.st_mode))
        return;
    UdevPtr<udev_device> dev(udev_device_new_from_devnum(u.get(), 'c', st.st_rdev));
    if (!dev)
        return;  // pseudo-terminals have no device entry
    // The serial core's own port device ("port") names no hardware driver.
    for (udev_device* d = udev_device_get_parent(dev.get()); d != nullptr && port.driver.empty();
         d = udev_device_get_parent(d)) {
        const std::string driver = Text(udev_device_get_driver(d));
        if (driver != kSerialCorePortDriver)
            port.driver = driver;
    }
    udev_device* usb =
        udev_device_get_parent_with_subsystem_devtype(dev.get(), "usb", "usb_device");
    if (usb == nullptr)
        return;
    const std::string vid = Text(udev_device_get_sysattr_value(usb, "idVendor"));
    const std::string pid = Text(udev_device_get_sysattr_value(usb, "idProduct"));
    if (!vid.empty())
        port.vidPid = vid + ":" + pid;
    port.serial = Text(udev_device_get_sysattr_value(usb, "serial"));
    port.maker = Text(udev_device_get_sysattr_value(usb, "manufacturer"));
    port.product = Text(udev_device_get_sysattr_value(usb, "product"));
}
