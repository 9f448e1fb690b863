// What a transfer's result says when it stops part-way: the failing step, the
// link's word, the box's word, the bytes the box took, and that nothing was
// sent after the stop.

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "boxsim/box_simulator.h"
#include "layouts/transfer_packets.h"
#include "link/command_codes.h"
#include "link/device_link.h"
#include "ops/firmware_ops.h"
#include "ops/identity_op.h"
#include "ops/load_slot_ops.h"
#include "ops/transactor.h"
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
    CLinkTransactor m_transactor{m_link};
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
        const OpResult r = c.run(m_transactor);
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
        hooks.progress = [&](const OpProgress& e) {
            if (e.kind == OpProgress::Kind::Sent && e.done == 512)
                stop = true;
        };
        hooks.abort = [&] { return stop; };
        const OpResult r = c.run(m_transactor, hooks);
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

// Sends over the link; before request number `faultAt` (1-based) it lets the
// case change the box, so a fault can start in the middle of an operation.
class CFaultingTransactor : public ITransactor {
public:
    CFaultingTransactor(ITransactor& link, int faultAt, std::function<void()> fault)
        : m_link(link), m_faultAt(faultAt), m_fault(std::move(fault)) {}
    LinkReply Transact(const LinkRequest& request) override {
        if (++m_count == m_faultAt && m_fault)
            m_fault();
        return m_link.Transact(request);
    }
    int Count() const { return m_count; }

private:
    ITransactor& m_link;
    int m_faultAt;
    std::function<void()> m_fault;
    int m_count = 0;
};

TEST_F(OpResultTest, ResultValuesNameTheStepTheWordsAndTheBytesDone) {
    constexpr std::size_t kFileSize = 3 * kTransferChunk + 17;
    Bytes file(kFileSize);
    for (std::size_t i = 0; i < file.size(); ++i)
        file[i] = static_cast<std::uint8_t>(i * 7);
    const std::string path = m_dir.Path() + "/app.bin";
    SimOverride refused;
    refused.resultWord = 0x1234;
    SimOverride garbled;
    garbled.badChecksum = true;
    const auto identity = [](std::uint16_t command) {
        return [command](ITransactor& t, const OpHooks& h) {
            return ReadIdentity(t, command, TIMEOUT_DEFAULT_MS, h).result;
        };
    };
    const auto download = [&](ITransactor& t, const OpHooks& h) {
        return DownloadImage(t, file, 2, h);
    };
    struct Case {
        const char* name;
        int faultAt;  // request the fault starts at (0: none)
        std::uint16_t faultCommand;
        const SimOverride* fault;
        int abortAfter;  // calls of the abort check after which it stops (-1: never)
        std::function<OpResult(ITransactor&, const OpHooks&)> run;
        bool ok;
        OpStep step;
        StatusWord status;
        std::uint16_t resultWord;  // of the last reply that arrived
        std::uint64_t bytesDone;
        bool aborted;
        int requests;  // that reached the transactor
    };
    const Case cases[] = {
        {"version read", 0, 0, nullptr, -1, identity(CMD_GET_VERSION), true, OpStep::None, ST_OK,
         RESULT_OK, 0, false, 1},
        {"version refused", 1, CMD_GET_VERSION, &refused, -1, identity(CMD_GET_VERSION), false,
         OpStep::Identity, ST_OK, 0x1234, 0, false, 1},
        {"serial garbled", 1, CMD_GET_SERIAL, &garbled, -1, identity(CMD_GET_SERIAL), false,
         OpStep::Identity, ST_NO_REPLY, 0, 0, false, 1},
        {"identity aborted", 0, 0, nullptr, 0, identity(CMD_GET_VERSION), false, OpStep::Identity,
         ST_SEND_FAILED, 0, 0, true, 0},
        {"download whole", 0, 0, nullptr, -1, download, true, OpStep::None, ST_OK, RESULT_OK,
         kFileSize, false, 5},
        {"information block garbled", 1, CMD_FILE_DATA, &garbled, -1, download, false,
         OpStep::InfoBlock, ST_NO_REPLY, 0, 0, false, 1},
        {"third data packet garbled", 4, CMD_FILE_DATA, &garbled, -1, download, false,
         OpStep::FileData, ST_NO_REPLY, RESULT_OK, 2 * kTransferChunk, false, 4},
        {"download aborted mid-transfer", 0, 0, nullptr, 3, download, false, OpStep::FileData,
         ST_SEND_FAILED, RESULT_OK, 2 * kTransferChunk, true, 3},
        {"jump refused by the box, judged on the link only", 1, CMD_JUMP, &refused, -1,
         [](ITransactor& t, const OpHooks& h) { return JumpToSlot(t, 2, h); }, true, OpStep::None,
         ST_OK, 0x1234, 0, false, 1},
        {"jump to no slot", 0, 0, nullptr, -1,
         [](ITransactor& t, const OpHooks& h) { return JumpToSlot(t, kLoadSlotCount, h); }, false,
         OpStep::Input, ST_OK, 0, 0, false, 0},
        {"download of no file", 0, 0, nullptr, -1,
         [&](ITransactor& t, const OpHooks& h) { return DownloadFile(t, path + ".missing", 2, h); },
         false, OpStep::Load, ST_OK, 0, 0, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_sim.ClearOverrides();
        CFaultingTransactor transactor(m_transactor, c.faultAt,
                                       [&] { m_sim.SetOverride(c.faultCommand, *c.fault); });
        int checks = 0;
        OpHooks hooks;
        hooks.abort = [&] { return c.abortAfter >= 0 && checks++ >= c.abortAfter; };

        const OpResult r = c.run(transactor, hooks);
        EXPECT_EQ(r.ok, c.ok);
        EXPECT_EQ(r.failedStep, c.step);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.resultWord, c.resultWord);
        EXPECT_EQ(r.bytesDone, c.bytesDone);
        EXPECT_EQ(r.aborted, c.aborted);
        EXPECT_EQ(transactor.Count(), c.requests);
    }
    m_sim.ClearOverrides();
}

}  // namespace
