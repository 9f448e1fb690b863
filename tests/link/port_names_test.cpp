// Port names: the two COM forms, the port folder, and the system's ordering
// read from a made-up sysfs tree.
#include "link/port_names.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/link/link_test_support.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

struct NameCase {
    const char* name;
    int number;
};

TEST(PortNames, NumberFromName) {
    const NameCase cases[] = {
        {"COM1", 1},
        {"COM12", 12},
        {"\\\\.\\COM12", 12},
        {"\\\\.\\COM3", 3},
        {"com7", 7},
        {"COM", 0},
        {"COMx", 0},
        {"COM1a", 0},
        {"/dev/ttyUSB0", 0},
        {"\\\\.\\", 0},
        {"XCOM1", 0},
        {"\\\\?\\COM4", 0},
        {"", 0},
        {"COM99999", 0},
    };
    for (const NameCase& c : cases) {
        EXPECT_EQ(PortNumberFromName(c.name), c.number) << c.name;
    }
}

TEST(PortNames, PortFolderIsReadAtEveryResolve) {
    CTempPortDir dir;
    EXPECT_EQ(ResolvePortName("COM3"), dir.Path() + "/COM3");
    EXPECT_EQ(ResolvePortName("\\\\.\\COM12"), dir.Path() + "/COM12");
    EXPECT_EQ(ResolvePortName("/dev/ttyS9"), "/dev/ttyS9");
    {
        CTempPortDir other;
        EXPECT_EQ(ResolvePortName("COM3"), other.Path() + "/COM3");
    }
}

TEST(PortNames, ListPortsInFolderByNumber) {
    CTempPortDir dir;
    CTestPty a;
    CTestPty b;
    ASSERT_TRUE(a.LinkAs(dir.PortPath(12)));
    ASSERT_TRUE(b.LinkAs(dir.PortPath(3)));
    std::ofstream(dir.Path() + "/notes.txt") << "x";
    std::ofstream(dir.Path() + "/COM04") << "x";  // not a name the scan forms

    const std::vector<PortInfo> ports = ListPorts();
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0].number, 3);
    EXPECT_EQ(ports[0].path, dir.PortPath(3));
    EXPECT_NE(ports[0].description.find(b.SlavePath()), std::string::npos);
    EXPECT_EQ(ports[1].number, 12);
}

// A sysfs tty folder with devices of each kind.
class FakeSysfs {
public:
    FakeSysfs() : m_dir("sysfs"), m_root(m_dir.Path()) {
        fs::create_directories(m_root / "class/tty");
    }
    // A tty with a device folder at `devicePath` (relative to the root); an
    // empty path gives a tty without a device, like a virtual console.
    void AddTty(const std::string& name, const std::string& devicePath,
                const std::string& uartType = "") {
        const fs::path tty = m_root / "class/tty" / name;
        fs::create_directories(tty);
        if (!devicePath.empty()) {
            fs::create_directories(m_root / devicePath);
            fs::create_directory_symlink(m_root / devicePath, tty / "device");
        }
        if (!uartType.empty())
            std::ofstream(tty / "type") << uartType << "\n";
    }
    void AddUsbDevice(const std::string& path, const std::string& maker,
                      const std::string& product) {
        fs::create_directories(m_root / path);
        std::ofstream(m_root / path / "idVendor") << "0403\n";
        std::ofstream(m_root / path / "manufacturer") << maker << "\n";
        std::ofstream(m_root / path / "product") << product << "\n";
    }
    std::string TtyClass() const { return (m_root / "class/tty").string(); }

private:
    CTempDir m_dir;
    fs::path m_root;
};

TEST(PortNames, SystemPortsUsbFirstInNaturalOrder) {
    FakeSysfs sys;
    sys.AddUsbDevice("devices/usb1/1-1", "FTDI", "FT232R USB UART");
    sys.AddUsbDevice("devices/usb1/1-2", "Acme", "CDC Serial");
    sys.AddTty("ttyUSB10", "devices/usb1/1-1/1-1:1.0/ttyUSB10");
    sys.AddTty("ttyUSB2", "devices/usb1/1-1/1-1:1.0/ttyUSB2");
    sys.AddTty("ttyACM0", "devices/usb1/1-2/1-2:1.0");
    sys.AddTty("ttyS10", "devices/platform/serial8250/s10", "4");
    sys.AddTty("ttyS1", "devices/platform/serial8250/s1", "0");  // no UART behind it
    sys.AddTty("ttyS0", "devices/pnp0/00:05", "4");
    sys.AddTty("ttyAMA0", "devices/platform/uart0");
    sys.AddTty("tty0", "");
    sys.AddTty("console", "");

    const std::vector<PortInfo> ports = ListSystemPorts(sys.TtyClass(), "/dev");
    const std::vector<std::string> expected = {"/dev/ttyACM0", "/dev/ttyUSB2", "/dev/ttyUSB10",
                                               "/dev/ttyAMA0", "/dev/ttyS0",   "/dev/ttyS10"};
    ASSERT_EQ(ports.size(), expected.size());
    for (std::size_t i = 0; i < ports.size(); ++i) {
        EXPECT_EQ(ports[i].number, static_cast<int>(i) + 1);
        EXPECT_EQ(ports[i].path, expected[i]);
    }
    EXPECT_EQ(ports[0].description, "Acme CDC Serial");
    EXPECT_EQ(ports[1].description, "FTDI FT232R USB UART");
    EXPECT_EQ(ports[3].description, "");
}

}  // namespace
