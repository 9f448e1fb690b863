#include "app/vornak_dlg.h"

#include <utility>

#include "app/dialog_handlers.h"
#include "app/panel_layout.h"
#include "device/identity_handlers.h"
#include "device/settings_panel.h"
#include "dialog/model_host.h"
#include "firmware/file_transfer.h"
#include "firmware/load_slots.h"
#include "firmware/prg_folder.h"
#include "firmware/upgrade_runner.h"
#include "layouts/option_table.h"
#include "link/device_link.h"
#include "res/resource.h"
#include "res/status_texts.h"

namespace {
constexpr char kBinFilter[] = "固件包(*.bin)";
constexpr char kBinPattern[] = "*.bin";
}  // namespace

CVornakDlg::CVornakDlg(std::shared_ptr<CDialogModel> model, CDeviceLink* link,
                       const UpgradeTiming& upgradeTiming)
    : CModelHost(std::move(model), link),
      m_hUpgradeThread(std::make_shared<CUpgradeRunner>()),
      m_upgradeTiming(upgradeTiming) {}

CVornakDlg::~CVornakDlg() = default;

bool CVornakDlg::OnInitDialog(bool createPrgFolder) {
    IDialogView& view = *m_model;
    view.ShowItem(IDC_CONNECT, true);
    view.ShowItem(IDC_DISCONNECT, false);
    view.ShowItem(IDC_DOT_CLOSED, true);
    view.ShowItem(IDC_DOT_OPEN, false);
    view.ShowItem(IDC_PROGRESS, false);
    if (m_pLink == nullptr)
        m_pLink = CDeviceLink::GetInstance();
    view.ResizeWindow(kSmallWindowWidth, kSmallWindowHeight);
    FillLoadAddressList(view);
    FillOptionLists(view);
    if (createPrgFolder)
        EnsurePrgFolder();
    FillComboWithPrgEntries(view, IDC_PACKAGE_LIST, ".pkg");
    return true;
}

void CVornakDlg::UpdateConnectButtons() {
    IDialogView& view = *m_model;
    const bool open = m_pLink->IsOpen();
    const int shown = open ? IDC_DISCONNECT : IDC_CONNECT;
    view.ShowItem(IDC_CONNECT, !open);
    view.ShowItem(IDC_DISCONNECT, open);
    view.SetDefaultButton(shown);
    view.SetFocusItem(shown);
    view.ShowItem(IDC_DOT_CLOSED, !open);
    view.ShowItem(IDC_DOT_OPEN, open);
}

HandlerOutcome CVornakDlg::OnBnClickedConnect() {
    OpResult r = Connect(*this);
    UpdateConnectButtons();
    ForgetOtherBoxSettings();
    return {std::move(r)};
}

HandlerOutcome CVornakDlg::OnBnClickedDisconnect() {
    // The update needs the line to its end; a disconnect under it would only
    // make its next step scan and reconnect behind the operator's back.
    if (m_hUpgradeThread->IsRunning()) {
        ShowStatus(kTextDisconnectDuringUpgrade);
        return {OpResult{}};
    }
    const StatusWord status = Disconnect(*this);
    UpdateConnectButtons();
    if (status == ST_OK) {
        ClearConnectionFields();
        ShowStatus(kTextDisconnected);
    } else {
        ShowStatus(kTextDisconnectFailed);
    }
    return {OpResult{.ok = status == ST_OK, .status = status}};
}

void CVornakDlg::ClearConnectionFields() {
    for (int id : {IDC_PORT_NAME, IDC_BAUD_RATE, IDC_SERIAL, IDC_VERSION})
        m_model->SetItemText(id, "");
}

bool CVornakDlg::OnLineGone() {
    if (m_pLink->IsOpen())
        return false;
    m_pLink->ReleaseDeadLine();
    UpdateConnectButtons();
    ClearConnectionFields();
    // An update cut short by the loss has said so, in more words.
    if (m_model->GetItemText(IDC_STATUS) != kTextUpgradeLineGone)
        ShowStatus(kTextLineGone);
    return true;
}

void CVornakDlg::OnPackageListDropDown() {
    RefillComboWithPrgEntries(*m_model, IDC_PACKAGE_LIST, ".pkg");
}

HandlerOutcome CVornakDlg::OnBnClickedGetDeviceInfo() {
    OpResult r = ::OnBnClickedGetDeviceInfo(*this);
    ForgetOtherBoxSettings();
    return {std::move(r)};
}

void CVornakDlg::NoteSettingsSource() {
    m_settingsSerial = m_model->GetItemText(IDC_SERIAL);
}

