// Frame codec and reply text helpers against the protocol's worked examples.
#include "link/frame_codec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/bytes_text.h"
#include "link/command_codes.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// The bytes the device link writes for this request (BuildRequestFrame is
// what it sends with).
Bytes RequestFrame(std::uint16_t command, std::uint16_t subCode, const Bytes& data,
                   const std::uint8_t* dataPointer) {
    std::uint8_t tx[kTxBufSize];
    const std::size_t n = BuildRequestFrame(command, subCode, dataPointer, data.size(), tx);
    EXPECT_NE(n, 0u);
    return Bytes(tx, tx + n);
}

Bytes RequestFrame(std::uint16_t command, std::uint16_t subCode, const Bytes& data) {
    return RequestFrame(command, subCode, data, data.empty() ? nullptr : data.data());
}

struct RequestCase {
    const char* name;
    std::uint16_t command;
    std::uint16_t subCode;
    Bytes data;
    bool dataGiven;  // false: the caller passes no data pointer
    Bytes frame;
};

TEST(FrameCodec, RequestFramesMatchWorkedExamples) {
    const RequestCase cases[] = {
        {"serial",
         CMD_GET_SERIAL,
         1,
         {},
         true,
         {0x3E, 0x00, 0x04, 0x1A, 0x9B, 0x00, 0x01, 0xFF, 0x49}},
        {"factory",
         CMD_FACTORY_RESET,
         1,
         {},
         true,
         {0x3E, 0x00, 0x04, 0x2E, 0x09, 0x00, 0x01, 0xFF, 0xC7}},
        {"settings write with data",
         CMD_CONFIG_WRITE_1,
         SUB_CONFIG_WRITE,
         {0x01, 0x02},
         true,
         {0x3E, 0x00, 0x06, 0x2E, 0x07, 0x00, 0x00, 0x01, 0x02, 0xFF, 0xC7}},
        {"length without data sends zeros",
         CMD_JUMP,
         1,
         {0x00, 0x00, 0x00},
         false,
         {0x3E, 0x00, 0x07, 0x36, 0x05, 0x00, 0x01, 0x00, 0x00, 0x00, 0xFF, 0xC3}},
    };
    for (const RequestCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::uint8_t* data = c.dataGiven && !c.data.empty() ? c.data.data() : nullptr;
        EXPECT_EQ(RequestFrame(c.command, c.subCode, c.data, data), c.frame);
    }
    const std::uint8_t serialPayload[] = {0x1A, 0x9B, 0x00, 0x01};
    EXPECT_EQ(ByteSum16(serialPayload, sizeof serialPayload), 0x00B6);
}

TEST(FrameCodec, ChecksumWrapsAtSixteenBits) {
    // Command code and sub-code 0xFFFF: the whole payload is 0xFF bytes.
    const Bytes payload(kMaxRequestPayload, 0xFF);
    EXPECT_EQ(ByteSum16(payload.data(), payload.size()), 0x0BF0);
    EXPECT_EQ(FrameChecksum(payload.data(), payload.size()), 0xF40F);

    std::uint8_t tx[kTxBufSize];
    ASSERT_EQ(BuildRequestFrame(0xFFFF, 0xFFFF, payload.data(), kMaxRequestData, tx), 1045u);
    EXPECT_EQ(tx[1], 0x04);
    EXPECT_EQ(tx[2], 0x10);
    EXPECT_EQ(tx[1043], 0xF4);
    EXPECT_EQ(tx[1044], 0x0F);
}

TEST(FrameCodec, RequestSizeLimit) {
    const Bytes largest(kMaxRequestData, 0x5A);
    EXPECT_EQ(RequestFrame(CMD_FILE_DATA, 1, largest).size(), 1045u);

    // One byte more is refused without touching the transmit buffer.
    const Bytes tooLarge(kMaxRequestData + 1, 0x5A);
    std::uint8_t tx[kTxBufSize];
    std::memset(tx, 0xA5, sizeof tx);
    EXPECT_EQ(BuildRequestFrame(CMD_FILE_DATA, 1, tooLarge.data(), tooLarge.size(), tx), 0u);
    EXPECT_EQ(tx[0], 0xA5);
    EXPECT_EQ(tx[kTxBufSize - 1], 0xA5);
}

// Reply acceptance by the one frame reader, fed a byte at a time (the
// simulator, the tests) and a part at a time (the device link).
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
        CFrameAssembler bytewise(kReplyStart, 8);
        CFrameAssembler::Result r = CFrameAssembler::Result::NeedMore;
        for (std::uint8_t b : c.wire)
            r = bytewise.Feed(b);
        EXPECT_EQ(r, c.last);

        CFrameAssembler partwise(kReplyStart, 8);
        std::size_t at = 0;
        std::vector<std::size_t> parts;
        CFrameAssembler::Result p = CFrameAssembler::Result::NeedMore;
        while (p == CFrameAssembler::Result::NeedMore && at < c.wire.size()) {
            const std::size_t n = partwise.Wanted();
            ASSERT_LE(at + n, c.wire.size());
            std::memcpy(partwise.Room(), &c.wire[at], n);
            at += n;
            parts.push_back(n);
            p = partwise.Take(n);
        }
        EXPECT_EQ(p, c.last);
        EXPECT_EQ(at, c.wire.size());

        if (!c.payload.empty()) {
            for (const CFrameAssembler* a : {&bytewise, &partwise}) {
                EXPECT_EQ(Bytes(a->Payload().begin(), a->Payload().end()), c.payload);
                EXPECT_EQ(Bytes(a->FrameBytes().begin(), a->FrameBytes().end()), c.wire);
            }
            // Start byte, length field, the rest: never a byte past the frame.
            EXPECT_EQ(parts, (std::vector<std::size_t>{1, 2, c.wire.size() - 3}));
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
    EXPECT_EQ(BytesToLowerHex(hex, 3), "01ab00");
    EXPECT_EQ(BytesToLowerHex(hex, 0), "");

    const std::uint8_t text[] = {0x41, 0x42, 0x00, 0x43};
    EXPECT_EQ(BytesToText(text, 4), "AB");
    // Without a zero byte the text ends after `count` bytes.
    EXPECT_EQ(BytesToText(text, 2), "AB");
    EXPECT_EQ(BytesToText(text, 0), "");
}

}  // namespace
