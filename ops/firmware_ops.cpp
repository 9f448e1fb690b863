#include "ops/firmware_ops.h"

#include <chrono>
#include <limits>
#include <thread>
#include <vector>

#include "layouts/file_image.h"
#include "layouts/transfer_packets.h"
#include "ops/identity_op.h"
#include "ops/op_step.h"

namespace {

// Result word with which the box also accepts header and data packets.
constexpr std::uint16_t kResultTransferAccepted = 0x0004;

void Pause(std::uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Header and data packets are taken with either success word; the commit
// only with the real one.
bool Accepted(const LinkReply& reply, bool allowTransferWord) {
    if (reply.status != ST_OK)
        return false;
    return reply.resultWord == RESULT_OK ||
           (allowTransferWord && reply.resultWord == kResultTransferAccepted);
}

class CUpgradeRun {
public:
    CUpgradeRun(ITransactor& link, std::span<const std::uint8_t> package,
                const UpgradeTiming& timing, const OpHooks& hooks)
        : m_link(link),
          m_package(package),
          m_timing(timing),
          m_hooks(hooks),
          m_exchange(link, hooks, m_result) {}

    OpResult Run() {
        m_headerLength = UpgradeHeaderLength(m_package);
        // A package without its whole header can't be sent as one; refuse it
        // before the box is touched.
        if (m_package.size() < m_headerLength) {
            m_result.failedStep = OpStep::Load;
            m_result.load = ImageLoad::ShortRead;
            return m_result;
        }
        if (m_package.size() > std::numeric_limits<std::uint32_t>::max()) {
            m_result.failedStep = OpStep::Load;
            m_result.load = ImageLoad::TooLarge;
            return m_result;
        }
        m_exchange.Emit({.kind = OpProgress::Kind::TransferStart});
        const bool sent = Transfer();
        m_exchange.EmitTransferEnd(sent);
        if (sent)
            Reidentify();
        return m_result;
    }

private:
    // A transfer request the box did not accept ends the run.
    bool Refused(OpStep step, const LinkReply& reply) {
        m_exchange.FailTransfer(step, reply);
        return false;
    }

    bool Transfer() {
        m_exchange.Send({.command = CMD_PREPARE_A});
        m_exchange.Send({.command = CMD_PREPARE_B});
        PauseUnlessAborted(m_timing.prepareSettleMs);

        LinkReply reply = m_exchange.Send({.command = CMD_UPGRADE_BEGIN,
                                           .data = m_package.first(m_headerLength),
                                           .firstByteTimeoutMs = TIMEOUT_UPGRADE_BEGIN_MS});
        if (!Accepted(reply, true))
            return Refused(OpStep::UpgradeBegin, reply);

        const auto total = static_cast<std::uint32_t>(m_package.size() - m_headerLength);
        const std::uint8_t* data = m_package.data() + m_headerLength;
        m_result.bytesTotal = total;
        std::uint32_t offset = 0;
        for (;;) {
            const std::uint32_t n = NextChunkLength(offset, total);
            const std::vector<std::uint8_t> packet =
                BuildUpgradeDataPacket(offset, data + offset, n);
            reply = m_exchange.Send({.command = CMD_UPGRADE_DATA,
                                     .data = packet,
                                     .firstByteTimeoutMs = TIMEOUT_TRANSFER_MS});
            if (!Accepted(reply, true))
                return Refused(OpStep::UpgradeData, reply);
            offset += n;
            m_result.bytesDone = offset;
            if (offset >= total)
                break;
            m_exchange.Emit({.kind = OpProgress::Kind::Sent, .done = offset, .total = total});
        }

        m_exchange.Send({.command = CMD_UPGRADE_END, .firstByteTimeoutMs = TIMEOUT_TRANSFER_MS});
        reply = m_exchange.Send(
            {.command = CMD_UPGRADE_COMMIT, .firstByteTimeoutMs = TIMEOUT_TRANSFER_MS});
        if (!Accepted(reply, false))
            return Refused(OpStep::UpgradeCommit, reply);
        return true;
    }

    void StepFailed(std::uint16_t command, std::uint16_t code) {
        m_result.laterFailureCodes.push_back(code);
        m_exchange.Emit({.kind = OpProgress::Kind::StepFailed, .command = command, .code = code});
    }

    // One request after the commit whose reply is not shown.
    void Step(std::uint16_t command, std::uint32_t timeoutMs) {
        const BoxStep s =
            JudgeStep(m_exchange.Send({.command = command, .firstByteTimeoutMs = timeoutMs}));
        if (!s.ok)
            StepFailed(command, s.failureCode);
    }

    void Identity(std::uint16_t command, std::uint32_t timeoutMs) {
        if (m_exchange.Aborted())
            return StepFailed(command, ST_SEND_FAILED);
        const IdentityRead read = ReadIdentity(m_link, command, timeoutMs, m_hooks);
        m_result.aborted = m_result.aborted || read.result.aborted;
        if (!read.result.ok)
            return StepFailed(command, read.result.failureCode);
        m_exchange.Emit(
            {.kind = OpProgress::Kind::Identity, .command = command, .text = read.text});
    }

    // Each pause is skipped once an abort held a request back.
    void PauseUnlessAborted(std::uint32_t ms) {
        if (!m_exchange.Aborted())
            Pause(ms);
    }

    void Reidentify() {
        // The box is silent while it applies the package and restarts.
        m_exchange.Emit({.kind = OpProgress::Kind::Applying});
        Step(CMD_GET_VERSION, m_timing.restartFirstByteMs);
        Step(CMD_GET_SERIAL, TIMEOUT_DEFAULT_MS);
        PauseUnlessAborted(m_timing.restartSettleMs);
        // Only waits for the box to answer; its outcome is not reported.
        m_exchange.Send(
            {.command = CMD_GET_VERSION, .firstByteTimeoutMs = m_timing.restartFirstByteMs});
        PauseUnlessAborted(m_timing.versionPauseMs);
        Identity(CMD_GET_VERSION, m_timing.restartFirstByteMs);
        PauseUnlessAborted(m_timing.serialPauseMs);
        Identity(CMD_GET_SERIAL, TIMEOUT_DEFAULT_MS);
        PauseUnlessAborted(m_timing.factoryResetPauseMs);
        const BoxStep reset = m_exchange.Step(OpStep::FactoryReset, {.command = CMD_FACTORY_RESET});
        m_result.ok = reset.ok;
        if (!reset.ok)
            StepFailed(CMD_FACTORY_RESET, reset.failureCode);
        m_exchange.Emit({.kind = OpProgress::Kind::ApplyEnd, .ok = reset.ok});
    }

    ITransactor& m_link;
    std::span<const std::uint8_t> m_package;
    const UpgradeTiming& m_timing;
    const OpHooks& m_hooks;
    OpResult m_result;
    CBoxExchange m_exchange;
    std::uint32_t m_headerLength = 0;
};

}  // namespace

OpResult UpdateFirmware(ITransactor& link, const std::string& packagePath,
                        const UpgradeTiming& timing, const OpHooks& hooks) {
    if (hooks.progress)
        hooks.progress({.kind = OpProgress::Kind::Loading});
    std::vector<std::uint8_t> image;
    const ImageLoad load = ReadFileImage(packagePath, image);
    if (load != ImageLoad::Ok) {
        OpResult result;
        result.failedStep = OpStep::Load;
        result.load = load;
        return result;
    }
    return UpdateFirmwareImage(link, image, timing, hooks);
}

OpResult UpdateFirmwareImage(ITransactor& link, std::span<const std::uint8_t> package,
                             const UpgradeTiming& timing, const OpHooks& hooks) {
    return CUpgradeRun(link, package, timing, hooks).Run();
}
