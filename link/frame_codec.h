#pragma once
// Frame codec: the byte layout shared by both ends of the line.
//
// A frame is a start byte ('>' from the tool, '<' from the box), a big-endian
// 16-bit payload length L, L payload bytes and a big-endian checksum, which is
// 0xFFFF minus the 16-bit wrapping sum of the payload bytes. A request payload
// opens with command code and sub-code; a reply payload opens with the box's
// result word. The frame layout is written in one place (every builder here
// ends in it) and read in one place (CFrameAssembler, which the device link,
// the simulator and the tests all read frames with). Nothing here does input
// or output; the device link does the reading and writing.

#include <cstddef>
#include <cstdint>
#include <span>
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
// A reply is read whole into a 2080-byte buffer with its length field and
// checksum, so its payload may take the rest.
constexpr std::size_t kMaxReplyPayload = 2080 - 4;
// A frame of the box's own is read into a 1056-byte buffer the same way.
constexpr std::size_t kMaxUnsolicitedPayload = 1056 - 4;
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

// The request frame the device link writes: command code, sub-code and `count`
// bytes of data (zeros when `data` is null), framed with the request start
// byte, into `txBuf` (kTxBufSize bytes). Returns its length, or 0 when the data
// is longer than kMaxRequestData; then nothing is written to `txBuf`.
std::size_t BuildRequestFrame(std::uint16_t command, std::uint16_t subCode,
                              const std::uint8_t* data, std::size_t count, std::uint8_t* txBuf);

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

// The one frame reader. Bytes go in either one at a time (Feed: a stream
// with no time-outs of its own, as the simulator and the tests read) or a part
// at a time (Wanted, Room, Take: the device link, which reads each part with
// its own wait and never reads past a frame). A frame must open with the start
// byte: any other byte there is skipped. A frame whose length exceeds
// `maxPayload` is rejected as soon as its length field is in, and reading
// starts over. The frame is kept whole as it came off the line, in a buffer
// sized once for the largest frame.
class CFrameAssembler {
public:
    enum class Result { NeedMore, Frame, BadChecksum, TooLong, Skipped };

    CFrameAssembler(std::uint8_t start, std::size_t maxPayload);

    Result Feed(std::uint8_t byte);

    // Bytes still to come before the assembler can say more: 1 for the start
    // byte, then the rest of the length field, then the rest of the frame.
    std::size_t Wanted() const;
    // Where the next Wanted() bytes go.
    std::uint8_t* Room() { return m_frame.data() + m_have; }
    // Takes `count` (1 to Wanted()) bytes written to Room().
    Result Take(std::size_t count);

    // The last Frame or BadChecksum: the whole frame as read, and its payload.
    // Valid until the next Feed, Take or Reset.
    std::span<const std::uint8_t> FrameBytes() const;
    std::span<const std::uint8_t> Payload() const;
    // The bytes after the start byte of a frame that came to nothing: the
    // last TooLong or BadChecksum, or a frame still half read. A reader that
    // took a stray start byte for a frame's looks through them again, since
    // the real frame may begin among them. Valid until the next Feed, Take or
    // Reset.
    std::span<const std::uint8_t> AfterFalseStart() const;
    // Drops a frame half read.
    void Reset();

private:
    std::size_t AnnouncedLength() const;

    std::uint8_t m_start;
    std::size_t m_maxPayload;
    std::vector<std::uint8_t> m_frame;  // start byte, length, payload, checksum
    std::size_t m_have = 0;             // bytes of the frame being read
    std::size_t m_done = 0;             // size of the last whole frame
    std::size_t m_tooLong = 0;          // header bytes of the last TooLong
};
