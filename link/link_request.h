#pragma once
// One transaction as values: what is asked of the box and what came back.

#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "link/command_codes.h"
#include "link/status_words.h"

// The reply data lengths (after the result word) a request accepts. The
// protocol has no sequence numbers: a frame the box sends on its own as a
// request goes out can be taken for the reply. A valid frame whose length
// cannot be the reply is dropped, and the wait for the reply goes on within
// the same first-byte time-out; so do stray bytes ahead of a start byte (the
// tail of such a frame cut by the request's discard of pending input). Any
// length by default, and then the first valid frame is the reply and a stray
// byte ends the wait.
struct ReplyLengths {
    std::uint32_t min = 0;
    std::uint32_t max = std::numeric_limits<std::uint32_t>::max();

    static constexpr ReplyLengths Exactly(std::uint32_t n) { return {n, n}; }
    static constexpr ReplyLengths AtLeast(std::uint32_t n) { return {n}; }
    constexpr bool Fits(std::uint32_t length) const { return length >= min && length <= max; }
    constexpr bool Any() const {
        return min == 0 && max == std::numeric_limits<std::uint32_t>::max();
    }
};

struct LinkRequest {
    std::uint16_t command = 0;
    std::uint16_t subCode = SUB_DEFAULT;
    // Borrowed: the bytes must stay put until Transact returns.
    std::span<const std::uint8_t> data = {};
    std::uint32_t firstByteTimeoutMs = TIMEOUT_DEFAULT_MS;
    ReplyLengths accepted = {};
    // Set: a frame `accepted` does not fit is kept aside instead of dropped,
    // and the wait ends as a wait for any length would (a stray byte, the
    // time-out), except that a fitting frame still takes the place of the one
    // kept; when the wait ends without one, the last frame kept is the reply.
    // A box that answers with an odd length is heard as before, only later.
    bool keepUnfitting = false;
    // Set: only the time-out ends the wait without a reply. Whatever opens no
    // valid reply (stray bytes, a start byte whose length cannot be, a frame
    // whose checksum fails, one cut short, one without a result word) is
    // passed over, whatever `accepted` says; the bytes after such a false
    // start byte are looked through again, as the reply may begin among them.
    // For a host that would rather wait than fail on the box's own chatter;
    // a reply that really is bad then costs the whole time-out.
    bool readOnPastStrays = false;
    // Set: the request goes out only once the line has been quiet for a
    // moment (CDeviceLink::kQuietGapMs; what comes meanwhile is dropped, and a
    // box that never pauses holds it back at most kQuietLimitMs). A frame the
    // box sends right behind its last reply is then neither cut by the
    // request's discard of pending input (its tail would come first) nor
    // begun just after it (whole, it could pass for the reply).
    bool quietLineFirst = false;
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
