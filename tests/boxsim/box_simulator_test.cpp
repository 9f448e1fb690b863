// The simulated box over a real pseudo-terminal, driven by a bare raw-mode
// client: reply layouts, the box's memory, transfers, faults and the line's
// life cycle.

#include "boxsim/box_simulator.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <thread>

#include "boxsim/box_state.h"
#include "link/command_codes.h"
#include "link/frame_codec.h"
#include "link/status_words.h"
#include "tests/boxsim/pty_client.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

// Short enough to keep the tests fast, long enough to tell silence from an
// answer on a loaded machine.
constexpr std::chrono::milliseconds kRestart{200};
// How long a test waits to be sure that nothing comes.
constexpr std::chrono::milliseconds kSilence{100};
constexpr std::size_t kChunk = 256;

Bytes Be32(std::uint32_t v) {
    Bytes b(4);
    WriteBigEndian32(b.data(), v);
    return b;
}

Bytes Le32(std::uint32_t v) {
    Bytes b(4);
    WriteLittleEndian32(b.data(), v);
    return b;
}

Bytes Be16(std::uint16_t v) {
    Bytes b(2);
    WriteBigEndian16(b.data(), v);
    return b;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

std::array<std::uint8_t, 20> Sha1(const Bytes& data) {
    std::array<std::uint8_t, 20> d{};
    unsigned int n = 0;
    EVP_Digest(data.data(), data.size(), d.data(), &n, EVP_sha1(), nullptr);
    return d;
}

Bytes TextBytes(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

class BoxSimulatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_sim.SetRestartTime(kRestart);
        ASSERT_TRUE(m_sim.Start(m_dir, 3));
        ASSERT_TRUE(m_client.Open(m_sim.LinkPath())) << m_sim.LinkPath();
    }
    void TearDown() override {
        m_client.Close();
        m_sim.Stop();
    }

    // One transaction that must succeed with the box's success word.
    Bytes Ok(std::uint16_t command, const Bytes& data = {}, std::uint16_t sub = SUB_DEFAULT) {
        const auto reply = m_client.Transact(command, sub, data);
        EXPECT_TRUE(reply.has_value()) << std::hex << command;
        if (!reply)
            return {};
        EXPECT_EQ(reply->resultWord, RESULT_OK) << std::hex << command;
        EXPECT_GE(reply->data.size(), 2u);
        return reply->data;
    }
    std::uint16_t Result(std::uint16_t command, const Bytes& data = {}) {
        const auto reply = m_client.Transact(command, SUB_DEFAULT, data);
        EXPECT_TRUE(reply.has_value()) << std::hex << command;
        return reply ? reply->resultWord : 0;
    }

    CTempDir m_folder{"boxsim"};
    std::string m_dir{m_folder.Path()};
    CBoxSimulator m_sim;
    PtyClient m_client;
};

TEST_F(BoxSimulatorTest, IdentityRepliesCarryTwoBytesThenTheData) {
    struct Case {
        std::uint16_t command;
        std::function<void(CBoxSimulator&)> set;
        Bytes expected;
    };
    const Case cases[] = {
        {CMD_GET_VERSION, [](CBoxSimulator& s) { s.SetVersion("VBX-100 V7.0.1"); },
         TextBytes("VBX-100 V7.0.1")},
        {CMD_GET_SERIAL,
         [](CBoxSimulator& s) {
             s.SetSerial({0x12, 0x34, 0xAB, 0x00});
         },
         {0x12, 0x34, 0xAB, 0x00}},
        {CMD_GET_SERIAL, [](CBoxSimulator& s) { s.SetSerial({}); }, {}},
    };
    for (const Case& c : cases) {
        c.set(m_sim);
        const Bytes data = Ok(c.command);
        ASSERT_GE(data.size(), 2u);
        EXPECT_EQ(Bytes(data.begin() + 2, data.end()), c.expected) << std::hex << c.command;
    }
}

TEST_F(BoxSimulatorTest, DefaultIdentityIsPlausible) {
    const Bytes version = Ok(CMD_GET_VERSION);
    ASSERT_GT(version.size(), 2u);
    EXPECT_EQ(std::string(version.begin() + 2, version.end()), m_sim.Version());
    const Bytes serial = Ok(CMD_GET_SERIAL);
    EXPECT_GE(serial.size(), 2u + 4u);
    EXPECT_LE(serial.size(), 2u + 8u);
}

struct BlockCase {
    int block;
    std::uint16_t read;
    std::uint16_t write;
    Bytes factory;  // every flag off, every list at its first entry
};

