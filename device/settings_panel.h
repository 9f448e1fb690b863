#pragma once
// The settings panel's handlers: filling the option lists, the advanced
// toggle, Read settings, Write settings and Factory reset.
//
// Toolkit-free: every control is reached by its ID through the host's view at
// the moment of use, and every outcome goes to the status line through
// IDialogHost::ShowStatus. Each handler blocks its caller until its last
// transaction ends; nothing survives a click except what the controls show.

#include "device/device_settings.h"
#include "device/dialog_host.h"

// Window sizes in pixels of the whole window; the toggle tells them apart by
// the client width.
constexpr int kSmallWindowWidth = 520;
constexpr int kSmallWindowHeight = 360;
constexpr int kLargeWindowWidth = 1000;
constexpr int kLargeWindowHeight = 720;
// A client area narrower than this is the small window, which hides the panel.
constexpr int kLargeClientMinWidth = 700;

// Status texts of the panel.
inline constexpr const char* kTextToggleOpen = "高级设置>>>";
inline constexpr const char* kTextToggleClose = "<<<关闭设置";
inline constexpr const char* kTextWriteOk = "写入设置成功";
inline constexpr const char* kTextFactoryResetOk = "恢复出厂设置成功";
// Write settings refuses while an option has no value (nothing read yet, or a
// read that failed): writing made-up values would overwrite the box's
// configuration. "Read the settings first: some options have no selection."
inline constexpr const char* kTextWriteNeedsRead = "请先读出设置:有选项未选择";

class CSettingsPanel {
public:
    explicit CSettingsPanel(IDialogHost& host) : m_host(host) {}

    void FillOptionLists();
    void OnStnClickedAdvancedToggle();
    void OnBnClickedReadSettings();
    void OnBnClickedWriteSettings();
    void OnBnClickedFactoryReset();

private:
    IDialogHost& m_host;
};

// A record made from the controls: a flag is on exactly when its check box is
// checked; a selection is the combo box's selected index, or none when nothing
// (or no entry of the option's list) is selected.
DeviceSettings SettingsFromControls(const IDialogView& view);

// Sets the controls of one block (1..3) from the record; a selection that is
// none clears its combo box's selection. Controls of other blocks are untouched.
void SetBlockControls(IDialogView& view, const DeviceSettings& settings, int block);
