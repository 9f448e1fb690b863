#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "boxsim/box_simulator.h"
#include "firmware/transfer_packets.h"
#include "link/device_link.h"
#include "ops/identity_op.h"
#include "ops/load_slot_ops.h"
#include "ops/transactor.h"
#include "tests/support/box_workspace.h"

namespace {

constexpr std::uint32_t kFileSize = 3 * kTransferChunk + 17;

// Sends over the link; before request number `faultAt` (1-based) it lets the
// case change the box, so a fault can start in the middle of an operation.
class CFaultingTransactor : public ITransactor {
public:
    CFaultingTransactor(CDeviceLink& link, int faultAt, std::function<void()> fault)
        : m_link(link), m_faultAt(faultAt), m_fault(std::move(fault)) {}
    LinkReply Transact(const LinkRequest& request) override {
        if (++m_count == m_faultAt && m_fault)
            m_fault();
        return m_link.Transact(request);
    }
    int Count() const { return m_count; }

private:
    CLinkTransactor m_link;
    int m_faultAt;
    std::function<void()> m_fault;
    int m_count = 0;
};

struct OpCase {
    const char* name;
    // Request number the fault starts at (0: none), and the fault.
    int faultAt;
    std::function<void(CBoxSimulator&)> fault;
    // Calls of the abort check after which it asks to stop (-1: never).
    int abortAfter;
    std::function<OpResult(ITransactor&, const OpHooks&, const std::string& file)> run;
    OpResult expected;
    int requests;  // requests that reached the transactor
};

SimOverride Refused(std::uint16_t word) {
    SimOverride o;
    o.resultWord = word;
    return o;
}

SimOverride Garbled() {
    SimOverride o;
    o.badChecksum = true;
    return o;
}

OpResult Expect(bool ok, OpStep step, StatusWord status, std::uint16_t word, std::uint32_t bytes,
                bool aborted = false) {
    OpResult r;
    r.ok = ok;
    r.failedStep = step;
    r.status = status;
    r.resultWord = word;
    r.bytesDone = bytes;
    r.aborted = aborted;
    return r;
}

OpResult Version(ITransactor& t, const OpHooks& h, const std::string&) {
    return ReadVersionOp(t, TIMEOUT_DEFAULT_MS, h).result;
}
OpResult Serial(ITransactor& t, const OpHooks& h, const std::string&) {
    return ReadSerialOp(t, TIMEOUT_DEFAULT_MS, h).result;
}
OpResult Download(ITransactor& t, const OpHooks& h, const std::string& file) {
    return DownloadOp(t, file, 2, h);
}
OpResult Jump(ITransactor& t, const OpHooks& h, const std::string&) {
    return JumpOp(t, 2, h);
}

class OpResultTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_workspace = std::make_unique<CBoxWorkspace>("ops");
        m_file = m_workspace->WorkDir() + "/app.bin";
        std::vector<char> bytes(kFileSize);
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>(i * 7);
        std::ofstream(m_file, std::ios::binary).write(bytes.data(), bytes.size());
    }

    std::unique_ptr<CBoxWorkspace> m_workspace;
    std::string m_file;
};