const BlockCase kBlocks[] = {
    {1,
     CMD_CONFIG_READ_1,
     CMD_CONFIG_WRITE_1,
     {0x00, 0x00, 0x00, 0x00, 0x0F, 0x1E, 0x1E, 0x05, 0, 0, 0, 0, 0, 0, 0, 0}},
    {2, CMD_CONFIG_READ_2, CMD_CONFIG_WRITE_2, {0x07, 0x07, 0x07, 0x07, 0x0C, 0x0C, 0x00,
                                                0x01, 0x01, 0x01, 0x00, 0x0F, 0,    0,
                                                0,    0,    0,    0,    0,    0}},
    {3,
     CMD_CONFIG_READ_3,
     CMD_CONFIG_WRITE_3,
     {0x80, 0xF0, 0xF0, 0xF0, 0xF0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
};

// The block behind the three leading bytes of a configuration read.
Bytes BlockOf(const Bytes& replyData) {
    return replyData.size() < 3 ? Bytes{} : Bytes(replyData.begin() + 3, replyData.end());
}

TEST_F(BoxSimulatorTest, ConfigurationWriteReadAndFactoryResetRoundTrip) {
    for (const BlockCase& c : kBlocks) {
        SCOPED_TRACE(c.block);
        EXPECT_EQ(BlockOf(Ok(c.read)), c.factory);

        Bytes changed(c.factory.size());
        for (std::size_t i = 0; i < changed.size(); ++i) {
            changed[i] = static_cast<std::uint8_t>(0xA0 + c.block * 16 + i);
        }
        Ok(c.write, changed, SUB_CONFIG_WRITE);
        EXPECT_EQ(BlockOf(Ok(c.read)), changed);
        EXPECT_EQ(m_sim.ConfigBlock(c.block), changed);
    }
    Ok(CMD_FACTORY_RESET);
    for (const BlockCase& c : kBlocks)
        EXPECT_EQ(BlockOf(Ok(c.read)), c.factory) << c.block;
}

TEST_F(BoxSimulatorTest, ConfigurationWriteOfTheWrongLengthIsRefusedAndStoresNothing) {
    for (const BlockCase& c : kBlocks) {
        for (const std::size_t size :
             {c.factory.size() - 1, c.factory.size() + 1, std::size_t{0}}) {
            SCOPED_TRACE(testing::Message() << "block " << c.block << " size " << size);
            EXPECT_EQ(Result(c.write, Bytes(size, 0x55)), kSimResultBadLength);
            EXPECT_EQ(m_sim.ConfigBlock(c.block), c.factory);
        }
    }
}

TEST_F(BoxSimulatorTest, StoreFaultFlipsOneStoredByteWhileTheWriteSucceeds) {
    m_sim.SetStoreFault(SimStoreFault{2, 3, 0x81});
    const Bytes written(20, 0x10);
    Ok(CMD_CONFIG_WRITE_2, written, SUB_CONFIG_WRITE);
    Bytes expected = written;
    expected[3] = 0x91;
    EXPECT_EQ(BlockOf(Ok(CMD_CONFIG_READ_2)), expected);
    Ok(CMD_CONFIG_WRITE_1, Bytes(16, 0x10), SUB_CONFIG_WRITE);
    EXPECT_EQ(m_sim.ConfigBlock(1), Bytes(16, 0x10));  // other blocks untouched

    m_sim.SetStoreFault(std::nullopt);
    Ok(CMD_CONFIG_WRITE_2, written, SUB_CONFIG_WRITE);
    EXPECT_EQ(m_sim.ConfigBlock(2), written);
}

TEST_F(BoxSimulatorTest, FactoryResetRestoresDefaultsSetByTheTest) {
    const Bytes defaults(16, 0x11);
    m_sim.SetFactoryDefaults(1, defaults);
    m_sim.SetConfigBlock(1, Bytes(16, 0x22));
    EXPECT_EQ(BlockOf(Ok(CMD_CONFIG_READ_1)), Bytes(16, 0x22));
    Ok(CMD_FACTORY_RESET);
    EXPECT_EQ(m_sim.ConfigBlock(1), defaults);
}

TEST_F(BoxSimulatorTest, FramesThatAreNotRequestsGetNoReplyAndAreNotRecorded) {
    Bytes badChecksum(kTxBufSize);
    badChecksum.resize(
        BuildRequestFrame(CMD_GET_SERIAL, SUB_DEFAULT, nullptr, 0, badChecksum.data()));
    badChecksum.back() ^= 0x01;
    // Length over the request limit: dropped as soon as the length is seen.
    const Bytes tooLong = {kRequestStart, 0x04, 0x11};
    // A checksum-correct frame too short for command code and sub-code.
    const Bytes shortPayload = {0x1A, 0x9B};
    Bytes tooShort;
    BuildFrame(kRequestStart, shortPayload.data(), shortPayload.size(), tooShort);

    for (const Bytes& frame : {badChecksum, tooLong, tooShort}) {
        ASSERT_TRUE(m_client.WriteRaw(frame));
        EXPECT_TRUE(m_client.ReadRaw(kSilence, kSilence).empty());
    }
    EXPECT_TRUE(m_sim.Requests().empty());

    // The line is usable right after.
    Ok(CMD_GET_SERIAL);
    const auto requests = m_sim.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].command, CMD_GET_SERIAL);
}

