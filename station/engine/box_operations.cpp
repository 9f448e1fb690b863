#include "station/engine/box_operations.h"

#include <mutex>

#include "device/identity_handlers.h"
#include "dialog/dialog_model.h"
#include "dialog/model_host.h"
#include "firmware/file_transfer.h"
#include "firmware/load_slots.h"
#include "link/command_codes.h"
#include "link/device_link.h"
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
    FillLoadAddressList(*m_model);
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
    std::lock_guard lock(m_sinkMutex);
    if (e.kind == ControlEvent::Kind::Text && e.id == IDC_STATUS) {
        m_lastStatus = e.text;
        if (m_statusSink && !e.text.empty())
            m_statusSink(e.text);
    } else if (e.kind == ControlEvent::Kind::Progress && e.id == IDC_PROGRESS && m_progressSink) {
        m_progressSink(e.value, e.total);
    }
}

void CBoxOperations::SetAbortCheck(AbortCheck check) {
    m_host->m_abortCheck = std::move(check);
}

bool CBoxOperations::ReadVersion(std::string& version) {
    if (!ReadIdentity(*m_host, CMD_GET_VERSION, IDC_VERSION, TIMEOUT_DEFAULT_MS))
        return false;
    version = m_model->GetItemText(IDC_VERSION);
    return true;
}

bool CBoxOperations::ReadSerial(std::string& serial) {
    if (!ReadIdentity(*m_host, CMD_GET_SERIAL, IDC_SERIAL, TIMEOUT_DEFAULT_MS))
        return false;
    serial = m_model->GetItemText(IDC_SERIAL);
    return true;
}

bool CBoxOperations::UpdateFirmware(const std::string& packagePath) {
    ClearLastStatus();
    RunUpgradeFromPath(*m_host, packagePath, m_timing);
    return LastStatus() == kTextUpgradeDone;
}

SettingsTransfer CBoxOperations::ReadSettings(DeviceSettings& settings) {
    return ReadDeviceSettings(*m_host, settings);
}

SettingsTransfer CBoxOperations::WriteSettings(const DeviceSettings& settings) {
    return WriteDeviceSettings(*m_host, settings);
}

bool CBoxOperations::Download(const std::string& file, int slot) {
    ClearLastStatus();
    m_model->SetItemText(IDC_TARGET_FILE, file);
    m_model->ComboSetCurSel(IDC_LOAD_ADDRESS, slot);
    OnSendFile(*m_host);
    return LastStatus() == kTextSent;
}

bool CBoxOperations::Jump(int slot) {
    ClearLastStatus();
    m_model->ComboSetCurSel(IDC_LOAD_ADDRESS, slot);
    OnJump(*m_host);
    return LastStatus() == kTextJumping;
}

bool CBoxOperations::Probe() {
    // A transaction on a closed port would scan every port for a box.
    if (!m_host->Link()->IsOpen())
        return false;
    return m_host->Link()->Transact(CMD_GET_SERIAL, SUB_DEFAULT, nullptr, 0, nullptr, nullptr, 0,
                                    nullptr, TIMEOUT_PROBE_MS) == ST_OK;
}

TransactionFailure CBoxOperations::LastFailure() const {
    std::lock_guard lock(m_host->m_mutex);
    return m_host->m_failure;
}

void CBoxOperations::ClearFailure() {
    std::lock_guard lock(m_host->m_mutex);
    m_host->m_failure = TransactionFailure{};
}
