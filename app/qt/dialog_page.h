#pragma once
// CDialogPage: the controls of one dialog template, rendered from the template
// data and kept in line with a CDialogModel.
//
// The page builds one widget per control at the template's rectangle, in the
// template's order, which is also the tab order. It applies the model's events
// (ApplyEvent, on the GUI thread) and writes the operator's input back to the
// model (check marks, combo selections, typed text); clicks on buttons, check
// boxes and statics that report clicks come out as controlClicked. It never
// runs a handler itself.

#include <QWidget>
#include <map>
#include <memory>
#include <vector>

#include "app/qt/dialog_metrics.h"
#include "dialog/dialog_model.h"
#include "res/dialog_templates.h"

class QCheckBox;
class QLabel;
class QTimer;

struct RenderedControl {
    const DialogControl* control;
    QWidget* widget;
};

class CDialogPage : public QWidget {
    Q_OBJECT
public:
    CDialogPage(const DialogTemplate& dialogTemplate, const DialogMetrics& metrics,
                std::shared_ptr<CDialogModel> model, QWidget* parent = nullptr);

    // The widget of control `id`; nullptr for an unknown ID.
    QWidget* Control(int id) const;
    // Every control, labels included, in template order.
    const std::vector<RenderedControl>& Controls() const { return m_rendered; }
    // The first control that takes a tab stop.
    QWidget* FirstTabStop() const;

    // Gives the model the template's captions and hides what the template
    // creates hidden, so that model and page start alike. Call it before the
    // model has an observer: it reports nothing.
    void SeedModel();
    // Makes every control show the model's present state.
    void SyncFromModel();
    // One change of the model. GUI thread only.
    void ApplyEvent(const ControlEvent& event);

    // Chains the controls with a tab stop in template order; again after some
    // of them moved to another parent.
    void ChainTabOrder();

    // Shows `text` over the status line for `ms`, in a look of its own, while
    // the status line goes on taking every text underneath: for a note the
    // texts that follow at once must not hide from the operator.
    void ShowStatusNote(const QString& text, int ms);

    // Extra lines for the status field's tooltip (why a scan found no box);
    // empty for none. Shown from the next status text on.
    void SetStatusDetail(const QString& detail);

signals:
    void controlClicked(int id);
    // The list of combo box `id` is about to drop down.
    void listAboutToDropDown(int id);
    // A text that a control has just been given, for anyone who follows it.
    void textShown(int id, const QString& text);

private:
    QWidget* CreateControl(const DialogControl& control);
    void SetText(int id, QWidget* widget, const std::string& text);
    void ShowCheck(QCheckBox* box, bool checked, bool unknown);
    void SetComboItems(QWidget* widget, const std::vector<std::string>& items, int curSel,
                       const std::string& text);
    void SetProgress(QWidget* widget, long long value, long long total);
    void SetDefaultButton(int id);
    void UpdateStatusToolTip(QWidget* widget, const QString& text);

    const DialogTemplate& m_template;
    DialogMetrics m_metrics;
    std::shared_ptr<CDialogModel> m_model;
    std::vector<RenderedControl> m_rendered;
    std::map<int, QWidget*> m_byId;
    QString m_statusDetail;
    QLabel* m_statusNote = nullptr;
    QTimer* m_statusNoteTimer = nullptr;
};
