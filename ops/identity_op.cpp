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
    if (s.reply.status == ST_OK)
        read.replyData = s.reply.data;
    if (!s.ok)
        return read;
    const std::uint8_t* data = s.reply.data.data() + kIdentitySkip;
    const std::size_t count = s.reply.data.size() - kIdentitySkip;
    read.text = command == CMD_GET_VERSION ? BytesToText(data, count) : BytesToHex(data, count);
    read.result.ok = true;
    return read;
}

IdentityRead ReadSerialAfter(ITransactor& link, const IdentityRead& version,
                             std::uint32_t firstByteTimeoutMs, const OpHooks& hooks) {
    IdentityRead read = ReadIdentity(link, CMD_GET_SERIAL, firstByteTimeoutMs, hooks);
    const bool versionHeard = version.result.status == ST_OK;
    if (!read.result.ok || (versionHeard && read.replyData != version.replyData))
        return read;
    IdentityRead refused;
    refused.result = read.result;
    refused.result.ok = false;
    refused.result.failedStep = OpStep::Identity;
    refused.result.status = ST_NO_REPLY;
    refused.result.failureCode = ST_NO_REPLY;
    return refused;
}

bool ProbeBox(ITransactor& link, const OpHooks& hooks) {
    OpResult result;
    // Any valid frame counts, whatever its length.
    OpHooks anyLength = hooks;
    anyLength.replyLengths = ReplyLengthRule::Any;
    // Silence is the probe's answer: no box here.
    anyLength.readRetries = 0;
    CBoxExchange exchange(link, anyLength, result);
    return exchange.Send({.command = CMD_GET_SERIAL, .firstByteTimeoutMs = TIMEOUT_PROBE_MS})
               .status == ST_OK;
}
