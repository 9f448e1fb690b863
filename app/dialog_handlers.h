#pragma once
// The main dialog's click handlers as data: which control runs which handler,
// whether that handler talks to the box, and which vornak-cli command runs it.
// CVornakDlg::OnCommand and IsBoxHandler read this table, and vornak-cli finds
// its command's control here, so a control is listed once.

#include <cstddef>
#include <iterator>
#include <string_view>

#include "app/vornak_dlg.h"
#include "res/resource.h"

struct DialogHandler {
    int controlId;
    HandlerOutcome (CVornakDlg::*handler)();
    // The handler blocks on the link, so the window runs it off its own thread.
    bool talksToBox;
    // The vornak-cli command that runs this handler; nullptr when none does.
    const char* cliCommand;
};

inline constexpr DialogHandler kDialogHandlers[] = {
    {IDC_CONNECT, &CVornakDlg::OnBnClickedConnect, true, "connect"},
    {IDC_DISCONNECT, &CVornakDlg::OnBnClickedDisconnect, true, "disconnect"},
    {IDC_GET_DEVICE_INFO, &CVornakDlg::OnBnClickedGetDeviceInfo, true, "info"},
    {IDC_FACTORY_TEST, &CVornakDlg::OnBnClickedFactoryTest, false, nullptr},
    {IDC_VERSION_LABEL, &CVornakDlg::OnStnClickedVersionLabel, false, nullptr},
    {IDC_SERIAL_LABEL, &CVornakDlg::OnStnClickedSerialLabel, false, nullptr},
    {IDC_ADVANCED_TOGGLE, &CVornakDlg::OnStnClickedAdvancedToggle, true, nullptr},
    {IDC_READ_SETTINGS, &CVornakDlg::OnBnClickedReadSettings, true, "read-settings"},
    {IDC_WRITE_SETTINGS, &CVornakDlg::OnBnClickedWriteSettings, true, "write-settings"},
    {IDC_FACTORY_RESET, &CVornakDlg::OnBnClickedFactoryReset, true, "factory-reset"},
    {IDC_BROWSE, &CVornakDlg::OnBnClickedBrowse, false, nullptr},
    // The update runs on a worker of its own; the click only starts it.
    {IDC_UPGRADE, &CVornakDlg::OnBnClickedUpgrade, false, "upgrade"},
    {IDC_SEND_FILE, &CVornakDlg::OnBnClickedSendFile, true, "send"},
    {IDC_JUMP, &CVornakDlg::OnBnClickedJump, true, "jump"},
};

// A second row for a control would never run: OnCommand takes the first.
constexpr bool EachControlHasOneRow() {
    for (std::size_t i = 0; i < std::size(kDialogHandlers); ++i) {
        for (std::size_t j = i + 1; j < std::size(kDialogHandlers); ++j) {
            if (kDialogHandlers[i].controlId == kDialogHandlers[j].controlId)
                return false;
        }
    }
    return true;
}
static_assert(EachControlHasOneRow(), "a control has two rows in kDialogHandlers");

// The row of control `id`; nullptr when a click on it runs nothing.
constexpr const DialogHandler* FindDialogHandler(int id) {
    for (const DialogHandler& row : kDialogHandlers) {
        if (row.controlId == id)
            return &row;
    }
    return nullptr;
}

// Whether a vornak-cli command has a row. A bool rather than a pointer test,
// so that it stays a constant expression in sanitizer builds, which do not
// fold comparisons of a table element's address.
constexpr bool HasCliHandler(std::string_view command) {
    for (const DialogHandler& row : kDialogHandlers) {
        if (row.cliCommand != nullptr && command == row.cliCommand)
            return true;
    }
    return false;
}

// The row that vornak-cli's `command` runs; nullptr for a command that runs no
// handler of the dialog.
constexpr const DialogHandler* FindCliHandler(std::string_view command) {
    for (const DialogHandler& row : kDialogHandlers) {
        if (row.cliCommand != nullptr && command == row.cliCommand)
            return &row;
    }
    return nullptr;
}
