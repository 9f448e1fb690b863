#include "station/engine/box_operations.h"

#include <optional>
#include <utility>

#include "link/device_link.h"
#include "ops/firmware_ops.h"
#include "ops/identity_op.h"
#include "ops/load_slot_ops.h"
#include "ops/settings_ops.h"

CBoxOperations::CBoxOperations(CDeviceLink& link, const UpgradeTiming& timing)
    : m_link(link), m_transactor(link), m_timing(timing) {}

void CBoxOperations::SetProgressSink(ProgressSink progress) {
    m_progressSink = std::move(progress);
}

void CBoxOperations::SetAbortCheck(AbortCheck check) {
    m_abortCheck = std::move(check);
}

OpHooks CBoxOperations::Hooks() {
    OpHooks hooks;
    hooks.abort = m_abortCheck;
    hooks.replyLengths = ReplyLengthRule::Strict;
    hooks.readRetries = 2;  // a read whose reply the box's own chatter cost is asked again
    if (m_progressSink) {
        hooks.progress = [this](const OpProgress& e) {
            if (e.kind == OpProgress::Kind::Sent) {
                m_progressSink(static_cast<long long>(e.done), static_cast<long long>(e.total));
            } else if (e.kind == OpProgress::Kind::Applying) {
                m_progressSink(0, kBusyProgressTotal);
            }
        };
    }
    return hooks;
}

TransactionFailure TransactionFailureOf(const OpResult& result) {
    TransactionFailure f;
    if (result.TransactionFailed()) {
        f.any = true;
        f.status = result.status;
        f.resultWord = result.status == ST_OK ? result.resultWord : std::uint16_t{0};
        f.aborted = result.aborted;
    }
    return f;
}

OpResult CBoxOperations::ReadAgreed(std::uint16_t command, std::string& text) {
    // A frame of the box's own taken for the reply does not repeat itself:
    // two reads in a row that agree are the box's answer.
    std::optional<std::string> last;
    OpResult result;
    for (int i = 0; i < kMaxIdentityReads; ++i) {
        IdentityRead read = ReadIdentity(m_transactor, command, TIMEOUT_DEFAULT_MS, Hooks());
        if (!read.result.ok)
            return std::move(read.result);
        if (last == read.text) {
            text = std::move(read.text);
            return read.result;
        }
        last = std::move(read.text);
        result = std::move(read.result);
    }
    // No two answers alike: no answer to trust.
    result.ok = false;
    result.failedStep = OpStep::Identity;
    result.status = ST_NO_REPLY;
    result.failureCode = ST_NO_REPLY;
    return result;
}

OpResult CBoxOperations::ReadVersion(std::string& version) {
    return ReadAgreed(CMD_GET_VERSION, version);
}

OpResult CBoxOperations::ReadSerial(std::string& serial) {
    return ReadAgreed(CMD_GET_SERIAL, serial);
}

OpResult CBoxOperations::UpdateFirmware(std::span<const std::uint8_t> package) {
    return UpdateFirmwareImage(m_transactor, package, m_timing, Hooks());
}

OpResult CBoxOperations::RestoreFactorySettings() {
    return FactoryReset(m_transactor, Hooks());
}

OpResult CBoxOperations::ReadSettings(DeviceSettings& settings, ConfigBlockBytes* raw) {
    return ReadDeviceSettings(m_transactor, settings, Hooks(), raw);
}

OpResult CBoxOperations::WriteSettings(const DeviceSettings& settings, ConfigBlockBytes* raw) {
    return WriteDeviceSettings(m_transactor, settings, Hooks(), raw);
}

OpResult CBoxOperations::Download(std::span<const std::uint8_t> file, int slot,
                                  bool requireSuccessWord) {
    return DownloadImage(m_transactor, file, slot, Hooks(), {requireSuccessWord});
}

OpResult CBoxOperations::Jump(int slot, bool requireSuccessWord) {
    return JumpToSlot(m_transactor, slot, Hooks(), {requireSuccessWord});
}

bool CBoxOperations::Probe() {
    // A transaction on a closed port would scan every port for a box.
    if (!m_link.IsOpen())
        return false;
    return ProbeBox(m_transactor, Hooks());
}