void CVornakDlg::ForgetOtherBoxSettings() {
    const std::string serial = m_model->GetItemText(IDC_SERIAL);
    if (serial.empty())
        return;
    if (!m_settingsSerial.empty() && m_settingsSerial != serial) {
        for (int block = 1; block <= kConfigBlockCount; ++block)
            ClearBlockValues(*m_model, block);
    }
    // Values read before any serial was shown are taken to be this box's.
    m_settingsSerial = serial;
}

HandlerOutcome CVornakDlg::OnStnClickedVersionLabel() {
    ::OnStnClickedVersionLabel(*this);
    return {};
}

HandlerOutcome CVornakDlg::OnStnClickedSerialLabel() {
    ::OnStnClickedSerialLabel(*this);
    return {};
}

void CVornakDlg::ToggleAdvancedWidth() {
    IDialogView& view = *m_model;
    if (view.GetClientWidth() < kLargeClientMinWidth) {
        view.SetItemText(IDC_ADVANCED_TOGGLE, kTextToggleClose);
        view.ResizeWindow(kLargeWindowWidth, kLargeWindowHeight);
    } else {
        view.SetItemText(IDC_ADVANCED_TOGGLE, kTextToggleOpen);
        view.ResizeWindow(kSmallWindowWidth, kSmallWindowHeight);
    }
}

HandlerOutcome CVornakDlg::OnStnClickedAdvancedToggle() {
    ToggleAdvancedWidth();
    // The panel's read gives no verdict: the toggle's job is the panel.
    ReadSettingsQuietly(*this);
    NoteSettingsSource();
    return {};
}

HandlerOutcome CVornakDlg::OnBnClickedReadSettings() {
    OpResult r = ::OnBnClickedReadSettings(*this);
    NoteSettingsSource();
    return {std::move(r)};
}

HandlerOutcome CVornakDlg::OnBnClickedWriteSettings() {
    return {::OnBnClickedWriteSettings(*this)};
}

HandlerOutcome CVornakDlg::OnBnClickedFactoryReset() {
    OpResult r = ::OnBnClickedFactoryReset(*this);
    NoteSettingsSource();
    return {std::move(r)};
}

HandlerOutcome CVornakDlg::OnBnClickedBrowse() {
    if (auto path = m_model->ChooseOpenFile(kBinFilter, kBinPattern)) {
        m_model->SetItemText(IDC_TARGET_FILE, *path);
    }
    return {};
}

HandlerOutcome CVornakDlg::OnBnClickedUpgrade() {
    // The worker holds the model and the link through a host of its own, so
    // it never touches this object, which the window may destroy meanwhile.
    // An update that could not start has no result: the click failed.
    return {std::nullopt, m_hUpgradeThread->Start(std::make_shared<CModelHost>(m_model, m_pLink),
                                                  m_upgradeTiming)};
}

HandlerOutcome CVornakDlg::OnBnClickedSendFile() {
    return {OnSendFile(*this)};
}

HandlerOutcome CVornakDlg::OnBnClickedJump() {
    return {OnJump(*this)};
}

std::optional<HandlerOutcome> CVornakDlg::OnCommand(int id) {
    const DialogHandler* row = FindDialogHandler(id);
    if (row == nullptr)
        return std::nullopt;
    // Anything sent between the update's packets could leave the box without
    // working firmware. A second update sends nothing (the runner refuses it),
    // but the operator hears why nothing happened all the same.
    if ((row->talksToBox || id == IDC_UPGRADE) && m_hUpgradeThread->IsRunning())
        return RefuseDuringUpgrade(id);
    return (this->*row->handler)();
}

HandlerOutcome CVornakDlg::RefuseDuringUpgrade(int id) {
    // Showing the settings panel needs no box; only its read waits.
    if (id == IDC_ADVANCED_TOGGLE)
        ToggleAdvancedWidth();
    ShowStatus(id == IDC_DISCONNECT ? kTextDisconnectDuringUpgrade : kTextBoxBusyDuringUpgrade);
    return {OpResult{}};
}

bool CVornakDlg::IsBoxHandler(int id) {
    const DialogHandler* row = FindDialogHandler(id);
    return row != nullptr && row->talksToBox;
}

bool CVornakDlg::WaitForUpgrade(std::uint32_t timeoutMs) const {
    return m_hUpgradeThread->Wait(timeoutMs);
}

bool CVornakDlg::IsUpgradeRunning() const {
    return m_hUpgradeThread->IsRunning();
}
