// Whole-record settings reads and writes over a pseudo-terminal to the box
// simulator: every block's outcome is reported, the third included.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "boxsim/box_simulator.h"
#include "dialog/dialog_model.h"
#include "dialog/model_host.h"
#include "link/command_codes.h"
#include "link/device_link.h"
#include "link/status_words.h"
#include "ops/settings_ops.h"
#include "settings_vectors.h"
#include "tests/support/box_workspace.h"

namespace {

constexpr int kBoxPort = 2;
constexpr std::uint16_t kRefusal = 0x1234;

class SettingsTransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_sim.Start(m_workspace.PortDir(), kBoxPort));
        std::uint8_t com = 0;
        ASSERT_EQ(m_link.ScanPorts(&com), ST_OK);
        m_sim.ClearRequests();
    }
    void TearDown() override {
        m_link.Disconnect();
        m_sim.Stop();
    }

    std::vector<std::uint16_t> Commands() const {
        std::vector<std::uint16_t> out;
        for (const SimRequest& r : m_sim.Requests())
            out.push_back(r.command);
        return out;
    }

    CBoxWorkspace m_workspace{"settings-transfer"};
    CBoxSimulator m_sim;
    CDeviceLink m_link;
    CModelHost m_host{std::make_shared<CDialogModel>(), &m_link};
};

TEST_F(SettingsTransferTest, WrittenRecordReadsBackEqual) {
    for (const DeviceSettings& s : {AllOffFirstEntry(), AllOnLastEntry()}) {
        ASSERT_TRUE(WriteDeviceSettings(m_host, s).ok);
        DeviceSettings read;
        ASSERT_TRUE(ReadDeviceSettings(m_host, read).ok);
        EXPECT_EQ(read, s);
    }
}

TEST_F(SettingsTransferTest, FailingBlockIsNamedAndTheRestIsNotSent) {
    SimOverride refused;
    refused.resultWord = kRefusal;
    refused.times = 1;
    // A successful reply shorter than the block, as a frame the box sends on
    // its own (55 AA and a counter) taken for the reply would be.
    SimOverride shortReply;
    shortReply.replyData = std::vector<std::uint8_t>{0x55, 0xAA, 0x07};
    shortReply.times = 1;
    SimOverride blockLessOne = shortReply;
    blockLessOne.replyData = std::vector<std::uint8_t>(3 + 20 - 1, 0x00);
    struct Case {
        const char* name;
        bool write;
        std::uint16_t command;
        const SimOverride& reply;
        std::uint16_t code;
        int block;
        std::vector<std::uint16_t> sent;
    };
    const Case cases[] = {
        {"third read",
         false,
         CMD_CONFIG_READ_3,
         refused,
         kRefusal,
         3,
         {CMD_CONFIG_READ_1, CMD_CONFIG_READ_2, CMD_CONFIG_READ_3}},
        {"short first read",
         false,
         CMD_CONFIG_READ_1,
         shortReply,
         ST_SHORT_REPLY,
         1,
         {CMD_CONFIG_READ_1}},
        {"second read a byte short",
         false,
         CMD_CONFIG_READ_2,
         blockLessOne,
         ST_SHORT_REPLY,
         2,
         {CMD_CONFIG_READ_1, CMD_CONFIG_READ_2}},
        {"second write",
         true,
         CMD_CONFIG_WRITE_2,
         refused,
         kRefusal,
         2,
         {CMD_CONFIG_WRITE_1, CMD_CONFIG_WRITE_2}},
        {"third write",
         true,
         CMD_CONFIG_WRITE_3,
         refused,
         kRefusal,
         3,
         {CMD_CONFIG_WRITE_1, CMD_CONFIG_WRITE_2, CMD_CONFIG_WRITE_3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_sim.ClearRequests();
        m_sim.SetOverride(c.command, c.reply);
        DeviceSettings settings = AllOnLastEntry();
        const OpResult r =
            c.write ? WriteDeviceSettings(m_host, settings) : ReadDeviceSettings(m_host, settings);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.failedBlock, c.block);
        EXPECT_EQ(r.failureCode, c.code);
        EXPECT_EQ(Commands(), c.sent);
        EXPECT_EQ(settings, AllOnLastEntry());  // a failed read changes nothing
    }
}

TEST_F(SettingsTransferTest, RecordWithoutASelectionIsNotSent) {
    DeviceSettings s = AllOffFirstEntry();
    s.crankTime.reset();
    const OpResult r = WriteDeviceSettings(m_host, s);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failedBlock, 0);
    EXPECT_TRUE(m_sim.Requests().empty());
}

}  // namespace
