// Port names: the two COM forms, the port folder and what in it is no port,
// and the system's ordering of the ttys it reports.
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

    const PortList list = ListPorts();
    EXPECT_EQ(list.error, "");
    const std::vector<PortInfo>& ports = list.ports;
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0].number, 3);
    EXPECT_EQ(ports[0].path, dir.PortPath(3));
    EXPECT_NE(ports[0].description.find(b.SlavePath()), std::string::npos);
    EXPECT_EQ(ports[0].device, b.SlavePath());
    EXPECT_EQ(ports[1].number, 12);
}

TEST(PortNames, FolderEntriesThatAreNoPorts) {
    CTempPortDir dir;
    CTestPty pty;
    ASSERT_TRUE(pty.LinkAs(dir.PortPath(1)));
    ASSERT_EQ(symlink("/dev/null", dir.PortPath(2).c_str()), 0);
    std::ofstream(dir.PortPath(3)) << "x";
    fs::create_directory(dir.PortPath(4));
    ASSERT_EQ(symlink((dir.Path() + "/nowhere").c_str(), dir.PortPath(5).c_str()), 0);

    const PortList list = ListPorts();
    ASSERT_EQ(list.ports.size(), 1u);
    EXPECT_EQ(list.ports[0].number, 1);
    const std::vector<std::pair<int, std::string>> expected = {
        {2, "not a tty (character device 1:3)"},
        {3, "not a character device (a file)"},
        {4, "not a character device (a folder)"},
        {5, "dangling link"},
    };
    ASSERT_EQ(list.skipped.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(list.skipped[i].path, dir.PortPath(expected[i].first));
        EXPECT_EQ(list.skipped[i].reason, expected[i].second);
    }
}

TEST(PortNames, MissingFolderIsAnError) {
    setenv(kPortDirVariable, "/nonexistent/vornak-ports", 1);
    const PortList list = ListPorts();
    unsetenv(kPortDirVariable);
    EXPECT_TRUE(list.ports.empty());
    EXPECT_NE(list.error.find("/nonexistent/vornak-ports"), std::string::npos);
}

TEST(PortNames, SystemPortsUsbFirstInNaturalOrder) {
    const auto tty = [](const std::string& name, bool hasDevice, const std::string& uartType = "",
                        const std::string& description = "") {
        return SystemTty{name, "/dev/" + name, hasDevice, uartType, description};
    };
    const std::vector<PortInfo> ports = OrderSystemPorts({
        tty("ttyUSB10", true, "", "FTDI FT232R USB UART"),
        tty("ttyUSB2", true, "", "FTDI FT232R USB UART"),
        tty("ttyACM0", true, "", "Acme CDC Serial"),
        tty("ttyS10", true, "4"),
        tty("ttyS1", true, "0"),  // no UART behind it
        tty("ttyS0", true, "4"),
        tty("ttyAMA0", true),
        tty("tty0", false),
        tty("console", false),
    });
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
