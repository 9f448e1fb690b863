#include "dialog/dialog_model.h"

#include <algorithm>
#include <utility>

void CDialogModel::SetObserver(Observer observer) {
    std::lock_guard lock(m_observerMutex);
    m_observer = std::move(observer);
}

void CDialogModel::SetFileChooser(FileChooser chooser) {
    std::lock_guard lock(m_observerMutex);
    m_chooser = std::move(chooser);
}

void CDialogModel::SetFrameWidth(int pixels) {
    std::lock_guard lock(m_mutex);
    m_frameWidth = pixels;
}

void CDialogModel::Notify(const ControlEvent& event) {
    std::lock_guard lock(m_observerMutex);
    if (m_observer)
        m_observer(event);
}

ControlState CDialogModel::GetControl(int id) const {
    std::lock_guard lock(m_mutex);
    auto it = m_controls.find(id);
    return it == m_controls.end() ? ControlState{} : it->second;
}

int CDialogModel::DefaultButton() const {
    std::lock_guard lock(m_mutex);
    return m_defaultButton;
}

int CDialogModel::FocusItem() const {
    std::lock_guard lock(m_mutex);
    return m_focus;
}

int CDialogModel::WindowWidth() const {
    std::lock_guard lock(m_mutex);
    return m_width;
}

int CDialogModel::WindowHeight() const {
    std::lock_guard lock(m_mutex);
    return m_height;
}

void CDialogModel::SetItemText(int id, const std::string& text) {
    {
        std::lock_guard lock(m_mutex);
        m_controls[id].text = text;
    }
    Notify({ControlEvent::Kind::Text, id, text});
}

std::string CDialogModel::GetItemText(int id) const {
    std::lock_guard lock(m_mutex);
    auto it = m_controls.find(id);
    return it == m_controls.end() ? std::string() : it->second.text;
}

void CDialogModel::ShowItem(int id, bool show) {
    {
        std::lock_guard lock(m_mutex);
        m_controls[id].visible = show;
    }
    Notify({ControlEvent::Kind::Visible, id, {}, show});
}

bool CDialogModel::IsItemVisible(int id) const {
    std::lock_guard lock(m_mutex);
    auto it = m_controls.find(id);
    return it == m_controls.end() ? true : it->second.visible;
}

void CDialogModel::SetDefaultButton(int id) {
    {
        std::lock_guard lock(m_mutex);
        m_defaultButton = id;
    }
    Notify({ControlEvent::Kind::Default, id, {}});
}

void CDialogModel::SetFocusItem(int id) {
    {
        std::lock_guard lock(m_mutex);
        m_focus = id;
    }
    Notify({ControlEvent::Kind::Focus, id, {}});
}

void CDialogModel::SetCheck(int id, bool checked) {
    {
        std::lock_guard lock(m_mutex);
        ControlState& c = m_controls[id];
        c.checked = checked;
        c.checkUnknown = false;
    }
    Notify({ControlEvent::Kind::Check, id, {}, checked});
}

void CDialogModel::SetCheckUnknown(int id) {
    {
        std::lock_guard lock(m_mutex);
        ControlState& c = m_controls[id];
        c.checked = false;
        c.checkUnknown = true;
    }
    Notify({ControlEvent::Kind::CheckUnknown, id, {}});
}

bool CDialogModel::IsCheckUnknown(int id) const {
    std::lock_guard lock(m_mutex);
    auto it = m_controls.find(id);
    return it != m_controls.end() && it->second.checkUnknown;
}

bool CDialogModel::GetCheck(int id) const {
    std::lock_guard lock(m_mutex);
    auto it = m_controls.find(id);
    return it != m_controls.end() && it->second.checked;
}

void CDialogModel::ComboResetContent(int id) {
    {
        std::lock_guard lock(m_mutex);
        ControlState& c = m_controls[id];
        c.items.clear();
        c.curSel = -1;
    }
    Notify({ControlEvent::Kind::ItemsCleared, id, {}});
}

