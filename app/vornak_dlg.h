#pragma once
// CVornakDlg: the main dialog's behaviour, free of any toolkit.
//
// Every handler reads and writes controls by ID through the dialog model and
// talks to the box through the link. The Qt window (app/qt) renders the model
// and forwards clicks; vornak-cli and the tests drive the same object
// headless. Handlers run on whatever thread calls them and block it for their
// transactions; the window calls the ones that talk to the box off its own
// thread (see IsBoxHandler) and keeps input away until they end. Which control
// runs which handler is the table in app/dialog_handlers.h.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/handler_outcome.h"
#include "dialog/dialog_model.h"
#include "dialog/model_host.h"
#include "firmware/firmware_update.h"

class CDeviceLink;
class CUpgradeRunner;

class CVornakDlg : public CModelHost {
public:
    // `link` defaults to the process-wide link; `upgradeTiming` is the
    // firmware update's pauses and waits (shorter ones for a simulated box).
    explicit CVornakDlg(std::shared_ptr<CDialogModel> model, CDeviceLink* link = nullptr,
                        const UpgradeTiming& upgradeTiming = {});
    ~CVornakDlg() override;
    CVornakDlg(const CVornakDlg&) = delete;
    CVornakDlg& operator=(const CVornakDlg&) = delete;

    // `createPrgFolder`: whether ./Prg is created when missing (the window
    // always; the command-line tool only for a command that uses it).
    bool OnInitDialog(bool createPrgFolder = true);

    void UpdateConnectButtons();
    // The link found its line gone: closes the port and shows the
    // disconnected look with a status text that says so. Call it when no
    // operation runs (it never reconnects anything). False, doing nothing,
    // when the link is open again (a scan since found the box).
    bool OnLineGone();
    // The package list is about to drop down: reads the Prg folder again.
    void OnPackageListDropDown();

    // Click handlers; each returns its outcome (app/handler_outcome.h).
    HandlerOutcome OnBnClickedConnect();
    HandlerOutcome OnBnClickedDisconnect();
    HandlerOutcome OnBnClickedGetDeviceInfo();
    HandlerOutcome OnStnClickedVersionLabel();
    HandlerOutcome OnStnClickedSerialLabel();
    HandlerOutcome OnBnClickedFactoryTest() { return {}; }
    HandlerOutcome OnStnClickedAdvancedToggle();
    HandlerOutcome OnBnClickedReadSettings();
    HandlerOutcome OnBnClickedWriteSettings();
    HandlerOutcome OnBnClickedFactoryReset();
    HandlerOutcome OnBnClickedBrowse();
    HandlerOutcome OnBnClickedUpgrade();
    HandlerOutcome OnBnClickedSendFile();
    HandlerOutcome OnBnClickedJump();

    // Runs the handler of a click on control `id` and returns its outcome;
    // none when the control has no handler (a click on it does nothing).
    // While a firmware update runs, a click whose handler talks to the box,
    // or starts another update, is refused with a status text and a failed
    // outcome: a request between the update's packets could leave the box
    // without working firmware.
    std::optional<HandlerOutcome> OnCommand(int id);
    // Whether the click handler of `id` talks to the box (and so may block).
    static bool IsBoxHandler(int id);

    // Waits for the firmware update worker to end; true when none runs
    // (tests and the command-line tool; the window never waits).
    bool WaitForUpgrade(std::uint32_t timeoutMs) const;
    bool IsUpgradeRunning() const;

private:
    // A click that would talk to the box while an update runs: says why it
    // does nothing (the toggle still widens or narrows the window).
    HandlerOutcome RefuseDuringUpgrade(int id);
    // Widens the window to show the settings panel, or narrows it again.
    void ToggleAdvancedWidth();
    void ClearConnectionFields();
    // After a read of the settings: remembers which box the panel's values
    // came from, by the serial field.
    void NoteSettingsSource();
    // After the serial field took a box's serial: values of another box leave
    // the panel (every block shows no value), so that Write settings cannot
    // put them into this one.
    void ForgetOtherBoxSettings();

    // The firmware update worker's guard: idle when no update runs.
    std::shared_ptr<CUpgradeRunner> m_hUpgradeThread;
    UpgradeTiming m_upgradeTiming;
    // The serial of the box the settings panel's values came from; empty when
    // unknown (read before any serial was shown) or when it holds none. Only
    // handlers use it, and they run one at a time.
    std::string m_settingsSerial;
};
