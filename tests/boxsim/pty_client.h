#pragma once
// The tool's end of the line, as bare as it gets: a raw-mode descriptor on the
// simulator's link, request frames built with the frame codec, and replies
// read with poll(). Deliberately independent of the device link, so that the
// simulator's tests do not rest on the code they will later test.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct ClientReply {
    std::uint16_t resultWord = 0;
    std::vector<std::uint8_t> data;  // after the result word
};

class PtyClient {
public:
    PtyClient() = default;
    ~PtyClient();
    PtyClient(const PtyClient&) = delete;
    PtyClient& operator=(const PtyClient&) = delete;

    bool Open(const std::string& path);
    void Close();
    int Fd() const { return m_fd; }

    bool WriteRaw(const std::vector<std::uint8_t>& bytes);
    // Discards pending input, then writes one request frame.
    bool Send(std::uint16_t command, std::uint16_t subCode,
              const std::vector<std::uint8_t>& data = {});
    // The payload of the next well-formed reply frame; bytes ahead of its start
    // byte are skipped; nothing when none arrives in time or its checksum is bad.
    std::optional<std::vector<std::uint8_t>> ReadPayload(std::chrono::milliseconds timeout);
    // Send, then ReadPayload split into result word and data.
    std::optional<ClientReply> Transact(
        std::uint16_t command, std::uint16_t subCode, const std::vector<std::uint8_t>& data = {},
        std::chrono::milliseconds timeout = std::chrono::milliseconds(2000));
    // Every byte that arrives until the line has been quiet for `quiet`, or
    // `total` has passed.
    std::vector<std::uint8_t> ReadRaw(std::chrono::milliseconds quiet,
                                      std::chrono::milliseconds total);

private:
    int m_fd = -1;
};

// The whole frame the box would send for this payload.
std::vector<std::uint8_t> ReplyFrame(const std::vector<std::uint8_t>& payload);
