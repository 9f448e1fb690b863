// The station's adapter to the box operations, on its own: each operation's
// returned outcome, the transaction failure read from it, and the abort check
// that holds requests back.

#include "station/engine/box_operations.h"

#include <gtest/gtest.h>

#include "layouts/transfer_packets.h"
#include "link/command_codes.h"
#include "station_fixture.h"

namespace {

using BoxOperationsTest = StationTest;

TEST_F(BoxOperationsTest, OperationsReportTheirOutcomeFromTheFirstCall) {
    // The bytes as the station sends them: pinned when the recipe loads.
    UseRecipe(FullRecipeText());
    const Bytes& package = *m_recipe.firmware->bytes;
    const Bytes& app = *m_recipe.downloads.front().bytes;
    CDeviceLink link;
    CBoxOperations box(link, QuickUpgradeTiming());
    ASSERT_EQ(link.OpenPort(kStationPort), ST_OK);
    ASSERT_TRUE(box.Probe());
    EXPECT_TRUE(box.Download(app, 3));
    EXPECT_TRUE(m_sim.Slot(3).sha1Matches);
    EXPECT_TRUE(box.Jump(3));
    EXPECT_TRUE(box.UpdateFirmware(package));
    std::string version;
    const OpResult read = box.ReadVersion(version);
    EXPECT_TRUE(read);
    EXPECT_EQ(version, kNewVersion);
    EXPECT_FALSE(TransactionFailureOf(read).any);

    const OpResult noSlot = box.Download(app, kLoadSlotCount);  // no such slot
    EXPECT_FALSE(noSlot);
    EXPECT_FALSE(TransactionFailureOf(noSlot).any);  // nothing was sent

    SimOverride refused;
    refused.resultWord = 0x4321;
    m_sim.SetOverride(CMD_GET_SERIAL, refused);
    std::string serial;
    const OpResult refusedRead = box.ReadSerial(serial);
    EXPECT_FALSE(refusedRead);
    const TransactionFailure f = TransactionFailureOf(refusedRead);
    EXPECT_TRUE(f.any);
    EXPECT_EQ(f.status, ST_OK);
    EXPECT_EQ(f.resultWord, 0x4321);
}

TEST_F(BoxOperationsTest, AbortCheckHoldsEveryRequestBack) {
    CDeviceLink link;
    CBoxOperations box(link, QuickUpgradeTiming());
    ASSERT_EQ(link.OpenPort(kStationPort), ST_OK);
    bool abort = true;
    box.SetAbortCheck([&] { return abort; });
    m_sim.ClearRequests();
    const OpResult held = box.UpdateFirmware(m_package);
    EXPECT_FALSE(held);
    EXPECT_TRUE(TransactionFailureOf(held).aborted);
    EXPECT_TRUE(m_sim.Requests().empty());
    abort = false;
    std::string version;
    const OpResult read = box.ReadVersion(version);
    EXPECT_TRUE(read);
    EXPECT_FALSE(TransactionFailureOf(read).any);
}

// The serial is read until two reads in a row agree: a frame of the box's own
// taken for one reply never becomes the unit's serial.
TEST_F(BoxOperationsTest, SerialIsWhatTwoReadsInARowAgreeOn) {
    CDeviceLink link;
    CBoxOperations box(link, QuickUpgradeTiming());
    ASSERT_EQ(link.OpenPort(kStationPort), ST_OK);
    SimOverride own;  // the reply data of the box's own frames: 55 AA and a counter
    own.replyData = std::vector<std::uint8_t>{0x55, 0xAA, 0x07};
    own.times = 1;
    SimOverride none;
    none.times = 0;
    struct Case {
        const char* name;
        const SimOverride& first;
        std::uint64_t reads;
    };
    const Case cases[] = {
        {"quiet line", none, 2},
        {"first reply the box's own frame", own, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_sim.ClearRequests();
        m_sim.SetOverride(CMD_GET_SERIAL, c.first);
        std::string serial;
        EXPECT_TRUE(box.ReadSerial(serial));
        EXPECT_EQ(serial, kBoxSerialHex);
        EXPECT_EQ(m_sim.RequestCount(CMD_GET_SERIAL), c.reads);
    }
}

}  // namespace
