#pragma once
// One transaction as values: what is asked of the box and what came back.
// RunRawTransact adapts a transaction of the link's raw form (pointers, a
// reply buffer of REPLY_LIMIT bytes) to these values, so every adapter copies
// the reply the same way.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "link/command_codes.h"
#include "link/status_words.h"

struct LinkRequest {
    std::uint16_t command = 0;
    std::uint16_t subCode = SUB_DEFAULT;
    std::vector<std::uint8_t> data;
    std::uint32_t firstByteTimeoutMs = TIMEOUT_DEFAULT_MS;
};

struct LinkReply {
    StatusWord status = ST_OK;
    std::uint16_t resultWord = 0;
    // The reply data the link copied (at most REPLY_LIMIT bytes).
    std::vector<std::uint8_t> data;
    // The reply data length the frame said, which may exceed data.size().
    std::uint32_t length = 0;
};

// `raw` has the link's raw transaction signature.
template <class RawTransact>
LinkReply RunRawTransact(const LinkRequest& request, RawTransact&& raw) {
    LinkReply reply;
    std::uint8_t buffer[REPLY_LIMIT] = {};
    reply.status = raw(request.command, request.subCode,
                       request.data.empty() ? nullptr : request.data.data(),
                       static_cast<std::uint32_t>(request.data.size()), &reply.resultWord, buffer,
                       REPLY_LIMIT, &reply.length, request.firstByteTimeoutMs);
    reply.data.assign(buffer, buffer + std::min(reply.length, REPLY_LIMIT));
    return reply;
}
