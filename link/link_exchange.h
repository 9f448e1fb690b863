#pragma once
// One exchange with the box as values: the request the link frames and sends,
// and the reply it hands back. ITransactor is what every box operation talks
// through: the device link itself, or a host that adds to it (an abort check,
// a record of failures) and forwards.

#include <cstdint>
#include <span>
#include <vector>

#include "link/command_codes.h"
#include "link/status_words.h"

struct LinkRequest {
    std::uint16_t command = 0;
    std::uint16_t subCode = SUB_DEFAULT;
    // Borrowed: the bytes must stay put until Transact returns.
    std::span<const std::uint8_t> data = {};
    std::uint32_t firstByteTimeoutMs = TIMEOUT_DEFAULT_MS;
};

struct LinkReply {
    // ST_OK when a valid reply arrived; otherwise nothing below was set.
    StatusWord status = ST_NO_REPLY;
    std::uint16_t resultWord = 0;
    // The reply data after the result word, at most REPLY_LIMIT bytes of it.
    std::vector<std::uint8_t> data = {};
    // The data length as the frame gave it; may exceed what `data` holds.
    std::uint32_t length = 0;
};

class ITransactor {
public:
    virtual ~ITransactor() = default;
    virtual LinkReply Transact(const LinkRequest& request) = 0;
};
