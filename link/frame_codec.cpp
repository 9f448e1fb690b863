#include "link/frame_codec.h"

#include <algorithm>
#include <cstring>

std::uint16_t ByteSum16(const std::uint8_t* bytes, std::size_t count) {
    std::uint16_t sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum = static_cast<std::uint16_t>(sum + bytes[i]);
    return sum;
}

std::uint16_t FrameChecksum(const std::uint8_t* payload, std::size_t count) {
    return static_cast<std::uint16_t>(0xFFFF - ByteSum16(payload, count));
}

bool ChecksumMatches(const std::uint8_t* payload, std::size_t count, std::uint8_t hi,
                     std::uint8_t lo) {
    return static_cast<std::uint16_t>(hi << 8 | lo) == FrameChecksum(payload, count);
}

namespace {

// Bytes ahead of the payload: start byte and length field.
constexpr std::size_t kFrameHeaderSize = 3;

// The frame layout, written once: `frame` holds the payload at
// kFrameHeaderSize; the start byte, length and checksum go around it. Returns
// the frame's length.
std::size_t SealFrame(std::uint8_t start, std::uint8_t* frame, std::size_t count) {
    frame[0] = start;
    WriteBigEndian16(&frame[1], static_cast<std::uint16_t>(count));
    WriteBigEndian16(&frame[kFrameHeaderSize + count],
                     FrameChecksum(&frame[kFrameHeaderSize], count));
    return count + kFrameOverhead;
}

}  // namespace

bool BuildFrame(std::uint8_t start, const std::uint8_t* payload, std::size_t count,
                std::vector<std::uint8_t>& frame) {
    if (count > 0xFFFF)
        return false;
    frame.assign(count + kFrameOverhead, 0);
    if (count != 0)
        std::memcpy(&frame[kFrameHeaderSize], payload, count);
    SealFrame(start, frame.data(), count);
    return true;
}

std::size_t BuildRequestFrame(std::uint16_t command, std::uint16_t subCode,
                              const std::uint8_t* data, std::size_t count, std::uint8_t* txBuf) {
    if (count > kMaxRequestData)
        return 0;
    std::uint8_t* payload = &txBuf[kFrameHeaderSize];
    WriteBigEndian16(&payload[0], command);
    WriteBigEndian16(&payload[2], subCode);
    if (count != 0) {
        // Without data, send zeros rather than whatever the buffer held.
        if (data != nullptr) {
            std::memcpy(&payload[kRequestHeaderSize], data, count);
        } else {
            std::memset(&payload[kRequestHeaderSize], 0, count);
        }
    }
    return SealFrame(kRequestStart, txBuf, kRequestHeaderSize + count);
}

void HandOverReply(const std::uint8_t* payload, std::size_t count, std::uint16_t* resultWord,
                   std::uint8_t* buffer, std::uint32_t limit, std::uint32_t* replyLength) {
    const std::size_t dataLength = count - kMinReplyPayload;
    if (resultWord != nullptr)
        *resultWord = ReadBigEndian16(payload);
    if (replyLength != nullptr)
        *replyLength = static_cast<std::uint32_t>(dataLength);
    if (buffer != nullptr) {
        const std::size_t n = std::min<std::size_t>(limit, dataLength);
        if (n != 0)
            std::memcpy(buffer, payload + kMinReplyPayload, n);
    }
}

std::uint16_t ReadBigEndian16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}

std::uint32_t ReadBigEndian32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 |
           std::uint32_t{p[3]};
}

std::uint32_t ReadLittleEndian32(const std::uint8_t* p) {
    return std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 |
           std::uint32_t{p[0]};
}

void WriteBigEndian16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v);
}

void WriteBigEndian32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

void WriteLittleEndian32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

CFrameAssembler::CFrameAssembler(std::uint8_t start, std::size_t maxPayload)
    : m_start(start), m_maxPayload(maxPayload), m_frame(maxPayload + kFrameOverhead) {}

void CFrameAssembler::Reset() {
    m_have = 0;
    m_done = 0;
    m_tooLong = 0;
}

std::size_t CFrameAssembler::AnnouncedLength() const {
    return ReadBigEndian16(&m_frame[1]);
}

std::size_t CFrameAssembler::Wanted() const {
    if (m_have < kFrameHeaderSize)
        return m_have == 0 ? 1 : kFrameHeaderSize - m_have;
    return AnnouncedLength() + kFrameOverhead - m_have;
}

CFrameAssembler::Result CFrameAssembler::Feed(std::uint8_t byte) {
    *Room() = byte;
    return Take(1);
}

CFrameAssembler::Result CFrameAssembler::Take(std::size_t count) {
    m_done = 0;
    m_tooLong = 0;
    m_have += count;
    if (m_have == 1) {
        if (m_frame[0] == m_start)
            return Result::NeedMore;
        m_have = 0;
        return Result::Skipped;
    }
    if (m_have < kFrameHeaderSize)
        return Result::NeedMore;
    const std::size_t length = AnnouncedLength();
    if (m_have == kFrameHeaderSize && length > m_maxPayload) {
        m_tooLong = m_have;
        m_have = 0;
        return Result::TooLong;
    }
    if (m_have < length + kFrameOverhead)
        return Result::NeedMore;
    m_done = m_have;
    m_have = 0;
    const std::uint8_t* check = &m_frame[kFrameHeaderSize + length];
    return ChecksumMatches(&m_frame[kFrameHeaderSize], length, check[0], check[1])
               ? Result::Frame
               : Result::BadChecksum;
}

std::span<const std::uint8_t> CFrameAssembler::FrameBytes() const {
    return {m_frame.data(), m_done};
}

std::span<const std::uint8_t> CFrameAssembler::Payload() const {
    if (m_done == 0)
        return {};
    return {m_frame.data() + kFrameHeaderSize, m_done - kFrameOverhead};
}

std::span<const std::uint8_t> CFrameAssembler::AfterFalseStart() const {
    const std::size_t n = m_have != 0 ? m_have : (m_done != 0 ? m_done : m_tooLong);
    if (n <= 1)
        return {};
    return {m_frame.data() + 1, n - 1};
}
