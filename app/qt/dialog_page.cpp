#include "app/qt/dialog_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <algorithm>

#include "app/qt/app_icons.h"
#include "app/qt/clickable_label.h"
#include "app/qt/drop_down_combo.h"
#include "app/qt/to_qstring.h"
#include "dialog/status_hints.h"
#include "res/resource.h"

namespace {

// Height of a combo box's field in dialog units: a template gives the height
// of the opened list instead, and the field is as high as a one-line edit.
constexpr int kComboFieldHeight = 12;
// Entries an opened list shows before it scrolls (the common-controls
// default for drop-down lists).
constexpr int kComboVisibleItems = 30;
// Progress bars count in steps of a thousandth, whatever the total.
constexpr int kProgressSteps = 1000;
// Edge of the port-state dot in pixels: the 16 px drawing of the icon, which
// sits well beside a one-line button.
constexpr int kDotPixels = 16;

// A multi-line caption breaks at "\r\n"; Qt breaks at "\n".
QString CaptionText(std::string_view text) {
    QString s = ToQString(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s;
}

}  // namespace

CDialogPage::CDialogPage(const DialogTemplate& dialogTemplate, const DialogMetrics& metrics,
                         std::shared_ptr<CDialogModel> model, QWidget* parent)
    : QWidget(parent), m_template(dialogTemplate), m_metrics(metrics), m_model(std::move(model)) {
    setFont(m_metrics.font);
    resize(m_metrics.Size(m_template.cx, m_template.cy));
    for (const DialogControl& control : m_template.controls) {
        QWidget* widget = CreateControl(control);
        m_rendered.push_back({&control, widget});
        if (control.id != IDC_STATIC)
            m_byId[control.id] = widget;
    }
    ChainTabOrder();
}

QWidget* CDialogPage::Control(int id) const {
    auto it = m_byId.find(id);
    return it == m_byId.end() ? nullptr : it->second;
}

QWidget* CDialogPage::FirstTabStop() const {
    for (const RenderedControl& r : m_rendered) {
        if (r.control->style & kTabStop)
            return r.widget;
    }
    return nullptr;
}

QWidget* CDialogPage::CreateControl(const DialogControl& control) {
    const int id = control.id;
    const QRect rect = m_metrics.Rect(control.rect);
    const QString caption = CaptionText(control.caption);
    QWidget* widget = nullptr;

    switch (control.kind) {
        case ControlKind::Static: {
            QLabel* label;
            if (control.style & kNotify) {
                auto* clickable = new CClickableLabel(this);
                connect(clickable, &CClickableLabel::clicked, this,
                        [this, id] { emit controlClicked(id); });
                label = clickable;
            } else {
                label = new QLabel(this);
            }
            // Texts from the box and the status line are shown as they are,
            // never read as markup.
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setText(caption);
            // The status line's text may be longer than its field: the
            // operator selects and copies it, the whole of it in the tooltip.
            if (id == IDC_STATUS)
                label->setTextInteractionFlags(Qt::TextSelectableByMouse);
            widget = label;
            break;
        }
        case ControlKind::Icon: {
            auto* label = new QLabel(this);
            label->setAlignment(Qt::AlignCenter);
            label->setPixmap(LoadResIcon(control.icon).pixmap(QSize(kDotPixels, kDotPixels)));
            widget = label;
            break;
        }
        case ControlKind::Edit: {
            auto* edit = new QLineEdit(this);
            edit->setText(caption);
            if (control.style & kReadOnly) {
                edit->setReadOnly(true);
                // Read-only fields look like the dialog's background, as the
                // operator knows them: they can be copied, not typed into.
                QPalette palette = edit->palette();
                palette.setColor(QPalette::Base, palette.color(QPalette::Window));
                edit->setPalette(palette);
            } else {
                connect(edit, &QLineEdit::textEdited, this, [this, id](const QString& text) {
                    m_model->OperatorSetText(id, text.toStdString());
                });
            }
            // A single-line field taller than one line keeps its text at the top.
            edit->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            if (rect.height() <= m_metrics.Y(kComboFieldHeight + 2))
                edit->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            widget = edit;
            break;
        }
        case ControlKind::PushButton: {
            auto* button = new QPushButton(caption, this);
            button->setAutoDefault(true);
            button->setDefault(control.style & kDefaultButton);
            connect(button, &QPushButton::clicked, this, [this, id] { emit controlClicked(id); });
            widget = button;
            break;
        }
        case ControlKind::CheckBox: {
            auto* box = new QCheckBox(caption, this);
            connect(box, &QCheckBox::clicked, this, [this, id, box](bool checked) {
                // A box that showed no value has one now: on, then off, never
                // "no value" again from a click.
                box->setTristate(false);
                m_model->OperatorSetCheck(id, checked);
                emit controlClicked(id);
            });
            widget = box;
            break;
        }
        case ControlKind::ComboBox: {
            auto* combo = new CDropDownCombo(this);
            combo->setEditable(true);
            // Typed text never becomes an entry. What the field shows is what
            // operations use: the entry of that text, or the text itself.
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->setMaxVisibleItems(kComboVisibleItems);
            connect(combo, &QComboBox::editTextChanged, this, [this, id](const QString& text) {
                m_model->OperatorTypeComboText(id, text.toStdString());
            });
            connect(combo, &QComboBox::activated, this,
                    [this, id](int index) { m_model->OperatorSetCurSel(id, index); });
            connect(combo, &CDropDownCombo::aboutToDropDown, this,
                    [this, id] { emit listAboutToDropDown(id); });
            widget = combo;
            break;
        }
        case ControlKind::ProgressBar: {
            auto* bar = new QProgressBar(this);
            bar->setRange(0, kProgressSteps);
            bar->setValue(0);
            bar->setTextVisible(false);
            widget = bar;
            break;
        }
    }

    QRect placed = rect;
    if (control.kind == ControlKind::ComboBox)
        placed.setHeight(m_metrics.Y(kComboFieldHeight));
    widget->setGeometry(placed);
    widget->setFocusPolicy((control.style & kTabStop) ? Qt::StrongFocus : Qt::NoFocus);
    widget->setVisible(!(control.style & kInitiallyHidden));
    return widget;
}

void CDialogPage::ChainTabOrder() {
    QWidget* previous = nullptr;
    for (const RenderedControl& r : m_rendered) {
        if (!(r.control->style & kTabStop))
            continue;
        if (previous != nullptr)
            QWidget::setTabOrder(previous, r.widget);
        previous = r.widget;
    }
}

void CDialogPage::SeedModel() {
    for (const RenderedControl& r : m_rendered) {
        const DialogControl& c = *r.control;
        if (c.id == IDC_STATIC)
            continue;
        if (!c.caption.empty())
            m_model->OperatorSetText(c.id, std::string(c.caption));
        if (c.style & kInitiallyHidden)
            m_model->ShowItem(c.id, false);
    }
}

void CDialogPage::SyncFromModel() {
    for (const auto& [id, widget] : m_byId) {
        const ControlState state = m_model->GetControl(id);
        widget->setVisible(state.visible);
        if (auto* box = qobject_cast<QCheckBox*>(widget))
            ShowCheck(box, state.checked, state.checkUnknown);
        if (qobject_cast<QComboBox*>(widget) != nullptr) {
            SetComboItems(widget, state.items, state.curSel, state.text);
        } else if (qobject_cast<QProgressBar*>(widget) != nullptr) {
            SetProgress(widget, state.progressValue, state.progressTotal);
        } else {
            SetText(id, widget, state.text);
        }
    }
    if (const int id = m_model->DefaultButton(); id != 0)
        SetDefaultButton(id);
    if (const int id = m_model->FocusItem(); id != 0) {
        if (QWidget* widget = Control(id))
            widget->setFocus(Qt::OtherFocusReason);
    }
}

void CDialogPage::ApplyEvent(const ControlEvent& event) {
    using Kind = ControlEvent::Kind;
    if (event.kind == Kind::Default) {
        SetDefaultButton(event.id);
        return;
    }
    QWidget* widget = Control(event.id);
    if (widget == nullptr)
        return;
    switch (event.kind) {
        case Kind::Text:
            SetText(event.id, widget, event.text);
            break;
        case Kind::Visible:
            widget->setVisible(event.flag);
            break;
        case Kind::Focus:
            widget->setFocus(Qt::OtherFocusReason);
            break;
        case Kind::Check:
        case Kind::CheckUnknown:
            if (auto* box = qobject_cast<QCheckBox*>(widget))
                ShowCheck(box, event.flag, event.kind == Kind::CheckUnknown);
            break;
        case Kind::Items:
            if (auto* combo = qobject_cast<QComboBox*>(widget)) {
                const QSignalBlocker block(combo);
                const int selected = combo->currentIndex();
                combo->insertItem(static_cast<int>(event.value), ToQString(event.text));
                // Inserting into an empty list must not select the new entry:
                // a selection comes only from the model.
                combo->setCurrentIndex(selected < 0 ? -1 : combo->currentIndex());
            }
            break;
        case Kind::ItemsCleared:
            if (auto* combo = qobject_cast<QComboBox*>(widget)) {
                const QSignalBlocker block(combo);
                const QString shown = combo->currentText();
                combo->clear();
                combo->setEditText(shown);
            }
            break;
        case Kind::Selection:
            if (auto* combo = qobject_cast<QComboBox*>(widget)) {
                const QSignalBlocker block(combo);
                combo->setCurrentIndex(static_cast<int>(event.value));
            }
            break;
        case Kind::Progress:
            SetProgress(widget, event.value, event.total);
            break;
        case Kind::Default:
        case Kind::WindowSize:
            break;
    }
}

void CDialogPage::SetText(int id, QWidget* widget, const std::string& text) {
    const QString value = CaptionText(text);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(value);
        // Show the start of a text longer than the field.
        edit->setCursorPosition(0);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(value);
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        combo->setEditText(value);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        if (label->pixmap().isNull())
            label->setText(value);
        if (id == IDC_STATUS)
            UpdateStatusToolTip(label, value);
    } else {
        return;
    }
    emit textShown(id, value);
}

