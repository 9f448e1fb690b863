#pragma once
// CVornakWindow: the main window, a humble view of CVornakDlg.
//
// It renders dialog template 102 over the dialog's CDialogModel, forwards
// every click to CVornakDlg::OnCommand and carries the model's changes to the
// GUI thread: the model's observer may be called from any thread (handlers on
// the worker below, the firmware update's own thread), so each change is
// posted to this window as a queued call carrying its value, and every status
// text shows as it is written.
//
// Busy policy: a click whose handler talks to the box (CVornakDlg::IsBoxHandler)
// runs on a worker thread, one at a time; until it ends the window swallows
// the operator's mouse and key input (nothing is disabled or greyed) and keeps
// painting. Other clicks run at once on the GUI thread. A close request while
// such a handler runs is held back and carried out as soon as it ends, so the
// operator's close is neither lost nor cuts a transaction short; the
// destructor still waits for a running handler before it destroys the dialog
// core. The firmware update's own worker never delays closing: it holds the
// shared model, and the window stops listening to the model when it goes.
//
// The tester information item ("关于 Vornak(&A)...") and the production
// station ("打开生产配方...") are in the context menu of the dialog's
// background, the one menu a dialog without a menu bar offers.

#include <QDialog>
#include <QSize>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "app/qt/dialog_metrics.h"
#include "app/vornak_dlg.h"
#include "dialog/dialog_model.h"

class QAction;
class CDeviceLink;
class CDialogPage;
class CInputBlocker;

class CVornakWindow : public QDialog {
    Q_OBJECT
public:
    // `link` defaults to the process-wide link; `upgradeTiming` goes to the
    // dialog core (see CVornakDlg).
    explicit CVornakWindow(std::shared_ptr<CDialogModel> model = std::make_shared<CDialogModel>(),
                           CDeviceLink* link = nullptr, const UpgradeTiming& upgradeTiming = {},
                           QWidget* parent = nullptr);
    ~CVornakWindow() override;
    CVornakWindow(const CVornakWindow&) = delete;
    CVornakWindow& operator=(const CVornakWindow&) = delete;

    CDialogPage& Page() { return *m_page; }
    const DialogMetrics& Metrics() const { return m_metrics; }

    // Whether a click handler runs on the worker (input is swallowed then).
    bool IsBusy() const { return m_busy; }
    // The context menu's item that opens the tester information dialog;
    // nullptr when string IDS_ABOUTBOX is empty.
    QAction* AboutAction() const { return m_aboutAction; }

    // Opens the tester information dialog modally.
    void OnAboutBox();
    // Asks for a recipe file and opens the station window on it (one slot,
    // any port), a window of its own kept as this one's child so that this
    // modal dialog does not block it.
    void OnOpenRecipe();
    // Runs a click on control `id` as the operator's click runs: a handler
    // that talks to the box on the worker, any other at once. Ignored while
    // busy.
    void Click(int id);

signals:
    // A click handler that ran on the worker has ended.
    void handlerFinished(int id);

protected:
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;

private:
    void RunOnWorker(int id);
    void OnHandlerFinished(int id);
    void ApplyEvent(const ControlEvent& event);
    // Sizes the window so that its outer size, frame included, is m_outerSize,
    // and tells the model how wide the frame is.
    void ApplyOuterSize();
    std::optional<std::string> ChooseOpenFile(const std::string& filterText,
                                              const std::string& pattern);

    std::shared_ptr<CDialogModel> m_model;
    DialogMetrics m_metrics;
    CDialogPage* m_page = nullptr;
    CInputBlocker* m_blocker = nullptr;
    QAction* m_aboutAction = nullptr;
    QAction* m_recipeAction = nullptr;
    std::unique_ptr<CVornakDlg> m_dlg;
    std::thread m_handler;
    bool m_busy = false;
    bool m_closePending = false;
    QSize m_outerSize;
};
