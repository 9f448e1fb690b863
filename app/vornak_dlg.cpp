#include "app/vornak_dlg.h"

#include <utility>

#include "device/identity_handlers.h"
#include "dialog/model_host.h"
#include "device/settings_panel.h"
#include "firmware/file_transfer.h"
#include "firmware/prg_folder.h"
#include "firmware/upgrade_runner.h"
#include "link/device_link.h"
#include "res/resource.h"
#include "res/status_texts.h"

namespace {
constexpr char kBinFilter[] = "固件包(*.bin)";
constexpr char kBinPattern[] = "*.bin";
}  // namespace

CVornakDlg::CVornakDlg(std::shared_ptr<CDialogModel> model, CDeviceLink* link)
    : CModelHost(std::move(model), link), m_hUpgradeThread(std::make_shared<CUpgradeRunner>()) {}

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
    CSettingsPanel(*this).FillOptionLists();
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

void CVornakDlg::OnBnClickedConnect() {
    CIdentityHandlers(*this).Connect();
    UpdateConnectButtons();
}

void CVornakDlg::OnBnClickedDisconnect() {
    const StatusWord status = CIdentityHandlers(*this).Disconnect();
    UpdateConnectButtons();
    if (status == ST_OK) {
        for (int id : {IDC_PORT_NAME, IDC_BAUD_RATE, IDC_SERIAL, IDC_VERSION}) {
            m_model->SetItemText(id, "");
        }
        ShowStatus(kTextDisconnected);
    } else {
        ShowStatus(kTextDisconnectFailed);
    }
}

void CVornakDlg::OnBnClickedGetDeviceInfo() {
    CIdentityHandlers(*this).OnBnClickedGetDeviceInfo();
}

void CVornakDlg::OnStnClickedVersionLabel() {
    CIdentityHandlers(*this).OnStnClickedVersionLabel();
}

void CVornakDlg::OnStnClickedSerialLabel() {
    CIdentityHandlers(*this).OnStnClickedSerialLabel();
}

void CVornakDlg::OnStnClickedAdvancedToggle() {
    CSettingsPanel(*this).OnStnClickedAdvancedToggle();
}

void CVornakDlg::OnBnClickedReadSettings() {
    CSettingsPanel(*this).OnBnClickedReadSettings();
}

void CVornakDlg::OnBnClickedWriteSettings() {
    CSettingsPanel(*this).OnBnClickedWriteSettings();
}

void CVornakDlg::OnBnClickedFactoryReset() {
    CSettingsPanel(*this).OnBnClickedFactoryReset();
}

void CVornakDlg::OnBnClickedBrowse() {
    if (auto path = m_model->ChooseOpenFile(kBinFilter, kBinPattern)) {
        m_model->SetItemText(IDC_TARGET_FILE, *path);
    }
}

void CVornakDlg::OnBnClickedUpgrade() {
    // The worker holds the model and the link through a host of its own, so
    // it never touches this object, which the window may destroy meanwhile.
    m_hUpgradeThread->Start(std::make_shared<CModelHost>(m_model, m_pLink), m_upgradeTiming);
}

void CVornakDlg::OnBnClickedSendFile() {
    OnSendFile(*this);
}

void CVornakDlg::OnBnClickedJump() {
    OnJump(*this);
}

bool CVornakDlg::OnCommand(int id) {
    switch (id) {
        case IDC_CONNECT:
            OnBnClickedConnect();
            return true;
        case IDC_DISCONNECT:
            OnBnClickedDisconnect();
            return true;
        case IDC_GET_DEVICE_INFO:
            OnBnClickedGetDeviceInfo();
            return true;
        case IDC_FACTORY_TEST:
            OnBnClickedFactoryTest();
            return true;
        case IDC_VERSION_LABEL:
            OnStnClickedVersionLabel();
            return true;
        case IDC_SERIAL_LABEL:
            OnStnClickedSerialLabel();
            return true;
        case IDC_ADVANCED_TOGGLE:
            OnStnClickedAdvancedToggle();
            return true;
        case IDC_READ_SETTINGS:
            OnBnClickedReadSettings();
            return true;
        case IDC_WRITE_SETTINGS:
            OnBnClickedWriteSettings();
            return true;
        case IDC_FACTORY_RESET:
            OnBnClickedFactoryReset();
            return true;
        case IDC_BROWSE:
            OnBnClickedBrowse();
            return true;
        case IDC_UPGRADE:
            OnBnClickedUpgrade();
            return true;
        case IDC_SEND_FILE:
            OnBnClickedSendFile();
            return true;
        case IDC_JUMP:
            OnBnClickedJump();
            return true;
        default:
            return false;
    }
}

bool CVornakDlg::IsBoxHandler(int id) {
    switch (id) {
        case IDC_CONNECT:
        case IDC_DISCONNECT:
        case IDC_GET_DEVICE_INFO:
        case IDC_ADVANCED_TOGGLE:
        case IDC_READ_SETTINGS:
        case IDC_WRITE_SETTINGS:
        case IDC_FACTORY_RESET:
        case IDC_SEND_FILE:
        case IDC_JUMP:
            return true;
        default:
            return false;
    }
}

bool CVornakDlg::IsUpgradeRunning() const {
    return m_hUpgradeThread->IsRunning();
}

bool CVornakDlg::WaitForUpgrade(std::uint32_t timeoutMs) const {
    return m_hUpgradeThread->Wait(timeoutMs);
}

void CVornakDlg::SetUpgradeTimingForTests(const UpgradeTiming& timing) {
    m_upgradeTiming = timing;
}