TEST_F(BoxSimulatorTest, RequestsAreRecordedInOrderWithSubCodeAndData) {
    Ok(CMD_GET_VERSION);
    Ok(CMD_CONFIG_WRITE_2, Bytes(20, 0x07), SUB_CONFIG_WRITE);
    Ok(CMD_JUMP, Cat({Le32(0x3C000), Bytes(6, 0)}));
    ASSERT_TRUE(m_sim.WaitForRequestCount(3, 1s));
    EXPECT_FALSE(m_sim.WaitForRequestCount(4, 50ms));
    const auto r = m_sim.Requests();
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0].command, CMD_GET_VERSION);
    EXPECT_EQ(r[0].subCode, SUB_DEFAULT);
    EXPECT_TRUE(r[0].data.empty());
    EXPECT_EQ(r[1].command, CMD_CONFIG_WRITE_2);
    EXPECT_EQ(r[1].subCode, SUB_CONFIG_WRITE);
    EXPECT_EQ(r[1].data, Bytes(20, 0x07));
    EXPECT_EQ(r[2].command, CMD_JUMP);
    m_sim.ClearRequests();
    EXPECT_TRUE(m_sim.Requests().empty());
}

TEST_F(BoxSimulatorTest, LongRunKeepsABoundedHistoryAndCountsEveryRequest) {
    constexpr std::uint64_t kRequests = 100'000;
    // Requests written in one go, their replies discarded unread.
    constexpr int kBatch = 50;
    Bytes batch;
    for (int i = 0; i < kBatch; ++i) {
        const Bytes payload = Cat({Be16(i % 2 == 0 ? CMD_GET_SERIAL : CMD_GET_VERSION),
                                   Be16(SUB_DEFAULT), Be16(static_cast<std::uint16_t>(i))});
        Bytes frame;
        BuildFrame(kRequestStart, payload.data(), payload.size(), frame);
        batch.insert(batch.end(), frame.begin(), frame.end());
    }
    for (std::uint64_t sent = 0; sent < kRequests;) {
        ASSERT_TRUE(m_client.WriteRaw(batch));
        sent += kBatch;
        ASSERT_TRUE(m_sim.WaitForRequestCount(sent, 5s)) << sent;
        tcflush(m_client.Fd(), TCIFLUSH);
    }
    EXPECT_EQ(m_sim.RequestCount(), kRequests);
    EXPECT_EQ(m_sim.RequestCount(CMD_GET_SERIAL), kRequests / 2);
    EXPECT_EQ(m_sim.RequestCount(CMD_GET_VERSION), kRequests / 2);
    EXPECT_EQ(m_sim.RequestCount(CMD_JUMP), 0u);
    const std::vector<SimRequest> kept = m_sim.Requests();
    ASSERT_EQ(kept.size(), kSimRequestHistory);
    // The newest are kept, in order: the batch's last request is the last one.
    EXPECT_EQ(kept.back().command, CMD_GET_VERSION);
    EXPECT_EQ(kept.back().data, Be16(kBatch - 1));
    m_sim.ClearRequests();
    EXPECT_EQ(m_sim.RequestCount(), 0u);
    EXPECT_TRUE(m_sim.Requests().empty());
}

TEST_F(BoxSimulatorTest, EveryOtherCommandGetsTheResultWordAndTwoBytes) {
    for (const std::uint16_t command :
         {CMD_PREPARE_A, CMD_PREPARE_B, CMD_UPGRADE_END, CMD_FACTORY_RESET}) {
        const auto reply = m_client.Transact(command, SUB_DEFAULT);
        ASSERT_TRUE(reply) << std::hex << command;
        EXPECT_EQ(reply->resultWord, RESULT_OK);
        EXPECT_EQ(reply->data, Bytes({0, 0}));
    }
    EXPECT_EQ(Result(0x7777), kSimResultUnknownCommand);
}

// Sends a package as the update procedure does, up to and including the commit.
void TransferPackage(PtyClient& client, const Bytes& package) {
    const std::size_t h =
        package.size() >= 2 && package[0] == 0xC9 && package[1] == 0x49 ? 32 : 128;
    const auto ok = [&](std::uint16_t cmd, const Bytes& data) {
        const auto reply = client.Transact(cmd, SUB_DEFAULT, data);
        ASSERT_TRUE(reply) << std::hex << cmd;
        EXPECT_EQ(reply->resultWord, RESULT_OK) << std::hex << cmd;
        EXPECT_GE(reply->data.size(), 2u);
    };
    ok(CMD_PREPARE_A, {});
    ok(CMD_PREPARE_B, {});
    ok(CMD_UPGRADE_BEGIN, Bytes(package.begin(), package.begin() + h));
    const std::size_t d = package.size() - h;
    std::size_t offset = 0;
    do {
        const std::size_t n = std::min(kChunk, d - offset);
        const auto from = package.begin() + static_cast<long>(h + offset);
        ok(CMD_UPGRADE_DATA,
           Cat({Be32(static_cast<std::uint32_t>(offset)), Be16(static_cast<std::uint16_t>(n)),
                Bytes(from, from + static_cast<long>(n))}));
        offset += n;
    } while (offset < d);
    ok(CMD_UPGRADE_END, {});
    ok(CMD_UPGRADE_COMMIT, {});
}