TEST_F(OpResultTest, ResultValuesNameTheStepTheWordsAndTheBytesDone) {
    const auto refuseVersion = [](CBoxSimulator& s) {
        s.SetOverride(CMD_GET_VERSION, Refused(0x1234));
    };
    const auto garbleSerial = [](CBoxSimulator& s) { s.SetOverride(CMD_GET_SERIAL, Garbled()); };
    const auto garbleData = [](CBoxSimulator& s) { s.SetOverride(CMD_FILE_DATA, Garbled()); };
    const auto refuseData = [](CBoxSimulator& s) {
        s.SetOverride(CMD_FILE_DATA, Refused(0x0BAD));
    };
    const auto refuseJump = [](CBoxSimulator& s) { s.SetOverride(CMD_JUMP, Refused(0x0BAD)); };
    const std::vector<OpCase> cases = {
        {"version read", 0, nullptr, -1, Version, Expect(true, OpStep::None, ST_OK, RESULT_OK, 0),
         1},
        {"version refused", 1, refuseVersion, -1, Version,
         Expect(false, OpStep::Version, ST_OK, 0x1234, 0), 1},
        {"serial garbled", 1, garbleSerial, -1, Serial,
         Expect(false, OpStep::Serial, ST_NO_REPLY, 0, 0), 1},
        {"identity aborted", 0, nullptr, 0, Version,
         Expect(false, OpStep::Version, ST_SEND_FAILED, 0, 0, true), 0},
        {"download whole", 0, nullptr, -1, Download,
         Expect(true, OpStep::None, ST_OK, RESULT_OK, kFileSize), 5},
        {"information block garbled", 1, garbleData, -1, Download,
         Expect(false, OpStep::InfoPacket, ST_NO_REPLY, 0, 0), 1},
        {"third data packet garbled", 4, garbleData, -1, Download,
         Expect(false, OpStep::DataPacket, ST_NO_REPLY, 0, 2 * kTransferChunk), 4},
        // Only the link's word decides a download; the box's is kept.
        {"data refused by the box", 1, refuseData, -1, Download,
         Expect(true, OpStep::None, ST_OK, 0x0BAD, kFileSize), 5},
        {"download aborted mid-transfer", 0, nullptr, 3, Download,
         Expect(false, OpStep::DataPacket, ST_SEND_FAILED, 0, 2 * kTransferChunk, true), 3},
        {"jump refused by the box", 1, refuseJump, -1, Jump,
         Expect(true, OpStep::None, ST_OK, 0x0BAD, 0), 1},
        {"jump to no slot", 0, nullptr, -1,
         [](ITransactor& t, const OpHooks& h, const std::string&) { return JumpOp(t, 6, h); },
         Expect(false, OpStep::LoadSlot, ST_OK, 0, 0), 0},
        {"download of no file", 0, nullptr, -1,
         [](ITransactor& t, const OpHooks& h, const std::string& f) {
             return DownloadOp(t, f + ".missing", 2, h);
         },
         Expect(false, OpStep::FileOpen, ST_OK, 0, 0), 0},
    };
    for (const OpCase& c : cases) {
        SCOPED_TRACE(c.name);
        CBoxSimulator sim;
        ASSERT_TRUE(sim.Start(m_workspace->PortDir(), 1));
        CDeviceLink link;
        std::uint8_t com = 0;
        ASSERT_EQ(link.ScanPorts(&com), ST_OK);
        CFaultingTransactor transactor(link, c.faultAt, [&] { c.fault(sim); });
        int checks = 0;
        OpHooks hooks;
        hooks.abort = [&] { return c.abortAfter >= 0 && checks++ >= c.abortAfter; };

        const OpResult r = c.run(transactor, hooks, m_file);
        EXPECT_EQ(r.ok, c.expected.ok);
        EXPECT_EQ(r.failedStep, c.expected.failedStep);
        EXPECT_EQ(r.status, c.expected.status);
        EXPECT_EQ(r.resultWord, c.expected.resultWord);
        EXPECT_EQ(r.bytesDone, c.expected.bytesDone);
        EXPECT_EQ(r.aborted, c.expected.aborted);
        EXPECT_EQ(transactor.Count(), c.requests);
        link.Disconnect();
        sim.Stop();
    }
}

TEST_F(OpResultTest, DownloadTellsEachPacketsBytesOfTheTotal) {
    CBoxSimulator sim;
    ASSERT_TRUE(sim.Start(m_workspace->PortDir(), 1));
    CDeviceLink link;
    std::uint8_t com = 0;
    ASSERT_EQ(link.ScanPorts(&com), ST_OK);
    CLinkTransactor transactor(link);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> sent;
    OpHooks hooks;
    hooks.progress = [&](const OpProgress& p) {
        if (p.kind == OpProgress::Kind::BytesSent)
            sent.emplace_back(p.done, p.total);
    };
    ASSERT_TRUE(DownloadOp(transactor, m_file, 0, hooks).ok);
    const std::vector<std::pair<std::uint32_t, std::uint32_t>> expected = {
        {0, kFileSize}, {256, kFileSize}, {512, kFileSize}, {768, kFileSize},
        {kFileSize, kFileSize}};
    EXPECT_EQ(sent, expected);
    EXPECT_TRUE(sim.Slot(0).sha1Matches);
    link.Disconnect();
    sim.Stop();
}

}  // namespace
