// Port choice: what --port and --usb texts mean, which adapter a USB identity
// picks among made-up port records, where a path or a stable name leads.
#include "link/port_choice.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/link/link_test_support.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using Kind = PortChoice::Kind;

TEST(PortChoice, PortArgument) {
    struct Case {
        const char* text;
        bool ok;
        Kind kind;
        int number;
        const char* path;
    };
    const Case cases[] = {
        {"3", true, Kind::Number, 3, ""},
        {"255", true, Kind::Number, 255, ""},
        {"COM12", true, Kind::Number, 12, ""},
        {"com7", true, Kind::Number, 7, ""},
        {"\\\\.\\COM4", true, Kind::Number, 4, ""},
        {"0", false, Kind::AnyPort, 0, ""},
        {"256", false, Kind::AnyPort, 0, ""},
        {"COM0", false, Kind::AnyPort, 0, ""},
        {"99999999999", false, Kind::AnyPort, 0, ""},
        {"", false, Kind::AnyPort, 0, ""},
        {"/dev/ttyUSB0", true, Kind::Path, 0, "/dev/ttyUSB0"},
        {"./ports/COM3", true, Kind::Path, 0, "./ports/COM3"},
        {"/dev/serial/by-id/usb-FTDI_X-if00-port0", true, Kind::Path, 0,
         "/dev/serial/by-id/usb-FTDI_X-if00-port0"},
        {"usb-FTDI_X-if00-port0", true, Kind::Path, 0, "usb-FTDI_X-if00-port0"},
        {"COM3x", true, Kind::Path, 0, "COM3x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        PortChoice choice;
        std::string error;
        ASSERT_EQ(ParsePortArgument(c.text, choice, error), c.ok) << error;
        if (!c.ok) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        EXPECT_EQ(choice.kind, c.kind);
        EXPECT_EQ(choice.number, c.number);
        EXPECT_EQ(choice.path, c.path);
    }
}

// A port text as slots and stations name ports, and the one spelling that
// tells two texts for one port apart.
TEST(PortChoice, PortTextAndKey) {
    struct Case {
        const char* text;
        const char* key;  // nullptr: refused
    };
    const Case cases[] = {
        {"7", "COM7"},
        {"com7", "COM7"},
        {"\\\\.\\COM7", "COM7"},
        {"usb:0403:60AB", "usb:0403:60ab"},
        {"usb:0403:60AB:Ser", "usb:0403:60ab:Ser"},
        {"/dev/serial/by-path/x", "/dev/serial/by-path/x"},
        {"usb-FTDI_X-if00-port0", "usb-FTDI_X-if00-port0"},
        {"", nullptr},
        {"COM", nullptr},
        {"COM3x", nullptr},
        {"256", nullptr},
        {"usb:0403", nullptr},
        {"usb:0403:6001:", nullptr},
        {"usb:04031:6001", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        PortChoice choice;
        std::string error;
        ASSERT_EQ(ParsePortText(c.text, choice, error), c.key != nullptr) << error;
        if (c.key == nullptr) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        EXPECT_EQ(PortChoiceKey(choice), c.key);
        EXPECT_EQ(PortTextKey(c.text), c.key);
    }
}

TEST(PortChoice, UsbIdentity) {
    struct Case {
        const char* text;
        bool ok;
        const char* shown;  // UsbIdentityText of the result
    };
    const Case cases[] = {
        {"0403:6001", true, "0403:6001"},
        {"0403:6001:A50285BI", true, "0403:6001:A50285BI"},
        {"1A86:7523", true, "1a86:7523"},
        {"0403:6001:serial:with:colons", true, "0403:6001:serial:with:colons"},
        {"403:6001", false, ""},
        {"0403:60011", false, ""},
        {"0403", false, ""},
        {"04g3:6001", false, ""},
        {"0403:6001:", false, ""},
        {":6001", false, ""},
        {"", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        UsbIdentity usb;
        std::string error;
        ASSERT_EQ(ParseUsbIdentity(c.text, usb, error), c.ok);
        if (c.ok)
            EXPECT_EQ(UsbIdentityText(usb), c.shown);
        else
            EXPECT_NE(error.find("VID:PID"), std::string::npos) << error;
    }
}

PortInfo Adapter(int number, const char* path, const char* vidPid, const char* serial) {
    PortInfo port;
    port.number = number;
    port.path = path;
    port.vidPid = vidPid;
    port.serial = serial;
    return port;
}

TEST(PortChoice, UsbIdentityPicksOneAdapter) {
    // As udev reports them: two FTDI adapters, a CH340 without a serial
    // number, a legacy port with no USB identity.
    const std::vector<PortInfo> ports = {
        Adapter(1, "/dev/ttyUSB0", "0403:6001", "A50285BI"),
        Adapter(2, "/dev/ttyUSB1", "0403:6001", "FT9Z1Q2X"),
        Adapter(3, "/dev/ttyUSB2", "1a86:7523", ""),
        Adapter(4, "/dev/ttyS0", "", ""),
    };
    struct Case {
        const char* identity;
        const char* path;  // empty: none picked
        int number;
        bool ambiguous;
        const char* problemHolds;
    };
    const Case cases[] = {
        {"0403:6001:FT9Z1Q2X", "/dev/ttyUSB1", 2, false, ""},
        {"1A86:7523", "/dev/ttyUSB2", 3, false, ""},
        {"0403:6001", "", 0, true,
         "COM1 (/dev/ttyUSB0, serial A50285BI) COM2 (/dev/ttyUSB1, serial FT9Z1Q2X)"},
        {"0403:6001:a50285bi", "", 0, false, "no USB adapter 0403:6001:a50285bi"},
        {"10c4:ea60", "", 0, false, "no USB adapter 10c4:ea60"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.identity);
        PortChoice choice;
        choice.kind = Kind::Usb;
        std::string error;
        ASSERT_TRUE(ParseUsbIdentity(c.identity, choice.usb, error));
        const PortPick pick = PickPortAmong(choice, ports);
        EXPECT_EQ(pick.path, c.path);
        EXPECT_EQ(pick.number, c.number);
        EXPECT_EQ(pick.ambiguous, c.ambiguous);
        EXPECT_NE(pick.problem.find(c.problemHolds), std::string::npos) << pick.problem;
    }
}

TEST(PortChoice, PathsAndStableNamesLeadToTheirPort) {
    CTempPortDir portDir;
    CTempDir stable("stable");
    CTestPty numbered;
    CTestPty loose;
    ASSERT_TRUE(numbered.LinkAs(portDir.PortPath(3)));
    // Stable names as udev makes them: links to the device, in two folders.
    const std::string byId = stable / "by-id";
    const std::string byPath = stable / "by-path";
    fs::create_directories(byId);
    fs::create_directories(byPath);
    fs::create_symlink(numbered.SlavePath(), byId + "/usb-Maker_Cable_0001-if00-port0");
    fs::create_symlink(loose.SlavePath(), byPath + "/pci-0000:00:14.0-usb-0:2:1.0-port0");
    const std::vector<PortInfo> ports = ListPorts().ports;
    ASSERT_EQ(ports.size(), 1u);

    struct Case {
        const char* what;
        std::string text;
        std::string path;  // where the pick leads
        int number;        // 0: a device the list does not number
    };
    const Case cases[] = {
        {"the folder's link", portDir.PortPath(3), portDir.PortPath(3), 3},
        {"the device itself", numbered.SlavePath(), numbered.SlavePath(), 3},
        {"a bare by-id name", "usb-Maker_Cable_0001-if00-port0",
         byId + "/usb-Maker_Cable_0001-if00-port0", 3},
        {"a bare by-path name", "pci-0000:00:14.0-usb-0:2:1.0-port0",
         byPath + "/pci-0000:00:14.0-usb-0:2:1.0-port0", 0},
        {"a device outside the list", loose.SlavePath(), loose.SlavePath(), 0},
        {"a bare name nowhere", "usb-Gone-if00-port0", byId + "/usb-Gone-if00-port0", 0},
        {"a path to nothing", "/nonexistent/tty", "/nonexistent/tty", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PortChoice choice;
        std::string error;
        ASSERT_TRUE(ParsePortArgument(c.text, choice, error)) << error;
        const PortPick pick = PickPortAmong(choice, ports, {byId, byPath});
        EXPECT_EQ(pick.path, c.path);
        EXPECT_EQ(pick.number, c.number);
        EXPECT_FALSE(pick.ambiguous);
    }
}

}  // namespace
