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

bool BuildFrame(std::uint8_t start, const std::uint8_t* payload, std::size_t count,
                std::vector<std::uint8_t>& frame) {
    if (count > 0xFFFF)
        return false;
    frame.assign(count + kFrameOverhead, 0);
    frame[0] = start;
    WriteBigEndian16(&frame[1], static_cast<std::uint16_t>(count));
    if (count != 0)
        std::memcpy(&frame[3], payload, count);
    WriteBigEndian16(&frame[3 + count], FrameChecksum(payload, count));
    return true;
}

std::size_t BuildRequestFrame(const std::uint8_t* payload, std::size_t count, std::uint8_t* txBuf) {
    if (count > kMaxRequestPayload)
        return 0;
    std::memset(txBuf, 0, kTxBufSize);
    txBuf[0] = kRequestStart;
    WriteBigEndian16(&txBuf[1], static_cast<std::uint16_t>(count));
    if (count != 0)
        std::memcpy(&txBuf[3], payload, count);
    WriteBigEndian16(&txBuf[3 + count], FrameChecksum(payload, count));
    return count + kFrameOverhead;
}

bool BuildRequestPayload(std::uint16_t command, std::uint16_t subCode, const std::uint8_t* data,
                         std::size_t count, std::vector<std::uint8_t>& payload) {
    if (count > kMaxRequestData)
        return false;
    payload.assign(kRequestHeaderSize + count, 0);
    WriteBigEndian16(&payload[0], command);
    WriteBigEndian16(&payload[2], subCode);
    if (count != 0 && data != nullptr)
        std::memcpy(&payload[4], data, count);
    return true;
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
    : m_start(start), m_maxPayload(maxPayload) {}

void CFrameAssembler::Reset() {
    m_state = 0;
    m_length = 0;
}

CFrameAssembler::Result CFrameAssembler::Feed(std::uint8_t byte) {
    enum { kStart, kLenHi, kLenLo, kPayload, kCheckHi, kCheckLo };
    switch (m_state) {
        case kStart:
            if (byte != m_start)
                return Result::Skipped;
            m_state = kLenHi;
            return Result::NeedMore;
        case kLenHi:
            m_length = std::size_t{byte} << 8;
            m_state = kLenLo;
            return Result::NeedMore;
        case kLenLo:
            m_length |= byte;
            if (m_length > m_maxPayload) {
                Reset();
                return Result::TooLong;
            }
            m_payload.clear();
            m_payload.reserve(m_length);
            m_state = m_length == 0 ? kCheckHi : kPayload;
            return Result::NeedMore;
        case kPayload:
            m_payload.push_back(byte);
            if (m_payload.size() == m_length)
                m_state = kCheckHi;
            return Result::NeedMore;
        case kCheckHi:
            m_checkHi = byte;
            m_state = kCheckLo;
            return Result::NeedMore;
        default:
            Reset();
            return ChecksumMatches(m_payload.data(), m_payload.size(), m_checkHi, byte)
                       ? Result::Frame
                       : Result::BadChecksum;
    }
}
