#include "ops/identity_op.h"

#include "link/bytes_text.h"
#include "link/device_link.h"
#include "ops/op_step.h"

namespace {
// Identity data follows the result word and two bytes the tool does not use.
constexpr std::uint32_t kIdentitySkip = 2;

IdentityResult ReadIdentityOp(ITransactor& transactor, std::uint16_t command, OpStep step,
                              std::uint32_t firstByteTimeoutMs, const OpHooks& hooks) {
    IdentityResult out;
    bool aborted = false;
    const LinkReply reply =
        SendStep(transactor, hooks, LinkRequest{command, SUB_DEFAULT, {}, firstByteTimeoutMs},
                 aborted);
    if (!StepSucceeded(reply)) {
        FailAt(out.result, step, reply, aborted);
        return out;
    }
    const std::uint8_t* data = reply.data.data() + kIdentitySkip;
    const std::size_t count = reply.data.size() - kIdentitySkip;
    out.text = command == CMD_GET_VERSION ? BytesToText(data, count) : BytesToHex(data, count);
    out.result.ok = true;
    out.result.resultWord = reply.resultWord;
    return out;
}
}  // namespace

IdentityResult ReadVersionOp(ITransactor& transactor, std::uint32_t firstByteTimeoutMs,
                             const OpHooks& hooks) {
    return ReadIdentityOp(transactor, CMD_GET_VERSION, OpStep::Version, firstByteTimeoutMs, hooks);
}

IdentityResult ReadSerialOp(ITransactor& transactor, std::uint32_t firstByteTimeoutMs,
                            const OpHooks& hooks) {
    return ReadIdentityOp(transactor, CMD_GET_SERIAL, OpStep::Serial, firstByteTimeoutMs, hooks);
}

OpResult ProbeOp(CDeviceLink& link, const OpHooks& hooks) {
    OpResult result;
    result.failedStep = OpStep::Probe;
    if (hooks.abort && hooks.abort()) {
        result.aborted = true;
        result.status = ST_SEND_FAILED;
        return result;
    }
    if (!link.IsOpen()) {
        result.status = ST_NO_DEVICE;
        return result;
    }
    result.status = link.Transact(CMD_GET_SERIAL, SUB_DEFAULT, nullptr, 0, nullptr, nullptr, 0,
                                  nullptr, TIMEOUT_PROBE_MS);
    if (result.status == ST_OK) {
        result.ok = true;
        result.failedStep = OpStep::None;
    }
    return result;
}
