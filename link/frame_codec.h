#pragma once
// Frame codec: the byte layout shared by both ends of the line.
//
// A frame is a start byte ('>' from the tool, '<' from the box), a big-endian
// 16-bit payload length L, L payload bytes and a big-endian checksum, which is
// 0xFFFF minus the 16-bit wrapping sum of the payload bytes. A request payload
// opens with command code and sub-code; a reply payload opens with the box's
// result word. Everything here is a pure function of its bytes; the device
// link does the reading and writing.

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr std::uint8_t kRequestStart = 0x3E;  // '>'
constexpr std::uint8_t kReplyStart = 0x3C;    // '<'

// A request payload fits the box's receive buffer only up to this size.
constexpr std::size_t kMaxRequestPayload = 1040;
// Command code and sub-code take the first four payload bytes.
constexpr std::size_t kRequestHeaderSize = 4;
constexpr std::size_t kMaxRequestData = kMaxRequestPayload - kRequestHeaderSize;
// Transmit buffer: the largest frame (1045 bytes) with room to spare.
constexpr std::size_t kTxBufSize = 1056;
// Reply frame buffer: length field, payload and checksum.
constexpr std::size_t kFrameBufSize = 2080;
constexpr std::size_t kMaxReplyPayload = kFrameBufSize - 4;
// Unsolicited frames are read into a buffer of their own.
constexpr std::size_t kRxBufSize = 1056;
constexpr std::size_t kMaxUnsolicitedPayload = kRxBufSize - 4;
// A reply must carry at least its result word to be accepted.
constexpr std::size_t kMinReplyPayload = 2;
// Bytes a frame adds around its payload: start byte, length, checksum.
constexpr std::size_t kFrameOverhead = 5;

std::uint16_t ByteSum16(const std::uint8_t* bytes, std::size_t count);

// The checksum a frame carries for this payload.
std::uint16_t FrameChecksum(const std::uint8_t* payload, std::size_t count);

bool ChecksumMatches(const std::uint8_t* payload, std::size_t count, std::uint8_t hi,
                     std::uint8_t lo);

// Builds a whole frame. Returns false, leaving `frame` untouched, when the
// payload does not fit a 16-bit length field.
bool BuildFrame(std::uint8_t start, const std::uint8_t* payload, std::size_t count,
                std::vector<std::uint8_t>& frame);

// Builds a request frame into `txBuf` (kTxBufSize bytes, cleared first) and
// returns its length, or 0 when the payload is over kMaxRequestPayload; then
// nothing is written to `txBuf`.
std::size_t BuildRequestFrame(const std::uint8_t* payload, std::size_t count, std::uint8_t* txBuf);

// Request payload: command code, sub-code, data. Returns false when the data is
// longer than kMaxRequestData.
bool BuildRequestPayload(std::uint16_t command, std::uint16_t subCode, const std::uint8_t* data,
                         std::size_t count, std::vector<std::uint8_t>& payload);

// Hands an accepted reply payload (at least kMinReplyPayload bytes) to the
// caller's destinations; each may be null. The reply length is the full data
// length whatever the limit; the buffer receives at most `limit` bytes.
void HandOverReply(const std::uint8_t* payload, std::size_t count, std::uint16_t* resultWord,
                   std::uint8_t* buffer, std::uint32_t limit, std::uint32_t* replyLength);

std::uint16_t ReadBigEndian16(const std::uint8_t* p);
std::uint32_t ReadBigEndian32(const std::uint8_t* p);
std::uint32_t ReadLittleEndian32(const std::uint8_t* p);
void WriteBigEndian16(std::uint8_t* p, std::uint16_t v);
void WriteBigEndian32(std::uint8_t* p, std::uint32_t v);
void WriteLittleEndian32(std::uint8_t* p, std::uint32_t v);

// Incremental frame reader for the stream side that has no time-outs of its
// own (the simulator, tests): feed bytes one at a time; bytes before a start
// byte are skipped. A frame whose length exceeds `maxPayload` is rejected as
// soon as its length field is seen and reading starts over.
class CFrameAssembler {
public:
    enum class Result { NeedMore, Frame, BadChecksum, TooLong, Skipped };

    CFrameAssembler(std::uint8_t start, std::size_t maxPayload);
    Result Feed(std::uint8_t byte);
    // The payload of the last Frame or BadChecksum result.
    const std::vector<std::uint8_t>& Payload() const { return m_payload; }
    void Reset();

private:
    std::uint8_t m_start;
    std::size_t m_maxPayload;
    int m_state = 0;
    std::size_t m_length = 0;
    std::uint8_t m_checkHi = 0;
    std::vector<std::uint8_t> m_payload;
};