TEST_F(BoxSimulatorTest, SamplePackageHasAShortHeaderWithTheVersion) {
    const Bytes p = MakeSamplePackage("VBX-100 V9.9", 600);
    ASSERT_EQ(p.size(), 32u + 600u);
    EXPECT_EQ(p[0], 0xC9);
    EXPECT_EQ(p[1], 0x49);
    EXPECT_EQ(std::string(p.begin() + 2, p.begin() + 14), "VBX-100 V9.9");
    EXPECT_TRUE(std::all_of(p.begin() + 14, p.begin() + 32, [](auto b) { return b == 0; }));
    EXPECT_EQ(p, MakeSamplePackage("VBX-100 V9.9", 600));
    // Misplaced packets must show: the data does not repeat every 256 bytes.
    EXPECT_NE(Bytes(p.begin() + 32, p.begin() + 32 + 256),
              Bytes(p.begin() + 32 + 256, p.begin() + 32 + 512));
}

TEST_F(BoxSimulatorTest, FirmwareUpdateRestartsSilentlyAndReportsTheNewVersion) {
    struct Case {
        Bytes package;
        std::string versionAfter;
    };
    Bytes longHeader(128 + 300, 0x3A);  // not C9 49: a 128-byte header
    const Case cases[] = {
        {MakeSamplePackage("VBX-100 V9.9", 600), "VBX-100 V9.9"},
        {MakeSamplePackage("VBX-100 V8.0", 0), "VBX-100 V8.0"},
        {longHeader, "VBX-100 V1.0+1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.versionAfter);
        m_sim.SetVersion("VBX-100 V1.0");
        const int commits = m_sim.CommitCount();
        TransferPackage(m_client, c.package);
        const std::size_t h = c.versionAfter.ends_with("+1") ? 128 : 32;
        EXPECT_EQ(m_sim.UpgradeHeader(), Bytes(c.package.begin(), c.package.begin() + h));
        EXPECT_EQ(m_sim.UpgradeData(), Bytes(c.package.begin() + h, c.package.end()));
        EXPECT_EQ(m_sim.CommitCount(), commits + 1);

        // The version request sent at once is held through the restart and
        // answered after it, with the new version.
        const Clock::time_point sent = Clock::now();
        ASSERT_TRUE(m_sim.IsRestarting());
        ASSERT_TRUE(m_client.Send(CMD_GET_VERSION, SUB_DEFAULT));
        const auto payload = m_client.ReadPayload(kRestart * 10);
        ASSERT_TRUE(payload);
        EXPECT_GE(Clock::now() - sent, kRestart - 50ms);
        EXPECT_EQ(std::string(payload->begin() + 4, payload->end()), c.versionAfter);
        EXPECT_EQ(m_sim.Version(), c.versionAfter);
        EXPECT_FALSE(m_sim.IsRestarting());
    }
}

TEST_F(BoxSimulatorTest, CommitReplyGoesOutWithTheBoxAlreadyRestarting) {
    // The hook runs after the reply is made and before it is written: a
    // client that reads the reply must never find the box still up.
    std::atomic<int> seenRestarting{-1};
    m_sim.SetRequestHook([&](const SimRequest& r) {
        if (r.command == CMD_UPGRADE_COMMIT)
            seenRestarting = m_sim.IsRestarting() ? 1 : 0;
    });
    TransferPackage(m_client, MakeSamplePackage("VBX-100 V7.0", 10));
    m_sim.SetRequestHook(nullptr);
    EXPECT_EQ(seenRestarting.load(), 1);
    EXPECT_TRUE(m_sim.IsRestarting());
}

TEST_F(BoxSimulatorTest, RestartCanDropRequestsInstead) {
    m_sim.SetAnswerAfterRestart(false);
    TransferPackage(m_client, MakeSamplePackage("VBX-100 V5.5", 10));
    ASSERT_TRUE(m_client.Send(CMD_GET_VERSION, SUB_DEFAULT));
    EXPECT_FALSE(m_client.ReadPayload(kRestart * 2));
    const auto reply = m_client.Transact(CMD_GET_VERSION, SUB_DEFAULT);
    ASSERT_TRUE(reply);
    EXPECT_EQ(std::string(reply->data.begin() + 2, reply->data.end()), "VBX-100 V5.5");
}

TEST_F(BoxSimulatorTest, FirmwareRequestsOutOfSequenceAreRefused) {
    struct Step {
        std::uint16_t command;
        Bytes data;
        std::uint16_t result;
    };
    const Bytes header = Bytes(MakeSamplePackage("X", 0));
    const auto packet = [](std::uint32_t offset, std::size_t n, std::size_t carried) {
        return Cat({Be32(offset), Be16(static_cast<std::uint16_t>(n)), Bytes(carried, 0x42)});
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"data before a header", {{CMD_UPGRADE_DATA, packet(0, 4, 4), kSimResultNoHeader}}},
        {"commit before a header", {{CMD_UPGRADE_COMMIT, {}, kSimResultNoHeader}}},
        {"header of 31 bytes", {{CMD_UPGRADE_BEGIN, Bytes(31, 0), kSimResultBadLength}}},
        {"offset gap",
         {{CMD_UPGRADE_BEGIN, header, RESULT_OK},
          {CMD_UPGRADE_DATA, packet(0, 4, 4), RESULT_OK},
          {CMD_UPGRADE_DATA, packet(8, 4, 4), kSimResultBadOffset}}},
        {"length field disagrees",
         {{CMD_UPGRADE_BEGIN, header, RESULT_OK},
          {CMD_UPGRADE_DATA, packet(0, 5, 4), kSimResultBadLength}}},
        {"packet shorter than its header",
         {{CMD_UPGRADE_BEGIN, header, RESULT_OK}, {CMD_UPGRADE_DATA, {0, 0}, kSimResultBadLength}}},
        {"second commit needs a new header",
         {{CMD_UPGRADE_BEGIN, header, RESULT_OK},
          {CMD_UPGRADE_COMMIT, {}, RESULT_OK},
          {CMD_UPGRADE_COMMIT, {}, kSimResultNoHeader}}},
    };
    m_sim.SetRestartTime(0ms);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const Step& s : c.steps) {
            EXPECT_EQ(Result(s.command, s.data), s.result);
        }
    }
    // Only the one commit that followed a header was taken.
    EXPECT_EQ(m_sim.CommitCount(), 1);
}

