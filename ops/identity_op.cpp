#include "ops/identity_op.h"

#include "base/bytes_text.h"
#include "ops/op_step.h"

namespace {
// Identity data follows the result word and two bytes the tool does not use.
constexpr std::size_t kIdentitySkip = 2;
}  // namespace

IdentityRead ReadIdentity(ITransactor& link, std::uint16_t command,
                          std::uint32_t firstByteTimeoutMs, const OpHooks& hooks) {
    IdentityRead read;
    CBoxExchange exchange(link, hooks, read.result);
    const BoxStep s = exchange.Step(OpStep::Identity,
                                    {.command = command, .firstByteTimeoutMs = firstByteTimeoutMs});
    if (!s.ok)
        return read;
    const std::uint8_t* data = s.reply.data.data() + kIdentitySkip;
    const std::size_t count = s.reply.data.size() - kIdentitySkip;
    read.text = command == CMD_GET_VERSION ? BytesToText(data, count) : BytesToHex(data, count);
    read.result.ok = true;
    return read;
}

bool ProbeBox(ITransactor& link, const OpHooks& hooks) {
    OpResult result;
    // Any valid frame counts, whatever its length.
    OpHooks anyLength = hooks;
    anyLength.replyLengths = ReplyLengthRule::Any;
    CBoxExchange exchange(link, anyLength, result);
    return exchange.Send({.command = CMD_GET_SERIAL, .firstByteTimeoutMs = TIMEOUT_PROBE_MS})
               .status == ST_OK;
}
