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
// runs on a worker thread, one at a time; until it ends the window shows the
// wait cursor, swallows the operator's mouse and key input (nothing is
// disabled or greyed) and keeps painting. Other clicks run at once on the GUI thread. A close
// request while such a handler runs is held back and carried out as soon as it ends, so the
// operator's close is neither lost nor cuts a transaction short; the
// destructor still waits for a running handler before it destroys the dialog
// core. The firmware update's own worker never delays closing: it holds the
// shared model, and the window stops listening to the model when it goes.
//
// Closing while a transfer runs (a firmware update, a file download) asks
// first, default "no": an update cut short leaves the box's firmware
// incomplete. Esc never closes the window, and Enter presses a button only
// when that button has the focus: on a line an operator presses them by
// habit, not to end the tool or to connect.
//
// The connect-state look follows the link: the link's state hook (any
// thread) posts each change here. A line found gone is closed, with the
// disconnected look and a status text, once no operation uses the link; a
// scan that found no box leaves the reasons the ports could not be opened in
// the status field's tooltip and on stderr.
//
// The window keeps on its screen: when a resize would reach past the screen's
// edge it moves left or up, and on a screen too small for it the client area
// is capped to the screen with scroll bars, the connect row and the status
// line standing outside the scrolling page (CPinnedRows).
//
// The tester information item ("关于 Vornak(&A)...") and the production
// station ("打开生产配方...") are in the context menu of the dialog's
// background, the one menu a dialog without a menu bar offers; the
// information item's action is the window's child named kAboutActionName, and
// there is none when string IDS_ABOUTBOX is empty. A station window opened
// there is closed (with its own question) before this one.

#include <QDialog>
#include <QSize>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "app/qt/dialog_metrics.h"
#include "app/vornak_dlg.h"
#include "dialog/dialog_model.h"
#include "link/device_link.h"

class QAction;
class QScrollArea;
class QTimer;
class CDialogPage;
class CPinnedRows;
class CInputBlocker;

// The object name of the context menu's tester information item.
inline constexpr char kAboutActionName[] = "aboutAction";

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
    void keyPressEvent(QKeyEvent* event) override;
    // Asks the operator `question` (yes/no, default no); true for yes.
    virtual bool AskYesNo(const QString& question);
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
    // The question a close asks while a transfer runs; empty when none runs.
    QString TransferCloseQuestion() const;
    void OnLinkState(CDeviceLink::State state);
    // Brings the connect-state look in line with the link, and closes a line
    // found gone once nothing uses it.
    void SyncLinkLook();
    void OnListAboutToDropDown(int id);
    // Moves the window back onto its screen, or caps it to the screen.
    void KeepOnScreen(QSize outer, QMargins frame);

    std::shared_ptr<CDialogModel> m_model;
    DialogMetrics m_metrics;
    CDialogPage* m_page = nullptr;
    CInputBlocker* m_blocker = nullptr;
    QAction* m_aboutAction = nullptr;
    QAction* m_recipeAction = nullptr;
    QScrollArea* m_scroll = nullptr;
    std::unique_ptr<CPinnedRows> m_pinnedRows;
    CDeviceLink* m_link = nullptr;
    std::unique_ptr<CVornakDlg> m_dlg;
    std::thread m_handler;
    bool m_busy = false;
    int m_busyId = 0;
    bool m_closePending = false;
    bool m_asking = false;
    // The link reported its line gone; the close waits for the operation.
    bool m_lineGone = false;
    QTimer* m_lineGoneRecheck = nullptr;
    QSize m_outerSize;
};