Bytes InfoBlock(std::uint32_t loadAddress, std::uint32_t length,
                const std::array<std::uint8_t, 20>& sha1) {
    Bytes p = Cat({Le32(loadAddress), Be16(256), Le32(length), Bytes(sha1.begin(), sha1.end())});
    p.resize(6 + 256, 0);
    return p;
}

Bytes FileData(std::size_t size, std::uint8_t seed) {
    Bytes f(size);
    for (std::size_t i = 0; i < size; ++i)
        f[i] = static_cast<std::uint8_t>(i * 13 + seed + i / 256);
    return f;
}

TEST_F(BoxSimulatorTest, DownloadFillsTheSlotAndChecksTheDigest) {
    struct Case {
        int slot;
        std::size_t size;
        bool goodDigest;
    };
    const Case cases[] = {
        {0, 1000, true},
        {5, 512, true},
        {1, 0, true},
        {2, 1000, false},
        // One slot's worth and more: a data packet lands on the next slot's
        // load address and must not be taken for its information block.
        {3, kSimSlotStride + 10, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "slot " << c.slot << " size " << c.size);
        const Bytes file = FileData(c.size, static_cast<std::uint8_t>(c.slot));
        const std::uint32_t load = static_cast<std::uint32_t>(c.slot + 1) * 0x1E000;
        auto digest = Sha1(file);
        if (!c.goodDigest)
            digest[19] ^= 1;
        EXPECT_EQ(
            Result(CMD_FILE_DATA, InfoBlock(load, static_cast<std::uint32_t>(c.size), digest)),
            RESULT_OK);
        std::size_t offset = 0;
        do {
            const std::size_t n = std::min(kChunk, c.size - offset);
            const auto from = file.begin() + static_cast<long>(offset);
            ASSERT_EQ(
                Result(CMD_FILE_DATA, Cat({Le32(load + 256 + static_cast<std::uint32_t>(offset)),
                                           Be16(static_cast<std::uint16_t>(n)),
                                           Bytes(from, from + static_cast<long>(n))})),
                RESULT_OK)
                << offset;
            offset += n;
        } while (offset < c.size);

        const SimLoadSlot slot = m_sim.Slot(c.slot);
        EXPECT_TRUE(slot.infoReceived);
        EXPECT_EQ(slot.address, load);
        EXPECT_EQ(slot.fileLength, c.size);
        EXPECT_EQ(slot.announcedSha1, digest);
        EXPECT_EQ(slot.data, file);
        EXPECT_EQ(slot.sha1Matches, c.goodDigest);
        if (c.slot + 1 < kSimSlotCount) {
            EXPECT_FALSE(m_sim.Slot(c.slot + 1).infoReceived);
        }
    }
}

