#include "station/engine/box_operations.h"

#include <mutex>

#include "dialog/dialog_model.h"
#include "dialog/host_transactor.h"
#include "dialog/model_host.h"
#include "dialog/step.h"
#include "firmware/load_slot_words.h"
#include "link/command_codes.h"
#include "link/device_link.h"
#include "ops/load_slot_ops.h"
#include "res/resource.h"
#include "res/status_texts.h"

class CBoxOperations::CHost : public CModelHost {
public:
    using CModelHost::CModelHost;

    StatusWord Transact(std::uint16_t command, std::uint16_t subCode, const std::uint8_t* data,
                        std::uint32_t dataLength, std::uint16_t* resultWord, std::uint8_t* reply,
                        std::uint32_t replyLimit, std::uint32_t* replyLength,
                        std::uint32_t firstByteTimeoutMs) override {
        if (m_abortCheck && m_abortCheck()) {
            std::lock_guard lock(m_mutex);
            m_failure = TransactionFailure{true, ST_SEND_FAILED, 0, true};
            return ST_SEND_FAILED;
        }
        // The caller may pass no result word; the judgement needs one.
        std::uint16_t word = 0;
        std::uint16_t* wordOut = resultWord != nullptr ? resultWord : &word;
        const StatusWord st =
            CModelHost::Transact(command, subCode, data, dataLength, wordOut, reply, replyLimit,
                                 replyLength, firstByteTimeoutMs);
        if (st != ST_OK || *wordOut != RESULT_OK) {
            std::lock_guard lock(m_mutex);
            m_failure =
                TransactionFailure{true, st, st == ST_OK ? *wordOut : std::uint16_t{0}, false};
        }
        return st;
    }

    AbortCheck m_abortCheck;
    mutable std::mutex m_mutex;
    TransactionFailure m_failure;
};

CBoxOperations::CBoxOperations(CDeviceLink& link, const UpgradeTiming& timing)
    : m_model(std::make_shared<CDialogModel>()),
      m_host(std::make_unique<CHost>(m_model, &link)),
      m_timing(timing) {
    m_model->SetObserver([this](const ControlEvent& e) { OnControlEvent(e); });
}

CBoxOperations::~CBoxOperations() {
    m_model->SetObserver(nullptr);
}

void CBoxOperations::SetSinks(StatusSink status, ProgressSink progress) {
    std::lock_guard lock(m_sinkMutex);
    m_statusSink = std::move(status);
    m_progressSink = std::move(progress);
}

std::string CBoxOperations::LastStatus() {
    std::lock_guard lock(m_sinkMutex);
    return m_lastStatus;
}

void CBoxOperations::ClearLastStatus() {
    std::lock_guard lock(m_sinkMutex);
    m_lastStatus.clear();
}

void CBoxOperations::OnControlEvent(const ControlEvent& e) {
    if (e.kind == ControlEvent::Kind::Text && e.id == IDC_STATUS)
        ShowStatus(e.text);
    else if (e.kind == ControlEvent::Kind::Progress && e.id == IDC_PROGRESS)
        ShowProgress(e.value, e.total);
}

void CBoxOperations::ShowStatus(const std::string& text) {
    std::lock_guard lock(m_sinkMutex);
    m_lastStatus = text;
    if (m_statusSink && !text.empty())
        m_statusSink(text);
}

void CBoxOperations::ShowProgress(long long value, long long total) {
    std::lock_guard lock(m_sinkMutex);
    if (m_progressSink)
        m_progressSink(value, total);
}

void CBoxOperations::SetAbortCheck(AbortCheck check) {
    m_host->m_abortCheck = std::move(check);
}

bool CBoxOperations::ReadIdentity(IdentityResult (*op)(ITransactor&, std::uint32_t, const OpHooks&),
                                  std::string& text) {
    CHostTransactor transactor(*m_host);
    const IdentityResult r = op(transactor, TIMEOUT_DEFAULT_MS, {});
    if (!r.result.ok) {
        ShowStatus(
            ErrorText(StepFailureCode(LinkReply{r.result.status, r.result.resultWord, {}, 0})));
        return false;
    }
    text = r.text;
    return true;
}

bool CBoxOperations::ReadVersion(std::string& version) {
    return ReadIdentity(ReadVersionOp, version);
}

bool CBoxOperations::ReadSerial(std::string& serial) {
    return ReadIdentity(ReadSerialOp, serial);
}

bool CBoxOperations::UpdateFirmware(const std::string& packagePath) {
    ClearLastStatus();
    RunUpgradeFromPath(*m_host, packagePath, m_timing);
    return LastStatus() == kTextUpgradeDone;
}

bool CBoxOperations::RestoreFactorySettings() {
    std::uint8_t reply[kHandlerReplyBufSize];
    const StepResult r =
        RunStep(*m_host, CMD_FACTORY_RESET, SUB_DEFAULT, nullptr, 0, reply, TIMEOUT_DEFAULT_MS);
    ShowStatus(r.ok ? kTextFactoryResetOk : ErrorText(r.failureCode));
    return r.ok;
}

SettingsTransfer CBoxOperations::ReadSettings(DeviceSettings& settings) {
    return ReadDeviceSettings(*m_host, settings);
}

SettingsTransfer CBoxOperations::WriteSettings(const DeviceSettings& settings) {
    return WriteDeviceSettings(*m_host, settings);
}

bool CBoxOperations::Download(const std::string& file, int slot) {
    OpHooks hooks;
    hooks.progress = [this](const OpProgress& p) {
        if (p.kind != OpProgress::Kind::BytesSent || p.done == 0 || p.done >= p.total)
            return;
        ShowStatus(DownloadProgressText(p.done, p.total));
        ShowProgress(p.done, p.total);
    };
    CHostTransactor transactor(*m_host);
    const OpResult r = DownloadOp(transactor, file, slot, hooks);
    ShowStatus(DownloadResultText(r));
    return r.ok;
}

bool CBoxOperations::Jump(int slot) {
    CHostTransactor transactor(*m_host);
    const OpResult r = JumpOp(transactor, slot);
    if (const char* text = JumpResultText(r))
        ShowStatus(text);
    return r.ok;
}

bool CBoxOperations::Probe() {
    return ProbeOp(*m_host->Link()).ok;
}

TransactionFailure CBoxOperations::LastFailure() const {
    std::lock_guard lock(m_host->m_mutex);
    return m_host->m_failure;
}

void CBoxOperations::ClearFailure() {
    std::lock_guard lock(m_host->m_mutex);
    m_host->m_failure = TransactionFailure{};
}