void CDialogPage::ShowCheck(QCheckBox* box, bool checked, bool unknown) {
    const QSignalBlocker block(box);
    // Partly checked is Qt's look for a box with no value.
    box->setTristate(unknown);
    box->setCheckState(unknown ? Qt::PartiallyChecked : (checked ? Qt::Checked : Qt::Unchecked));
}

void CDialogPage::SetComboItems(QWidget* widget, const std::vector<std::string>& items, int curSel,
                                const std::string& text) {
    auto* combo = qobject_cast<QComboBox*>(widget);
    const QSignalBlocker block(combo);
    combo->clear();
    for (const std::string& item : items)
        combo->addItem(ToQString(item));
    combo->setCurrentIndex(curSel);
    if (curSel < 0)
        combo->setEditText(ToQString(text));
}

void CDialogPage::ShowStatusNote(const QString& text, int ms) {
    auto* status = qobject_cast<QLabel*>(Control(IDC_STATUS));
    if (status == nullptr)
        return;
    if (m_statusNote == nullptr) {
        // A child of the status line, so it goes wherever the line goes.
        m_statusNote = new QLabel(status);
        m_statusNote->setObjectName(QStringLiteral("statusNote"));
        m_statusNote->setTextFormat(Qt::PlainText);
        m_statusNote->setAlignment(status->alignment());
        m_statusNote->setAutoFillBackground(true);
        m_statusNote->setStyleSheet(QStringLiteral("color: #b71c1c;"));
        m_statusNoteTimer = new QTimer(this);
        m_statusNoteTimer->setSingleShot(true);
        connect(m_statusNoteTimer, &QTimer::timeout, m_statusNote, &QWidget::hide);
    }
    m_statusNote->setGeometry(status->rect());
    m_statusNote->setText(text);
    m_statusNote->setToolTip(text);
    m_statusNote->show();
    m_statusNote->raise();
    m_statusNoteTimer->start(ms);
}

