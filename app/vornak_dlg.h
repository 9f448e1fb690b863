#pragma once
// CVornakDlg: the main dialog's behaviour, free of any toolkit.
//
// Every handler reads and writes controls by ID through the dialog model and
// talks to the box through the link. The Qt window (app/qt) renders the model
// and forwards clicks; vornak-cli and the tests drive the same object
// headless. Handlers run on whatever thread calls them and block it for their
// transactions; the window calls the ones that talk to the box off its own
// thread (see IsBoxHandler) and keeps input away until they end.

#include <cstdint>
#include <memory>
#include <string>

#include "dialog/dialog_model.h"
#include "dialog/model_host.h"
#include "firmware/firmware_update.h"

class CDeviceLink;
class CUpgradeRunner;

class CVornakDlg : public CModelHost {
public:
    // `link` defaults to the process-wide link.
    explicit CVornakDlg(std::shared_ptr<CDialogModel> model, CDeviceLink* link = nullptr);
    ~CVornakDlg() override;
    CVornakDlg(const CVornakDlg&) = delete;
    CVornakDlg& operator=(const CVornakDlg&) = delete;

    // `createPrgFolder`: whether ./Prg is created when missing (the window
    // always; the command-line tool only for a command that uses it).
    bool OnInitDialog(bool createPrgFolder = true);

    void UpdateConnectButtons();

    // Click handlers.
    void OnBnClickedConnect();
    void OnBnClickedDisconnect();
    void OnBnClickedGetDeviceInfo();
    void OnStnClickedVersionLabel();
    void OnStnClickedSerialLabel();
    void OnBnClickedFactoryTest() {}
    void OnStnClickedAdvancedToggle();
    void OnBnClickedReadSettings();
    void OnBnClickedWriteSettings();
    void OnBnClickedFactoryReset();
    void OnBnClickedBrowse();
    void OnBnClickedUpgrade();
    void OnBnClickedSendFile();
    void OnBnClickedJump();

    // Runs the handler of a click on control `id`; false when the control has
    // none (a click on it does nothing).
    bool OnCommand(int id);
    // Whether the click handler of `id` talks to the box (and so may block).
    static bool IsBoxHandler(int id);

    // Firmware update worker: whether one runs, and a wait for it to end
    // (tests and the command-line tool; the window never waits).
    bool IsUpgradeRunning() const;
    bool WaitForUpgrade(std::uint32_t timeoutMs) const;

    CDialogModel& Model() { return *m_model; }
    std::shared_ptr<CDialogModel> SharedModel() const { return m_model; }

    // Shorter pauses and waits for tests; the product keeps the defaults.
    void SetUpgradeTimingForTests(const UpgradeTiming& timing);

private:
    // The firmware update worker's guard: idle when no update runs.
    std::shared_ptr<CUpgradeRunner> m_hUpgradeThread;
    UpgradeTiming m_upgradeTiming;
};