TEST_F(BoxSimulatorTest, DownloadPacketsOutOfPlaceAreRefused) {
    const Bytes file = FileData(600, 1);
    const std::uint32_t load = 2 * 0x1E000;
    ASSERT_EQ(Result(CMD_FILE_DATA, InfoBlock(load, 600, Sha1(file))), RESULT_OK);
    struct Case {
        const char* name;
        Bytes packet;
        std::uint16_t result;
    };
    const Case cases[] = {
        {"gap", Cat({Le32(load + 256 + 256), Be16(4), Bytes(4, 1)}), kSimResultBadOffset},
        {"outside every slot", Cat({Le32(0x100), Be16(4), Bytes(4, 1)}), kSimResultBadAddress},
        {"length field disagrees", Cat({Le32(load + 256), Be16(5), Bytes(4, 1)}),
         kSimResultBadLength},
        {"big-endian address", Cat({Be32(load + 256), Be16(4), Bytes(4, 1)}), kSimResultBadAddress},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Result(CMD_FILE_DATA, c.packet), c.result) << c.name;
    EXPECT_TRUE(m_sim.Slot(1).data.empty());
    EXPECT_FALSE(m_sim.Slot(1).sha1Matches);
}

TEST_F(BoxSimulatorTest, JumpRecordsTheLittleEndianAddress) {
    EXPECT_FALSE(m_sim.LastJumpAddress());
    Ok(CMD_JUMP, Cat({Bytes{0x00, 0xC0, 0x03, 0x00}, Bytes(6, 0)}));
    EXPECT_EQ(m_sim.LastJumpAddress(), 0x3C000u);
    EXPECT_EQ(Result(CMD_JUMP, Bytes{0x00, 0xE0, 0x01, 0x00}), kSimResultBadLength);
    EXPECT_EQ(m_sim.LastJumpAddress(), 0x3C000u);
}

const Bytes kSerial = {0x12, 0x34, 0xAB, 0x00};
const Bytes kSerialPayload = {0xEE, 0x00, kReplyFillerHi, kReplyFillerLo, 0x12, 0x34, 0xAB, 0x00};

SimOverride Over(std::function<void(SimOverride&)> f) {
    SimOverride o;
    f(o);
    return o;
}

