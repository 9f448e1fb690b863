// How the operations read through a line the box also uses for frames of its
// own: a read-only request that got no reply is asked again when the hooks
// allow it, a write or a transfer packet never is; and the serial shown after
// a version read is never another reply's bytes.

#include <gtest/gtest.h>

#include <deque>

#include "boxsim/box_simulator.h"
#include "link/command_codes.h"
#include "link/device_link.h"
#include "ops/identity_op.h"
#include "ops/op_step.h"
#include "ops/transactor.h"
#include "tests/support/temp_port_dir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kBoxPort = 6;
// Short: every case waits out a silent box at least once.
constexpr std::uint32_t kWaitMs = 150;

TEST(ReadRetries, OnlyReadsAreAskedAgainAfterALostReply) {
    CTempPortDir dir{"ops-read-retries"};
    CBoxSimulator sim;
    ASSERT_TRUE(sim.Start(dir.Path(), kBoxPort));
    CDeviceLink link;
    ASSERT_EQ(link.OpenPort(kBoxPort), ST_OK);
    CLinkTransactor transactor{link};

    struct Case {
        const char* name;
        std::uint16_t command;
        Bytes data;
        int silentFor;  // requests the box leaves unanswered (-1: all)
        int retries;
        std::uint64_t requests;  // that reached the box
        StatusWord status;
    };
    const Case cases[] = {
        {"version, box silent", CMD_GET_VERSION, {}, -1, 2, 3, ST_NO_REPLY},
        {"serial, one reply lost", CMD_GET_SERIAL, {}, 1, 2, 2, ST_OK},
        {"configuration read, box silent", CMD_CONFIG_READ_2, {}, -1, 2, 3, ST_NO_REPLY},
        {"read without retries", CMD_CONFIG_READ_1, {}, -1, 0, 1, ST_NO_REPLY},
        {"configuration write", CMD_CONFIG_WRITE_1, Bytes(16, 0), -1, 2, 1, ST_NO_REPLY},
        {"factory reset", CMD_FACTORY_RESET, {}, -1, 2, 1, ST_NO_REPLY},
        {"firmware packet", CMD_UPGRADE_DATA, Bytes(64, 0x5A), -1, 2, 1, ST_NO_REPLY},
        {"download packet", CMD_FILE_DATA, Bytes(64, 0x5A), -1, 2, 1, ST_NO_REPLY},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim.ClearOverrides();
        sim.ClearRequests();
        SimOverride silent;
        silent.silent = true;
        silent.times = c.silentFor;
        sim.SetOverride(c.command, silent);
        OpResult result;
        OpHooks hooks;
        hooks.replyLengths = ReplyLengthRule::Strict;
        hooks.readRetries = c.retries;
        CBoxExchange exchange(transactor, hooks, result);
        const LinkReply reply =
            exchange.Send({.command = c.command, .data = c.data, .firstByteTimeoutMs = kWaitMs});
        EXPECT_EQ(reply.status, c.status);
        EXPECT_EQ(sim.RequestCount(c.command), c.requests);
    }
    link.Disconnect();
}

// Plays back one scripted reply per request.
class CScriptedTransactor : public ITransactor {
public:
    explicit CScriptedTransactor(std::deque<LinkReply> replies) : m_replies(std::move(replies)) {}
    LinkReply Transact(const LinkRequest&) override {
        LinkReply next = m_replies.front();
        m_replies.pop_front();
        return next;
    }

private:
    std::deque<LinkReply> m_replies;
};

LinkReply Reply(Bytes data, std::uint16_t resultWord = RESULT_OK) {
    LinkReply r;
    r.status = ST_OK;
    r.resultWord = resultWord;
    r.length = static_cast<std::uint32_t>(data.size());
    r.data = std::move(data);
    return r;
}

LinkReply NoReply() {
    return LinkReply{};
}

TEST(SerialAfterVersion, AnotherRepliesBytesAreNeverTheSerial) {
    const Bytes versionData = {0x00, 0x00, 'V', 'B', 'X', '-', '1'};
    const Bytes serialData = {0x00, 0x00, 0x12, 0x34, 0xAB};
    struct Case {
        const char* name;
        LinkReply version;
        LinkReply serial;
        bool shown;
        StatusWord failure;  // when not shown
    };
    const Case cases[] = {
        {"both answered", Reply(versionData), Reply(serialData), true, 0},
        {"version refused, serial answered", Reply(versionData, 0x1234), Reply(serialData), true,
         0},
        {"the version's reply again", Reply(versionData), Reply(versionData), false, ST_NO_REPLY},
        // The version's wait ended on a stray byte; its reply, late, came in
        // the serial's wait.
        {"version heard nothing", NoReply(), Reply(versionData), false, ST_NO_REPLY},
        {"serial refused keeps its word", NoReply(), Reply(serialData, 0x1234), false, 0x1234},
        {"serial silent keeps its word", Reply(versionData), NoReply(), false, ST_NO_REPLY},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CScriptedTransactor link({c.version, c.serial});
        const IdentityRead version = ReadIdentity(link, CMD_GET_VERSION);
        const IdentityRead serial = ReadSerialAfter(link, version);
        EXPECT_EQ(serial.result.ok, c.shown);
        if (c.shown) {
            EXPECT_EQ(serial.text, "1234AB");
        } else {
            EXPECT_EQ(serial.text, "");
            EXPECT_EQ(serial.result.failedStep, OpStep::Identity);
            EXPECT_EQ(serial.result.failureCode, c.failure);
        }
    }
}

}  // namespace
