#include "layouts/transfer_packets.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dialog/dialog_model.h"
#include "firmware/load_slots.h"
#include "res/resource.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Ramp(std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return b;
}

TEST(UpgradeHeaderLength, OnlyTheTwoByteSignatureGivesTheShortHeader) {
    struct Case {
        Bytes image;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {{0xC9, 0x49, 0x00}, 32},
        {{0xC9, 0x49}, 32},
        {{0xC9, 0x48, 0x00}, 128},
        {{0x49, 0xC9, 0x00}, 128},
        {{0x00, 0x49, 0x00}, 128},
        {{0xC9}, 128},
        {{}, 128},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(UpgradeHeaderLength(c.image), c.expected) << ::testing::PrintToString(c.image);
    }
}

TEST(NextChunkLength, FullChunksThenTheRest) {
    struct Case {
        std::uint32_t offset, total, expected;
    };
    const Case cases[] = {
        {0, 0, 0},
        {0, 1, 1},
        {0, 256, 256},
        {0, 257, 256},
        {256, 257, 1},
        {0, 300, 256},
        {256, 300, 44},
        {768, 1024, 256},
        {0xFFFFFF00u, 0xFFFFFFFFu, 0xFF},  // no wrap near the top of the range
        {0xFFFFFE00u, 0xFFFFFFFFu, 256},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NextChunkLength(c.offset, c.total), c.expected) << c.offset << " of " << c.total;
    }
}

TEST(TransferPackets, UpgradePacketCarriesBigEndianOffsetAndLength) {
    const Bytes data = Ramp(300);
    const Bytes packet = BuildUpgradeDataPacket(0x01020304, data.data(), 0x12C);
    ASSERT_EQ(packet.size(), 6u + 300u);
    EXPECT_EQ(Bytes(packet.begin(), packet.begin() + 6),
              (Bytes{0x01, 0x02, 0x03, 0x04, 0x01, 0x2C}));
    EXPECT_EQ(Bytes(packet.begin() + 6, packet.end()), data);

    const Bytes empty = BuildUpgradeDataPacket(0, nullptr, 0);
    EXPECT_EQ(empty, (Bytes{0, 0, 0, 0, 0, 0}));
}

TEST(TransferPackets, DownloadPacketHasLittleEndianAddressAndBigEndianLength) {
    const Bytes data = Ramp(232);
    const Bytes packet = BuildDownloadPacket(0x0003C400, data.data(), 232);
    ASSERT_EQ(packet.size(), 6u + 232u);
    EXPECT_EQ(Bytes(packet.begin(), packet.begin() + 6),
              (Bytes{0x00, 0xC4, 0x03, 0x00, 0x00, 0xE8}));
    EXPECT_EQ(Bytes(packet.begin() + 6, packet.end()), data);
}

TEST(TransferPackets, InformationBlockLayout) {
    Sha1Digest digest{};
    for (std::size_t i = 0; i < digest.size(); ++i)
        digest[i] = static_cast<std::uint8_t>(0xA0 + i);
    const auto block = BuildInfoBlock(0x0003C000, 1000, digest);

    Bytes expected(262, 0);
    const std::uint8_t head[] = {0x00, 0xC0, 0x03, 0x00, 0x01, 0x00, 0xE8, 0x03, 0x00, 0x00};
    std::memcpy(expected.data(), head, sizeof head);
    std::memcpy(expected.data() + 10, digest.data(), digest.size());
    EXPECT_EQ(Bytes(block.begin(), block.end()), expected);
}

TEST(TransferPackets, JumpRequestIsAddressAndSixZeros) {
    const auto request = BuildJumpRequest(0x000B4000);
    EXPECT_EQ(Bytes(request.begin(), request.end()),
              (Bytes{0x00, 0x40, 0x0B, 0x00, 0, 0, 0, 0, 0, 0}));
}

TEST(TransferPackets, DownloadMustNotWrapTheAddressSpace) {
    EXPECT_TRUE(DownloadFitsAddressSpace(0x000B4000, 1000));
    EXPECT_TRUE(DownloadFitsAddressSpace(0x000B4000, 0xFFFFFFFFu - 0x000B4000 - 256 + 1));
    EXPECT_FALSE(DownloadFitsAddressSpace(0x000B4000, 0xFFFFFFFFu - 0x000B4000 - 256 + 2));
    EXPECT_FALSE(DownloadFitsAddressSpace(0x0001E000, 0xFFFFFFFFu));
}

std::string Hex(const Sha1Digest& d) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string s;
    for (std::uint8_t b : d) {
        s += kDigits[b >> 4];
        s += kDigits[b & 15];
    }
    return s;
}

TEST(ComputeSha1, KnownDigests) {
    struct Case {
        std::string input;
        const char* digest;
    };
    const Case cases[] = {
        {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
        {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
    };
    for (const Case& c : cases) {
        Sha1Digest d{};
        ASSERT_TRUE(
            ComputeSha1(reinterpret_cast<const std::uint8_t*>(c.input.data()), c.input.size(), d));
        EXPECT_EQ(Hex(d), c.digest) << c.input;
    }
}

TEST(LoadAddress, SlotIndexGivesAddressAndNoSelectionGivesZero) {
    const std::pair<int, std::uint32_t> cases[] = {{-1, 0},      {0, 0x1E000}, {1, 0x3C000},
                                                   {2, 0x5A000}, {3, 0x78000}, {4, 0x96000},
                                                   {5, 0xB4000}};
    for (const auto& [index, address] : cases)
        EXPECT_EQ(LoadAddressForIndex(index), address);
}

TEST(LoadAddress, ListHoldsTheSixTextsWithTheFirstSelected) {
    CDialogModel model;
    FillLoadAddressList(model);
    const ControlState c = model.GetControl(IDC_LOAD_ADDRESS);
    EXPECT_EQ(c.items, (std::vector<std::string>{"0x0001E000", "0x0003C000", "0x0005A000",
                                                 "0x00078000", "0x00096000", "0x000B4000"}));
    EXPECT_EQ(c.curSel, 0);
}

}  // namespace
