#pragma once
// CDialogModel: the state of every control of a dialog, kept apart from any
// toolkit.
//
// It is the headless implementation of IDialogView that tests and the
// command-line tool drive, and the state behind the Qt window, which renders
// it. All access goes through one mutex, so handlers on any thread may use it.
// After each change the observer, if any, hears of it with the new value; it
// is called outside the state lock, under a lock of its own, so that clearing
// the observer (a window being destroyed) waits for a call in progress and no
// call follows.

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "dialog/dialog_view.h"

struct ControlState {
    std::string text;
    bool visible = true;
    bool checked = false;
    bool checkUnknown = false;  // a check box showing no value
    std::vector<std::string> items;
    int curSel = -1;
    long long progressValue = 0;
    long long progressTotal = 0;
};

struct ControlEvent {
    enum class Kind {
        Text,
        Visible,
        Default,
        Focus,
        Check,
        CheckUnknown,
        Items,
        ItemsCleared,
        Selection,
        Progress,
        WindowSize
    };
    Kind kind;
    int id = 0;
    std::string text;
    bool flag = false;
    long long value = 0;
    long long total = 0;
};

class CDialogModel : public IDialogView {
public:
    using Observer = std::function<void(const ControlEvent&)>;
    using FileChooser =
        std::function<std::optional<std::string>(const std::string&, const std::string&)>;

    CDialogModel() = default;

    void SetObserver(Observer observer);
    void SetFileChooser(FileChooser chooser);
    // Width of the window frame (left plus right border) in pixels, so that the
    // client width follows from the outer width as on screen.
    void SetFrameWidth(int pixels);

    ControlState GetControl(int id) const;
    int DefaultButton() const;
    int FocusItem() const;
    int WindowWidth() const;
    int WindowHeight() const;

    void SetItemText(int id, const std::string& text) override;
    std::string GetItemText(int id) const override;
    void ShowItem(int id, bool show) override;
    bool IsItemVisible(int id) const override;
    void SetDefaultButton(int id) override;
    void SetFocusItem(int id) override;
    void SetCheck(int id, bool checked) override;
    bool GetCheck(int id) const override;
    void SetCheckUnknown(int id) override;
    bool IsCheckUnknown(int id) const override;
    void ComboResetContent(int id) override;
    void ComboInsert(int id, int index, const std::string& text) override;
    void ComboSetCurSel(int id, int index) override;
    int ComboGetCurSel(int id) const override;
    int ComboGetCount(int id) const override;
    std::string ComboGetText(int id, int index) const override;
    void SetProgress(int id, long long value, long long total) override;
    void ResizeWindow(int width, int height) override;
    int GetClientWidth() const override;
    std::optional<std::string> ChooseOpenFile(const std::string& filterText,
                                              const std::string& pattern) override;

    // Input from the operator in a rendered window: same state, no echo back
    // to the observer.
    void OperatorSetCheck(int id, bool checked);
    void OperatorSetCurSel(int id, int index);
    void OperatorSetText(int id, const std::string& text);
    // Text typed into a combo box's field: the entry with exactly that text
    // becomes the selection, or none when no entry has it.
    void OperatorTypeComboText(int id, const std::string& text);

private:
    void Notify(const ControlEvent& event);

    mutable std::mutex m_mutex;
    std::map<int, ControlState> m_controls;
    int m_defaultButton = 0;
    int m_focus = 0;
    int m_width = 0;
    int m_height = 0;
    int m_frameWidth = 16;

    std::mutex m_observerMutex;
    Observer m_observer;
    FileChooser m_chooser;
};
