#pragma once
// IDialogView: how the dialog's handlers see the window.
//
// Handlers read and write controls by numeric ID (res/resource.h) at the
// moment of use. The headless CDialogModel implements this for tests and the
// command-line tool; the Qt window wraps the same model and renders it. Every
// method may be called from any thread (the firmware update writes from its
// worker); implementations serialise access themselves.
//
// Texts are UTF-8. Combo indexes are 0-based; -1 means no selection. A combo
// box's text is what its field shows: the selected entry's text, or, with no
// selection, whatever the operator typed (typing an entry's exact text selects
// that entry).

#include <optional>
#include <string>

// The progress total of a wait whose length is unknown (a box restarting).
inline constexpr long long kProgressBusy = -1;

class IDialogView {
public:
    virtual ~IDialogView() = default;

    virtual void SetItemText(int id, const std::string& text) = 0;
    virtual std::string GetItemText(int id) const = 0;

    virtual void ShowItem(int id, bool show) = 0;
    virtual bool IsItemVisible(int id) const = 0;

    // Gives a push button the default-button style.
    virtual void SetDefaultButton(int id) = 0;
    virtual void SetFocusItem(int id) = 0;

    virtual void SetCheck(int id, bool checked) = 0;
    // False while the check box shows no value.
    virtual bool GetCheck(int id) const = 0;
    // Makes a check box show no value, neither on nor off (an option whose
    // value is unknown); SetCheck or the operator's click gives it one.
    virtual void SetCheckUnknown(int id) = 0;
    virtual bool IsCheckUnknown(int id) const = 0;

    // Removes every entry; the selection goes, the field's text stays.
    virtual void ComboResetContent(int id) = 0;
    // Inserts at `index` (appends when index is -1 or past the end).
    virtual void ComboInsert(int id, int index, const std::string& text) = 0;
    // Also makes the field show the entry's text (none for -1).
    virtual void ComboSetCurSel(int id, int index) = 0;
    virtual int ComboGetCurSel(int id) const = 0;
    virtual int ComboGetCount(int id) const = 0;
    virtual std::string ComboGetText(int id, int index) const = 0;

    // Progress bar: value of total; shown only while a transfer runs. A total
    // of kProgressBusy shows work going on with no measure of how far.
    virtual void SetProgress(int id, long long value, long long total) = 0;

    // Outer window size in pixels, title bar included.
    virtual void ResizeWindow(int width, int height) = 0;
    virtual int GetClientWidth() const = 0;

    // A modal file-open dialog; empty when the operator cancels.
    virtual std::optional<std::string> ChooseOpenFile(const std::string& filterText,
                                                      const std::string& pattern) = 0;
};