TEST_F(BoxSimulatorTest, FaultsShapeWhatGoesOnTheWire) {
    const Bytes normal = ReplyFrame(kSerialPayload);
    Bytes corrupted = normal;
    corrupted.back() ^= 0xFF;
    const Bytes garbage = {0x00, 0x3E, 0xFF, 0x3C};
    struct Case {
        const char* name;
        std::function<void(CBoxSimulator&)> set;
        std::vector<Bytes> wire;  // what two requests in a row produce
    };
    const Case cases[] = {
        {"silent", [](auto& s) { s.SetFaults({.silent = true}); }, {{}, {}}},
        {"bad checksum",
         [](auto& s) { s.SetFaults({.badChecksum = true}); },
         {corrupted, corrupted}},
        {"garbage",
         [&](auto& s) { s.SetFaults({.garbage = garbage}); },
         {Cat({garbage, normal}), Cat({garbage, normal})}},
        {"truncated",
         [](auto& s) { s.SetFaults({.truncateReply = 5}); },
         {Bytes(normal.begin(), normal.begin() + 5), Bytes(normal.begin(), normal.begin() + 5)}},
        {"override silent once",
         [](auto& s) {
             s.SetOverride(CMD_GET_SERIAL, Over([](auto& o) { o.silent = true, o.times = 1; }));
         },
         {{}, normal}},
        {"override bad checksum",
         [](auto& s) {
             s.SetOverride(CMD_GET_SERIAL, Over([](auto& o) { o.badChecksum = true; }));
         },
         {corrupted, corrupted}},
        {"override result word twice",
         [](auto& s) {
             s.SetOverride(CMD_GET_SERIAL,
                           Over([](auto& o) { o.resultWord = 0x1234, o.times = 2; }));
         },
         {ReplyFrame({0x12, 0x34, kReplyFillerHi, kReplyFillerLo, 0x12, 0x34, 0xAB, 0x00}),
          ReplyFrame({0x12, 0x34, kReplyFillerHi, kReplyFillerLo, 0x12, 0x34, 0xAB, 0x00})}},
        {"override reply data",
         [](auto& s) {
             s.SetOverride(CMD_GET_SERIAL, Over([](auto& o) { o.replyData = Bytes{0x77}; }));
         },
         {ReplyFrame({0xEE, 0x00, 0x77}), ReplyFrame({0xEE, 0x00, 0x77})}},
        {"override empty payload once",
         [](auto& s) {
             s.SetOverride(CMD_GET_SERIAL,
                           Over([](auto& o) { o.rawPayload = Bytes{}, o.times = 1; }));
         },
         {{0x3C, 0x00, 0x00, 0xFF, 0xFF}, normal}},
        {"override for another command only",
         [](auto& s) { s.SetOverride(CMD_GET_VERSION, Over([](auto& o) { o.silent = true; })); },
         {normal, normal}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_sim.SetSerial(kSerial);
        c.set(m_sim);
        for (const Bytes& expected : c.wire) {
            ASSERT_TRUE(m_client.Send(CMD_GET_SERIAL, SUB_DEFAULT));
            EXPECT_EQ(m_client.ReadRaw(kSilence, 2s), expected);
        }
        // Silent or not, the box took the requests in.
        EXPECT_TRUE(m_sim.WaitForRequestCount(c.wire.size(), 1s));
        m_sim.ClearRequests();
        m_sim.ClearOverrides();
        m_sim.SetFaults({});
    }
}

TEST_F(BoxSimulatorTest, OverrideOfAOneBytePayload) {
    m_sim.SetOverride(CMD_GET_VERSION, Over([](auto& o) { o.rawPayload = Bytes{0xEE}; }));
    ASSERT_TRUE(m_client.Send(CMD_GET_VERSION, SUB_DEFAULT));
    EXPECT_EQ(m_client.ReadRaw(kSilence, 2s), ReplyFrame({0xEE}));
}

TEST_F(BoxSimulatorTest, SilentBoxIgnoresWhileAnOverriddenWordStillActs) {
    m_sim.SetFaults({.silent = true});
    ASSERT_TRUE(m_client.Send(CMD_CONFIG_WRITE_1, SUB_CONFIG_WRITE, Bytes(16, 0x33)));
    ASSERT_TRUE(m_sim.WaitForRequestCount(1, 1s));
    EXPECT_EQ(m_sim.ConfigBlock(1), kBlocks[0].factory);
    m_sim.SetFaults({});

    m_sim.SetOverride(CMD_CONFIG_WRITE_1, Over([](auto& o) { o.resultWord = 0x0BAD; }));
    EXPECT_EQ(Result(CMD_CONFIG_WRITE_1, Bytes(16, 0x33)), 0x0BAD);
    EXPECT_EQ(m_sim.ConfigBlock(1), Bytes(16, 0x33));
}

TEST_F(BoxSimulatorTest, ByteDelayAndThrottleStretchTheReply) {
    m_sim.SetSerial(kSerial);
    const std::size_t replyBytes = ReplyFrame(kSerialPayload).size();  // 13
    const std::size_t requestBytes = 9;
    struct Case {
        const char* name;
        std::function<void(CBoxSimulator&)> set;
        std::chrono::microseconds atLeast;
    };
    constexpr unsigned kBaud = 4800;
    const Case cases[] = {
        {"byte delay", [](auto& s) { s.SetFaults({.byteDelay = 5ms}); },
         std::chrono::milliseconds(5 * (replyBytes - 1))},
        {"throttle", [](auto& s) { s.SetFaults({.throttleBaud = kBaud}); },
         std::chrono::microseconds((requestBytes + replyBytes) * 10 * 1'000'000 / kBaud)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.set(m_sim);
        const Clock::time_point start = Clock::now();
        const auto payload = [&] {
            EXPECT_TRUE(m_client.Send(CMD_GET_SERIAL, SUB_DEFAULT));
            return m_client.ReadPayload(2s);
        }();
        const auto took = Clock::now() - start;
        ASSERT_TRUE(payload);
        EXPECT_EQ(*payload, kSerialPayload);
        EXPECT_GE(took, c.atLeast);
        m_sim.SetFaults({});
    }
}

TEST_F(BoxSimulatorTest, UnsolicitedFramesComeBetweenRepliesNeverInside) {
    m_sim.SetSerial(kSerial);
    m_sim.SetFaults({.unsolicitedInterval = 20ms});
    // On an idle line they keep coming, numbered.
    const Bytes idle = m_client.ReadRaw(200ms, 200ms);
    std::vector<Bytes> seen;
    CFrameAssembler parse(kReplyStart, 64);
    for (const std::uint8_t b : idle) {
        const auto r = parse.Feed(b);
        ASSERT_NE(r, CFrameAssembler::Result::BadChecksum);
        if (r == CFrameAssembler::Result::Frame)
            seen.emplace_back(parse.Payload().begin(), parse.Payload().end());
    }
    ASSERT_GE(seen.size(), 3u);
    for (std::size_t i = 0; i < seen.size(); ++i) {
        ASSERT_EQ(seen[i].size(), 5u);
        EXPECT_EQ(ReadBigEndian16(seen[i].data()), RESULT_OK);
        if (i > 0) {
            EXPECT_EQ(seen[i][4], static_cast<std::uint8_t>(seen[i - 1][4] + 1));
        }
    }

    // Many requests while they come fast: the stream parses into whole frames
    // only, and every request has its one reply among them.
    m_sim.SetFaults({.unsolicitedInterval = 1ms});
    constexpr int kRequests = 40;
    Bytes stream;
    Bytes frame(kTxBufSize);
    frame.resize(BuildRequestFrame(CMD_GET_SERIAL, SUB_DEFAULT, nullptr, 0, frame.data()));
    for (int i = 0; i < kRequests; ++i) {
        ASSERT_TRUE(m_client.WriteRaw(frame));
        const Bytes got = m_client.ReadRaw(3ms, 10ms);
        stream.insert(stream.end(), got.begin(), got.end());
    }
    m_sim.SetFaults({});
    const Bytes rest = m_client.ReadRaw(kSilence, 2s);
    stream.insert(stream.end(), rest.begin(), rest.end());

    CFrameAssembler all(kReplyStart, 64);
    int replies = 0;
    int unsolicited = 0;
    for (const std::uint8_t b : stream) {
        const auto r = all.Feed(b);
        ASSERT_NE(r, CFrameAssembler::Result::Skipped);
        ASSERT_NE(r, CFrameAssembler::Result::BadChecksum);
        if (r == CFrameAssembler::Result::Frame) {
            if (Bytes(all.Payload().begin(), all.Payload().end()) == kSerialPayload) {
                ++replies;
            } else {
                ++unsolicited;
            }
        }
    }
    EXPECT_EQ(replies, kRequests);
    EXPECT_GT(unsolicited, 0);
}

TEST_F(BoxSimulatorTest, ToolMayCloseAndReopenThePortWithoutEchoOrHangUp) {
    for (int i = 0; i < 3; ++i) {
        m_client.Close();
        ASSERT_TRUE(m_client.Open(m_sim.LinkPath()));
        ASSERT_TRUE(m_client.Send(CMD_GET_SERIAL, SUB_DEFAULT));
        // The first byte back is the reply's: the request was not echoed.
        const Bytes raw = m_client.ReadRaw(kSilence, 2s);
        ASSERT_FALSE(raw.empty());
        EXPECT_EQ(raw[0], kReplyStart);
    }
    EXPECT_TRUE(m_sim.IsServing());
}

TEST_F(BoxSimulatorTest, IdleBoxUsesNoProcessor) {
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    std::this_thread::sleep_for(300ms);
    getrusage(RUSAGE_SELF, &after);
    const auto cpu = [](const rusage& r) {
        return (r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1'000'000LL + r.ru_utime.tv_usec +
               r.ru_stime.tv_usec;
    };
    EXPECT_LT(cpu(after) - cpu(before), 30'000);  // well under 10% of the 300 ms
}

TEST_F(BoxSimulatorTest, UnplugHangsUpTheLineAndKeepsTheLink) {
    m_sim.SetVersion("VBX-100 V4.4");
    m_sim.Unplug();
    EXPECT_FALSE(m_sim.IsServing());
    pollfd p{m_client.Fd(), POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 1000), 1);
    EXPECT_TRUE(p.revents & (POLLHUP | POLLERR));
    std::uint8_t b = 0;
    EXPECT_LE(read(m_client.Fd(), &b, 1), 0);

    struct stat st {};
    EXPECT_EQ(lstat(m_sim.LinkPath().c_str(), &st), 0);
    PtyClient other;
    EXPECT_FALSE(other.Open(m_sim.LinkPath()));

    // Plugged in again: a new line behind the same name, the box's memory kept.
    ASSERT_TRUE(m_sim.Start(m_dir, 3));
    ASSERT_TRUE(m_client.Open(m_sim.LinkPath()));
    const Bytes version = Ok(CMD_GET_VERSION);
    EXPECT_EQ(std::string(version.begin() + 2, version.end()), "VBX-100 V4.4");
}

TEST(BoxSimulatorLifeTest, StartReplacesAStaleLinkAndStopRemovesIt) {
    const CTempDir folder("boxsim");
    const std::string dir = folder.Path();
    const std::string link = dir + "/COM12";
    ASSERT_EQ(symlink("/dev/does-not-exist", link.c_str()), 0);
    {
        CBoxSimulator sim;
        ASSERT_TRUE(sim.Start(dir, 12));
        EXPECT_EQ(sim.LinkPath(), link);
        EXPECT_EQ(std::filesystem::read_symlink(link).string(), sim.SlavePath());
        EXPECT_FALSE(sim.Start(dir, 12));  // already serving
        PtyClient client;
        ASSERT_TRUE(client.Open(link));
        EXPECT_TRUE(client.Transact(CMD_GET_SERIAL, SUB_DEFAULT));
        sim.Stop();
        EXPECT_FALSE(std::filesystem::is_symlink(link));
        // Started again after a stop.
        ASSERT_TRUE(sim.Start(dir, 12));
        EXPECT_TRUE(std::filesystem::is_symlink(link));
    }
    // The destructor stops and removes the link.
    EXPECT_FALSE(std::filesystem::is_symlink(link));
}

TEST(BoxSimulatorLifeTest, StartFailsWhenTheFolderIsMissing) {
    const CTempDir folder("boxsim");
    CBoxSimulator sim;
    EXPECT_FALSE(sim.Start(folder / "missing", 3));
    EXPECT_FALSE(sim.IsServing());
}

}  // namespace