void CDialogModel::ComboInsert(int id, int index, const std::string& text) {
    int at;
    {
        std::lock_guard lock(m_mutex);
        auto& items = m_controls[id].items;
        at = (index < 0 || index > static_cast<int>(items.size())) ? static_cast<int>(items.size())
                                                                   : index;
        items.insert(items.begin() + at, text);
        ControlState& c = m_controls[id];
        if (c.curSel >= at)
            ++c.curSel;
    }
    Notify({ControlEvent::Kind::Items, id, text, false, at});
}

void CDialogModel::ComboSetCurSel(int id, int index) {
    int sel;
    {
        std::lock_guard lock(m_mutex);
        ControlState& c = m_controls[id];
        sel = (index >= 0 && index < static_cast<int>(c.items.size())) ? index : -1;
        c.curSel = sel;
        c.text = sel >= 0 ? c.items[sel] : std::string();
    }
    Notify({ControlEvent::Kind::Selection, id, {}, false, sel});
}

int CDialogModel::ComboGetCurSel(int id) const {
    std::lock_guard lock(m_mutex);
    auto it = m_controls.find(id);
    return it == m_controls.end() ? -1 : it->second.curSel;
}

int CDialogModel::ComboGetCount(int id) const {
    std::lock_guard lock(m_mutex);
    auto it = m_controls.find(id);
    return it == m_controls.end() ? 0 : static_cast<int>(it->second.items.size());
}

std::string CDialogModel::ComboGetText(int id, int index) const {
    std::lock_guard lock(m_mutex);
    auto it = m_controls.find(id);
    if (it == m_controls.end() || index < 0 || index >= static_cast<int>(it->second.items.size())) {
        return {};
    }
    return it->second.items[index];
}

void CDialogModel::SetProgress(int id, long long value, long long total) {
    {
        std::lock_guard lock(m_mutex);
        ControlState& c = m_controls[id];
        c.progressValue = value;
        c.progressTotal = total;
    }
    Notify({ControlEvent::Kind::Progress, id, {}, false, value, total});
}

void CDialogModel::ResizeWindow(int width, int height) {
    {
        std::lock_guard lock(m_mutex);
        m_width = width;
        m_height = height;
    }
    Notify({ControlEvent::Kind::WindowSize, 0, {}, false, width, height});
}

int CDialogModel::GetClientWidth() const {
    std::lock_guard lock(m_mutex);
    return m_width - m_frameWidth;
}

std::optional<std::string> CDialogModel::ChooseOpenFile(const std::string& filterText,
                                                        const std::string& pattern) {
    FileChooser chooser;
    {
        std::lock_guard lock(m_observerMutex);
        chooser = m_chooser;
    }
    if (!chooser)
        return std::nullopt;
    return chooser(filterText, pattern);
}

void CDialogModel::OperatorSetCheck(int id, bool checked) {
    std::lock_guard lock(m_mutex);
    ControlState& c = m_controls[id];
    c.checked = checked;
    c.checkUnknown = false;
}

void CDialogModel::OperatorSetCurSel(int id, int index) {
    std::lock_guard lock(m_mutex);
    ControlState& c = m_controls[id];
    c.curSel = (index >= 0 && index < static_cast<int>(c.items.size())) ? index : -1;
    c.text = c.curSel >= 0 ? c.items[c.curSel] : std::string();
}

void CDialogModel::OperatorSetText(int id, const std::string& text) {
    std::lock_guard lock(m_mutex);
    m_controls[id].text = text;
}

void CDialogModel::OperatorTypeComboText(int id, const std::string& text) {
    std::lock_guard lock(m_mutex);
    ControlState& c = m_controls[id];
    c.text = text;
    const auto it = std::find(c.items.begin(), c.items.end(), text);
    c.curSel = it == c.items.end() ? -1 : static_cast<int>(it - c.items.begin());
}
