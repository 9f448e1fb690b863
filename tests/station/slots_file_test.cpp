// The slots file and the --slot option: what a group of slots accepts.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "station/config/toml_file.h"
#include "station/engine/station_group.h"
#include "tests/support/temp_dir.h"
#include "tests/support/temp_port_dir.h"
#include "tests/support/test_files.h"
#include "tests/support/test_pty.h"

namespace {

class SlotsFileTest : public ::testing::Test {
protected:
    // Loads `text` as slots.toml; the error (empty when it loaded).
    std::string Load(const std::string& text, std::vector<StationSlot>* slots = nullptr) {
        const std::string path = m_dir.Path() + "/slots.toml";
        WriteTextFile(path, text);
        std::vector<StationSlot> loaded;
        std::string error;
        if (!LoadSlotsFile(path, loaded, error))
            return error.substr(m_dir.Path().size() + 1);
        if (slots != nullptr)
            *slots = loaded;
        return {};
    }

    CTempDir m_dir{"slots"};
};

TEST_F(SlotsFileTest, EveryPortFormLoadsInOrder) {
    std::vector<StationSlot> slots;
    ASSERT_EQ(Load("[[slot]]\nname = \"A\"\nport = \"COM3\"\n"
                   "[[slot]]\nname = \"工位2\"\nport = \"4\"\n"
                   "[[slot]]\nname = \"C\"\nport = \"/dev/serial/by-path/pci-0:1.2:1.0-port0\"\n"
                   "[[slot]]\nname = \"D\"\nport = \"usb:0403:6001:FT12AB\"\n",
                   &slots),
              "");
    ASSERT_EQ(slots.size(), 4u);
    EXPECT_EQ(slots[1].name, "工位2");
    EXPECT_EQ(slots[1].port, "4");
    EXPECT_EQ(slots[3].port, "usb:0403:6001:FT12AB");
}

TEST_F(SlotsFileTest, ErrorsNameTheLineAndTheKey) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"", "slots.toml: slot: give one [[slot]] table per slot"},
        {"name = \"x\"\n", "slots.toml:1: name: unknown key"},
        {"[[slot]]\nname = \"A\"\n", "slots.toml:1: slot[1].port: missing"},
        {"[[slot]]\nname = 3\nport = \"3\"\n", "slots.toml:2: slot[1].name: must be a string"},
        {"[[slot]]\nname = \"A\"\nport = \"3\"\ncolor = 1\n",
         "slots.toml:4: slot[1].color: unknown key"},
        {"[[slot]]\nname = \"A B\"\nport = \"3\"\n", "slots.toml:2: slot[1].name: must hold no"},
        {"[[slot]]\nname = \"\"\nport = \"3\"\n", "slots.toml:2: slot[1].name: must not be empty"},
        {"[[slot]]\nname = \"A\\u202E1\"\nport = \"3\"\n",
         "slots.toml:2: slot[1].name: must hold no invisible or direction-changing character "
         "(U+202E)"},
        {"[[slot]]\nname = \"A\"\nport = \"ttyUSB0\"\n", "slots.toml:3: slot[1].port: bad port"},
        {"[[slot]]\nname = \"A\"\nport = \"COM0\"\n", "slots.toml:3: slot[1].port: bad port"},
        {"[[slot]]\nname = \"A\"\nport = \"usb:403:6001\"\n",
         "slots.toml:3: slot[1].port: bad port"},
        {"[[slot]]\nname = \"A\"\nport = \"3\"\n[[slot]]\nname = \"A\"\nport = \"4\"\n",
         "slots.toml:5: slot[2].name: slot name 'A' given twice"},
        {"[[slot]]\nname = \"A\"\nport = \"3\"\n[[slot]]\nname = \"B\"\nport = \"com3\"\n",
         "slots.toml:6: slot[2].port: port 'com3' is already slot 'A''s port"},
        {"[[slot]]\nname = \"A\"\nport = \"usb:0403:6001\"\n[[slot]]\nname = \"B\"\n"
         "port = \"usb:0403:6001\"\n",
         "slots.toml:6: slot[2].port: port 'usb:0403:6001' is already"},
        {"[[slot]]\nname = \"A\"\nport = \"3\"\n[[slot]\n", "slots.toml:4: "},
        // Only a lone slot may leave its port empty, wherever the others stand.
        {"[[slot]]\nname = \"A\"\nport = \"\"\n[[slot]]\nname = \"B\"\nport = \"4\"\n",
         "slots.toml:3: slot[1].port: bad port"},
    };
    for (const auto& c : cases) {
        const std::string error = Load(c.text);
        EXPECT_TRUE(error.starts_with(c.error)) << c.text << "\n-> " << error;
    }
    std::vector<StationSlot> slots;
    std::string error;
    EXPECT_FALSE(LoadSlotsFile(m_dir.Path() + "/none.toml", slots, error));
    EXPECT_NE(error.find("none.toml: cannot read the file"), std::string::npos) << error;
}

