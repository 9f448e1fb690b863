// What a transfer's result says when it stops part-way: the failing step, the
// link's word, the box's word, the bytes the box took, and that nothing was
// sent after the stop.

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>

#include "boxsim/box_simulator.h"
#include "link/command_codes.h"
#include "link/device_link.h"
#include "ops/download_ops.h"
#include "ops/firmware_ops.h"
#include "tests/support/quick_upgrade_timing.h"
#include "tests/support/temp_port_dir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kBoxPort = 5;
constexpr std::uint16_t kRefusal = 0x0102;
// Data packets of a 1 KiB transfer: four of 256 bytes.
constexpr std::size_t kDataSize = 1024;

class OpResultTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_sim.Start(m_dir.Path(), kBoxPort));
        m_sim.SetRestartTime(std::chrono::milliseconds(30));
        ASSERT_EQ(m_link.OpenPort(kBoxPort), ST_OK);
    }
    void TearDown() override {
        m_sim.SetRequestHook({});
        m_link.Disconnect();
        m_sim.Stop();
    }

    // From the `nth` request of `command` on (1-based), the box answers once
    // with `reply`.
    void OverrideNth(std::uint16_t command, int nth, const SimOverride& reply) {
        m_sim.ClearRequests();
        // The simulator calls a copy of the hook: the count lives outside it.
        auto seen = std::make_shared<std::atomic<int>>(0);
        m_sim.SetRequestHook([this, command, nth, reply, seen](const SimRequest& r) {
            if (r.command == command && ++*seen == nth - 1)
                m_sim.SetOverride(command, reply);
        });
    }

    CTempPortDir m_dir{"ops-results"};
    CBoxSimulator m_sim;
    CDeviceLink m_link;
};

TEST_F(OpResultTest, RefusedPacketStopsTheTransferAndSaysWhere) {
    SimOverride refused;
    refused.resultWord = kRefusal;
    refused.times = 1;
    const Bytes package = MakeSamplePackage("VBX-100 V3.0.0", kDataSize);
    const Bytes file(kDataSize, 0x5A);
    struct Case {
        const char* name;
        std::uint16_t command;
        std::function<OpResult(ITransactor&)> run;
        bool ok;
        OpStep step;
        std::uint64_t bytesDone;
        std::vector<std::uint16_t> resultWords;
        std::uint16_t lastCommand;  // the last request the box got
    };
    const Case cases[] = {
        {"update: third data packet refused",
         CMD_UPGRADE_DATA,
         [&](ITransactor& link) {
             return UpdateFirmwareImage(link, package, QuickUpgradeTiming());
         },
         false,
         OpStep::UpgradeData,
         512,
         {},
         CMD_UPGRADE_DATA},
        {"download with the success word required",
         CMD_FILE_DATA,
         [&](ITransactor& link) { return DownloadImage(link, file, 2, {}, {true}); },
         false,
         OpStep::FileData,
         256,
         {RESULT_OK, RESULT_OK, kRefusal},
         CMD_FILE_DATA},
        {"download judged on the link only",
         CMD_FILE_DATA,
         [&](ITransactor& link) { return DownloadImage(link, file, 2); },
         true,
         OpStep::None,
         kDataSize,
         {RESULT_OK, RESULT_OK, kRefusal, RESULT_OK, RESULT_OK},
         CMD_FILE_DATA},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OverrideNth(c.command, 3, refused);
        const OpResult r = c.run(m_link);
        EXPECT_EQ(r.ok, c.ok);
        EXPECT_EQ(r.failedStep, c.step);
        EXPECT_EQ(r.bytesDone, c.bytesDone);
        EXPECT_EQ(r.bytesTotal, kDataSize);
        EXPECT_EQ(r.resultWords, c.resultWords);
        EXPECT_FALSE(r.aborted);
        if (!c.ok) {
            EXPECT_EQ(r.status, ST_OK);
            EXPECT_EQ(r.resultWord, kRefusal);
            EXPECT_EQ(r.failureCode, kRefusal);
        }
        const std::vector<SimRequest> sent = m_sim.Requests();
        ASSERT_FALSE(sent.empty());
        EXPECT_EQ(sent.back().command, c.lastCommand);
        m_sim.SetRequestHook({});
    }
}

TEST_F(OpResultTest, AbortMidTransferSendsNothingMoreAndCountsWhatWentThrough) {
    const Bytes package = MakeSamplePackage("VBX-100 V3.0.0", kDataSize);
    const Bytes file(kDataSize, 0x33);
    struct Case {
        const char* name;
        std::function<OpResult(ITransactor&, const OpHooks&)> run;
        OpStep step;
        std::uint16_t dataCommand;
        std::uint64_t packets;  // of dataCommand, the download's information block included
    };
    const Case cases[] = {
        {"update",
         [&](ITransactor& link, const OpHooks& hooks) {
             return UpdateFirmwareImage(link, package, QuickUpgradeTiming(), hooks);
         },
         OpStep::UpgradeData, CMD_UPGRADE_DATA, 2},
        {"download",
         [&](ITransactor& link, const OpHooks& hooks) {
             return DownloadImage(link, file, 0, hooks);
         },
         OpStep::FileData, CMD_FILE_DATA, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_sim.ClearRequests();
        // The operator stops once the box has taken two packets of data.
        bool stop = false;
        OpHooks hooks;
        hooks.progress = [&](const OpEvent& e) {
            if (e.kind == OpEvent::Kind::Sent && e.done == 512)
                stop = true;
        };
        hooks.abort = [&] { return stop; };
        const OpResult r = c.run(m_link, hooks);
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.aborted);
        EXPECT_TRUE(r.TransactionFailed());
        EXPECT_EQ(r.failedStep, c.step);
        EXPECT_EQ(r.status, ST_SEND_FAILED);
        EXPECT_EQ(r.bytesDone, 512u);
        EXPECT_EQ(m_sim.RequestCount(c.dataCommand), c.packets);
        EXPECT_EQ(m_sim.RequestCount(CMD_UPGRADE_END), 0u);
    }
}

}  // namespace
