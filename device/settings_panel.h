#pragma once
// The settings panel's handlers: filling the option lists, the advanced
// toggle, Read settings, Write settings and Factory reset.
//
// Toolkit-free: every control is reached by its ID through the host's view at
// the moment of use, and every outcome goes to the status line through
// IDialogHost::ShowStatus. Each handler blocks its caller until its last
// transaction ends; nothing survives a click except what the controls show.

#include "device/device_settings.h"
#include "dialog/dialog_host.h"
#include "res/status_texts.h"

// Window sizes in pixels of the whole window; the toggle tells them apart by
// the client width.
constexpr int kSmallWindowWidth = 520;
constexpr int kSmallWindowHeight = 360;
constexpr int kLargeWindowWidth = 1000;
constexpr int kLargeWindowHeight = 720;
// A client area narrower than this is the small window, which hides the panel.
constexpr int kLargeClientMinWidth = 700;

// Captions of the toggle: which way its next click goes.
inline constexpr const char* kTextToggleOpen = "高级设置>>>";
inline constexpr const char* kTextToggleClose = "<<<关闭设置";

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