// A slots file is read as a recipe is: a folder, a FIFO or an endless device
// named as one is refused with the reason, never thrown, waited on or read
// without end.
TEST_F(SlotsFileTest, OnlyARegularFileOfBoundedSizeIsRead) {
    const std::string fifo = m_dir.Path() + "/fifo.toml";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        std::string path;
        const char* reason;
    } cases[] = {
        {m_dir.Path(), "not a regular file"},
        {fifo, "not a regular file"},
        {"/dev/zero", "not a regular file"},
        {m_dir.Path() + "/missing.toml", "No such file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        std::vector<StationSlot> slots;
        std::string error;
        EXPECT_FALSE(LoadSlotsFile(c.path, slots, error));
        EXPECT_NE(error.find(c.path + ": cannot read the file: "), std::string::npos) << error;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
    const std::string big = m_dir.Path() + "/big.toml";
    WriteTextFile(big, std::string(kMaxStationTomlBytes + 1, '#'));
    std::vector<StationSlot> slots;
    std::string error;
    EXPECT_FALSE(LoadSlotsFile(big, slots, error));
    EXPECT_NE(error.find("cannot read the file"), std::string::npos) << error;
}

// Two names of one device are one port, however they are written; names of
// no device now (an adapter not plugged in) are told apart by their text.
TEST(SlotOptionTest, TwoNamesOfOneDeviceAreOnePort) {
    CTempPortDir ports;
    CTestPty com3;
    CTestPty loose;
    ASSERT_TRUE(com3.LinkAs(ports.PortPath(3)));
    ASSERT_TRUE(loose.LinkAs(ports.PortPath(4)));
    const struct {
        std::string a;
        std::string b;
        bool together;
    } cases[] = {
        {"COM3", ports.PortPath(3), false},
        {"3", com3.SlavePath(), false},
        {ports.PortPath(3), com3.SlavePath(), false},
        {"COM3", "COM4", true},
        {"COM3", loose.SlavePath(), true},
        {"COM8", ports.PortPath(9), true},
        {"usb:0403:6001:X", "/dev/serial/by-id/usb-Nobody-if00-port0", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.a + " " + c.b);
        std::string error;
        EXPECT_EQ(CheckSlots({{"A", c.a}, {"B", c.b}}, error), c.together) << error;
        if (!c.together) {
            EXPECT_NE(error.find("slot 2 (B): port: port '" + c.b + "' is /dev/"),
                      std::string::npos)
                << error;
        }
    }
}

TEST(SlotOptionTest, NameEqualsPort) {
    StationSlot slot;
    std::string error;
    ASSERT_TRUE(ParseSlotOption("A=/dev/ttyUSB0", slot, error));
    EXPECT_EQ(slot.name, "A");
    EXPECT_EQ(slot.port, "/dev/ttyUSB0");
    for (const char* bad : {"A", "=3", "A=", ""})
        EXPECT_FALSE(ParseSlotOption(bad, slot, error)) << bad;
    // The same port in two spellings is one port.
    EXPECT_FALSE(CheckSlots({{"A", "3"}, {"B", "\\\\.\\COM3"}}, error));
    EXPECT_NE(error.find("slot 2 (B): port"), std::string::npos) << error;
    EXPECT_FALSE(CheckSlots({}, error));
    EXPECT_TRUE(CheckSlots({{"A", "usb:0403:6001:X"}, {"B", "usb:0403:6001:Y"}}, error));
}

}  // namespace
