#include "firmware/firmware_update.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "device/identity_handlers.h"
#include "dialog/dialog_host.h"
#include "dialog/step.h"
#include "firmware/file_image.h"
#include "firmware/prg_folder.h"
#include "firmware/progress_bar.h"
#include "firmware/transfer_packets.h"
#include "link/device_link.h"
#include "res/resource.h"
#include "res/status_texts.h"

namespace {

// Result word with which the box also accepts header and data packets.
constexpr std::uint16_t kResultTransferAccepted = 0x0004;
// How long a failed transfer waits for the link to notice a line that went
// away, and how often it looks: the link's receive thread watches an idle line
// and finds a hang-up within milliseconds.
constexpr std::uint32_t kLineGoneNoticeMs = 500;
constexpr std::uint32_t kLineGoneCheckMs = 10;

void Pause(std::uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

class CUpgradeRun {
public:
    CUpgradeRun(IDialogHost& host, std::string packagePath, const UpgradeTiming& timing)
        : m_host(host), m_packagePath(std::move(packagePath)), m_timing(timing) {}

    void Run() {
        if (!Load())
            return;
        if (!Transfer()) {
            // The failure's own text says only which step failed; an operator
            // who unplugged the box must learn that the update is not done.
            if (LineWentAway())
                m_host.ShowStatus(kTextUpgradeLineGone);
            return;
        }
        Reidentify();
    }

private:
    bool Load() {
        m_host.ShowStatus(kTextUpgradeLoading);
        const std::string& strPkg = m_packagePath;
        switch (ReadFileImage(strPkg, m_image)) {
            case ImageLoad::Ok:
                break;
            case ImageLoad::OpenFailed:
                m_host.ShowStatus(kTextUpgradeCannotOpen + strPkg);
                return false;
            case ImageLoad::NoMemory:
                m_host.ShowStatus(kTextUpgradeNoMemory);
                return false;
            case ImageLoad::ShortRead:
            case ImageLoad::TooLarge:
                m_host.ShowStatus(kTextUpgradeIncomplete);
                return false;
        }
        // A package without its whole header can't be sent as one; refuse it
        // before the box is touched.
        m_headerLength = UpgradeHeaderLength(m_image);
        if (m_image.size() < m_headerLength) {
            m_host.ShowStatus(kTextUpgradeIncomplete);
            return false;
        }
        return true;
    }

    StatusWord Send(std::uint16_t command, const std::uint8_t* data, std::uint32_t length,
                    std::uint32_t timeoutMs) {
        const StatusWord status = m_host.Transact(command, SUB_DEFAULT, data, length, &m_wCode,
                                                  m_abRxBuf, REPLY_LIMIT, &m_dwRxLen, timeoutMs);
        if (status == ST_OK)
            m_boxAnswered = true;
        return status;
    }

    // The box answered in this run and the link has lost it since (a box or
    // cable unplugged: the link reads as closed once its line is gone). A
    // step that failed on a dying line may have ended on its time-out just
    // before the hang-up: the link's idle watch on the line notices it soon
    // after, so the answer waits that long for it.
    bool LineWentAway() {
        const CDeviceLink* link = m_host.Link();
        if (!m_boxAnswered || link == nullptr)
            return false;
        const auto giveUp =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kLineGoneNoticeMs);
        while (link->IsOpen()) {
            if (std::chrono::steady_clock::now() >= giveUp)
                return false;
            Pause(kLineGoneCheckMs);
        }
        return true;
    }

    // Header and data packets are taken with either success word; the commit
    // only with the real one.
    bool Accepted(StatusWord status, bool allowTransferWord) const {
        if (status != ST_OK)
            return false;
        return m_wCode == RESULT_OK || (allowTransferWord && m_wCode == kResultTransferAccepted);
    }

    void ReportFailure(StatusWord status) {
        char text[64];
        std::snprintf(text, sizeof text, "wErr=%04X; Code=%04X; wLen=%04X;",
                      static_cast<unsigned>(status), static_cast<unsigned>(m_wCode),
                      static_cast<unsigned>(m_dwRxLen));
        m_host.ShowStatus(text);
    }

    bool Transfer() {
        IDialogView& view = m_host.View();
        CTransferProgress bar(view);
        Send(CMD_PREPARE_A, nullptr, 0, TIMEOUT_DEFAULT_MS);
        Send(CMD_PREPARE_B, nullptr, 0, TIMEOUT_DEFAULT_MS);
        Pause(m_timing.prepareSettleMs);

        StatusWord status =
            Send(CMD_UPGRADE_BEGIN, m_image.data(), m_headerLength, TIMEOUT_UPGRADE_BEGIN_MS);
        if (!Accepted(status, true)) {
            ReportFailure(status);
            return false;
        }

        const auto total = static_cast<std::uint32_t>(m_image.size() - m_headerLength);
        const std::uint8_t* data = m_image.data() + m_headerLength;
        std::uint32_t offset = 0;
        for (;;) {
            const std::uint32_t n = NextChunkLength(offset, total);
            const std::vector<std::uint8_t> packet =
                BuildUpgradeDataPacket(offset, data + offset, n);
            status = Send(CMD_UPGRADE_DATA, packet.data(),
                          static_cast<std::uint32_t>(packet.size()), TIMEOUT_TRANSFER_MS);
            if (!Accepted(status, true)) {
                ReportFailure(status);
                return false;
            }
            offset += n;
            if (offset >= total)
                break;
            m_host.ShowStatus(kTextUpgradeDownloading + std::to_string(offset) + "/" +
                              std::to_string(total) + kTextProgressTail);
            bar.Set(offset, total);
        }

        Send(CMD_UPGRADE_END, nullptr, 0, TIMEOUT_TRANSFER_MS);
        status = Send(CMD_UPGRADE_COMMIT, nullptr, 0, TIMEOUT_TRANSFER_MS);
        if (!Accepted(status, false)) {
            ReportFailure(status);
            return false;
        }
        return true;
    }

    // One identity or reset step whose reply is not shown: false after
    // showing its error text.
    bool Step(std::uint16_t command, std::uint32_t timeoutMs) {
        const StepResult r =
            RunStep(m_host, command, SUB_DEFAULT, nullptr, 0, m_abRxBuf, timeoutMs);
        if (!r.ok) {
            m_host.ShowStatus(ErrorText(r.failureCode));
            return false;
        }
        return true;
    }

    void Reidentify() {
        IDialogView& view = m_host.View();
        // The box is silent while it applies the package and restarts: the
        // bar shows that the tool is waiting, not stuck.
        CTransferProgress busy(view);
        busy.SetBusy();
        m_host.ShowStatus(kTextUpgradeUpdating);
        view.SetItemText(IDC_SERIAL, "");
        view.SetItemText(IDC_VERSION, "");

        Step(CMD_GET_VERSION, m_timing.restartFirstByteMs);
        Step(CMD_GET_SERIAL, TIMEOUT_DEFAULT_MS);
        Pause(m_timing.restartSettleMs);
        RunStep(m_host, CMD_GET_VERSION, SUB_DEFAULT, nullptr, 0, m_abRxBuf,
                m_timing.restartFirstByteMs);
        Pause(m_timing.versionPauseMs);
        ReadIdentity(m_host, CMD_GET_VERSION, IDC_VERSION, m_timing.restartFirstByteMs);
        Pause(m_timing.serialPauseMs);
        ReadIdentity(m_host, CMD_GET_SERIAL, IDC_SERIAL, TIMEOUT_DEFAULT_MS);
        Pause(m_timing.factoryResetPauseMs);
        if (Step(CMD_FACTORY_RESET, TIMEOUT_DEFAULT_MS))
            m_host.ShowStatus(kTextUpgradeDone);
    }

    IDialogHost& m_host;
    const std::string m_packagePath;
    const UpgradeTiming& m_timing;
    std::vector<std::uint8_t> m_image;
    std::uint32_t m_headerLength = 0;
    // Result word and reply length of the last reply that arrived; a failure
    // report before any reply shows them as 0.
    std::uint16_t m_wCode = 0;
    std::uint32_t m_dwRxLen = 0;
    bool m_boxAnswered = false;
    std::uint8_t m_abRxBuf[kHandlerReplyBufSize] = {};
};
}  // namespace

namespace {
// The package path: the file the package list's field names, the selected
// entry or else the text typed there (never an entry the field no longer
// shows).
std::string SelectedPackagePath(IDialogView& view) {
    const int sel = view.ComboGetCurSel(IDC_PACKAGE_LIST);
    return PackagePathForEntry(sel >= 0 ? view.ComboGetText(IDC_PACKAGE_LIST, sel)
                                        : view.GetItemText(IDC_PACKAGE_LIST));
}
}  // namespace

void RunUpgrade(IDialogHost& host, const UpgradeTiming& timing) {
    CUpgradeRun(host, SelectedPackagePath(host.View()), timing).Run();
}

void RunUpgradeFromPath(IDialogHost& host, const std::string& packagePath,
                        const UpgradeTiming& timing) {
    CUpgradeRun(host, packagePath, timing).Run();
}