void CDialogPage::SetStatusDetail(const QString& detail) {
    m_statusDetail = detail;
}

void CDialogPage::UpdateStatusToolTip(QWidget* widget, const QString& text) {
    // The whole text (the field may cut it), what it means, and the detail.
    QStringList lines;
    if (!text.isEmpty())
        lines << text;
    // Made from the text: the field shows whatever the last handler left
    // there, long after its result went to whoever asked for it.
    const std::string hint = HintForStatus(text.toStdString());
    if (!hint.empty())
        lines << ToQString(hint);
    if (!text.isEmpty() && !m_statusDetail.isEmpty())
        lines << m_statusDetail;
    widget->setToolTip(lines.join(QLatin1Char('\n')));
}

void CDialogPage::SetProgress(QWidget* widget, long long value, long long total) {
    auto* bar = qobject_cast<QProgressBar*>(widget);
    if (bar == nullptr)
        return;
    if (total == kProgressBusy) {
        // No count to show: Qt's busy bar, moving by itself.
        bar->setRange(0, 0);
        return;
    }
    bar->setRange(0, kProgressSteps);
    const long long steps = total > 0 ? value * kProgressSteps / total : 0;
    bar->setValue(static_cast<int>(std::clamp<long long>(steps, 0, kProgressSteps)));
}

void CDialogPage::SetDefaultButton(int id) {
    for (const auto& [buttonId, widget] : m_byId) {
        if (auto* button = qobject_cast<QPushButton*>(widget))
            button->setDefault(buttonId == id);
    }
}
