// Frame codec and reply text helpers against the protocol's worked examples.
#include "link/frame_codec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "link/bytes_text.h"
#include "link/command_codes.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes RequestFrame(std::uint16_t command, std::uint16_t subCode, const Bytes& data) {
    Bytes payload;
    EXPECT_TRUE(BuildRequestPayload(command, subCode, data.data(), data.size(), payload));
    std::uint8_t tx[kTxBufSize];
    const std::size_t n = BuildRequestFrame(payload.data(), payload.size(), tx);
    return Bytes(tx, tx + n);
}

struct RequestCase {
    const char* name;
    std::uint16_t command;
    std::uint16_t subCode;
    Bytes frame;
};

TEST(FrameCodec, RequestFramesMatchWorkedExamples) {
    const RequestCase cases[] = {
        {"serial", CMD_GET_SERIAL, 1, {0x3E, 0x00, 0x04, 0x1A, 0x9B, 0x00, 0x01, 0xFF, 0x49}},
        {"factory", CMD_FACTORY_RESET, 1, {0x3E, 0x00, 0x04, 0x2E, 0x09, 0x00, 0x01, 0xFF, 0xC7}},
    };
    for (const RequestCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(RequestFrame(c.command, c.subCode, {}), c.frame);
    }
    const std::uint8_t serialPayload[] = {0x1A, 0x9B, 0x00, 0x01};
    EXPECT_EQ(ByteSum16(serialPayload, sizeof serialPayload), 0x00B6);
}

TEST(FrameCodec, ChecksumWrapsAtSixteenBits) {
    const Bytes payload(kMaxRequestPayload, 0xFF);
    EXPECT_EQ(ByteSum16(payload.data(), payload.size()), 0x0BF0);
    EXPECT_EQ(FrameChecksum(payload.data(), payload.size()), 0xF40F);

    std::uint8_t tx[kTxBufSize];
    ASSERT_EQ(BuildRequestFrame(payload.data(), payload.size(), tx), 1045u);
    EXPECT_EQ(tx[1], 0x04);
    EXPECT_EQ(tx[2], 0x10);
    EXPECT_EQ(tx[1043], 0xF4);
    EXPECT_EQ(tx[1044], 0x0F);
}

TEST(FrameCodec, RequestSizeLimit) {
    Bytes payload;
    const Bytes largest(kMaxRequestData, 0x5A);
    ASSERT_TRUE(BuildRequestPayload(CMD_FILE_DATA, 1, largest.data(), largest.size(), payload));
    EXPECT_EQ(payload.size(), 1040u);
    EXPECT_EQ(RequestFrame(CMD_FILE_DATA, 1, largest).size(), 1045u);

    const Bytes tooLarge(kMaxRequestData + 1, 0x5A);
    Bytes untouched = {1, 2, 3};
    EXPECT_FALSE(
        BuildRequestPayload(CMD_FILE_DATA, 1, tooLarge.data(), tooLarge.size(), untouched));
    EXPECT_EQ(untouched, (Bytes{1, 2, 3}));

    // The frame builder refuses too, without touching the transmit buffer.
    const Bytes oversize(kMaxRequestPayload + 1, 0x00);
    std::uint8_t tx[kTxBufSize];
    std::memset(tx, 0xA5, sizeof tx);
    EXPECT_EQ(BuildRequestFrame(oversize.data(), oversize.size(), tx), 0u);
    EXPECT_EQ(tx[0], 0xA5);
    EXPECT_EQ(tx[kTxBufSize - 1], 0xA5);
}

// Reply acceptance: the assembler as the simulator and tests read frames.
struct AssembleCase {
    const char* name;
    Bytes wire;
    CFrameAssembler::Result last;
    Bytes payload;
};

TEST(FrameCodec, ReplyAcceptance) {
    const Bytes good = {0x3C, 0x00, 0x04, 0xEE, 0x00, 0xAB, 0xCD, 0xFD, 0x99};
    Bytes bad = good;
    bad.back() ^= 0x01;
    const AssembleCase cases[] = {
        {"worked example", good, CFrameAssembler::Result::Frame, {0xEE, 0x00, 0xAB, 0xCD}},
        {"wrong checksum", bad, CFrameAssembler::Result::BadChecksum, {0xEE, 0x00, 0xAB, 0xCD}},
        {"length over the limit", {0x3C, 0x00, 0x09}, CFrameAssembler::Result::TooLong, {}},
        {"stray byte first", {0x00}, CFrameAssembler::Result::Skipped, {}},
    };
    for (const AssembleCase& c : cases) {
        SCOPED_TRACE(c.name);
        CFrameAssembler assembler(kReplyStart, 8);
        CFrameAssembler::Result r = CFrameAssembler::Result::NeedMore;
        for (std::uint8_t b : c.wire)
            r = assembler.Feed(b);
        EXPECT_EQ(r, c.last);
        if (!c.payload.empty()) {
            EXPECT_EQ(assembler.Payload(), c.payload);
        }
    }
}

struct HandOverCase {
    const char* name;
    Bytes payload;
    std::uint32_t limit;
    std::uint16_t resultWord;
    std::uint32_t replyLength;
    Bytes buffer;  // the caller's 4-byte buffer afterwards (initially 0x77)
};

TEST(FrameCodec, HandOverHonoursLimit) {
    const HandOverCase cases[] = {
        {"worked example", {0xEE, 0x00, 0xAB, 0xCD}, 512, 0xEE00, 2, {0xAB, 0xCD, 0x77, 0x77}},
        {"limit cuts data", {0x12, 0x34, 1, 2, 3}, 2, 0x1234, 3, {1, 2, 0x77, 0x77}},
        {"result word only", {0xEE, 0x00}, 512, 0xEE00, 0, {0x77, 0x77, 0x77, 0x77}},
        {"limit zero", {0xEE, 0x00, 9}, 0, 0xEE00, 1, {0x77, 0x77, 0x77, 0x77}},
    };
    for (const HandOverCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::uint16_t result = 0;
        std::uint32_t length = 0;
        Bytes buffer(4, 0x77);
        HandOverReply(c.payload.data(), c.payload.size(), &result, buffer.data(), c.limit, &length);
        EXPECT_EQ(result, c.resultWord);
        EXPECT_EQ(length, c.replyLength);
        EXPECT_EQ(buffer, c.buffer);
        // Absent destinations are skipped.
        HandOverReply(c.payload.data(), c.payload.size(), nullptr, nullptr, c.limit, nullptr);
    }
}

TEST(BytesText, HexAndText) {
    const std::uint8_t hex[] = {0x01, 0xAB, 0x00};
    EXPECT_EQ(BytesToHex(hex, 3), "01AB00");
    EXPECT_EQ(BytesToHex(hex, 0), "");

    const std::uint8_t text[] = {0x41, 0x42, 0x00, 0x43};
    EXPECT_EQ(BytesToText(text, 4), "AB");
    // Without a zero byte the text ends after `count` bytes.
    EXPECT_EQ(BytesToText(text, 2), "AB");
    EXPECT_EQ(BytesToText(text, 0), "");
}

}  // namespace
