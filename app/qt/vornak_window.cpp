#include "app/qt/vornak_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QThread>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <system_error>
#include <utility>
#include <vector>

#include "app/qt/about_window.h"
#include "app/qt/app_icons.h"
#include "app/qt/dialog_page.h"
#include "app/qt/input_blocker.h"
#include "app/qt/pinned_rows.h"
#include "app/qt/station_launch.h"
#include "app/qt/station_window.h"
#include "app/qt/to_qstring.h"
#include "link/port_failure.h"
#include "res/answer_texts.h"
#include "res/dialog_templates.h"
#include "res/resource.h"
#include "res/status_texts.h"
#include "res/string_table.h"

namespace {
// Time after showing by which a window manager has framed the window.
constexpr int kFrameSettleMs = 300;
// How often a line found gone during a firmware update looks again whether
// the update has ended, so that the port can be closed.
constexpr int kLineGoneRecheckMs = 200;
// How long a refusal stays over the status line: long enough to be read,
// while the texts it covers keep coming underneath.
constexpr int kRefusalNoteMs = 2000;

// Closing while a transfer runs: "A firmware update is running; quitting now
// leaves the box's firmware incomplete. Quit anyway?", and for a download,
// whose end the window waits for: "A file download is running; the tool quits
// once it has ended. Quit?".
constexpr char kCloseDuringUpgrade[] = "固件升级正在进行,现在退出会使设备固件不完整。确定退出吗?";
constexpr char kCloseDuringDownload[] = "文件下载正在进行,将在下载结束后退出。确定退出吗?";
}  // namespace

CVornakWindow::CVornakWindow(std::shared_ptr<CDialogModel> model, CDeviceLink* link,
                             const UpgradeTiming& upgradeTiming, QWidget* parent)
    : QDialog(parent), m_model(std::move(model)) {
    const DialogTemplate& dialogTemplate = *FindDialogTemplate(IDD_VORNAK_DIALOG);
    m_metrics = ChooseDialogMetrics(dialogTemplate.fontFace, dialogTemplate.fontPointSize);

    // A top-level application window with a minimise box and no maximise box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(ToQString(dialogTemplate.caption));
    setWindowIcon(LoadResIcon(IDR_MAINFRAME));

    // The page scrolls only on a screen too small for the window.
    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(false);
    // Tab walks the controls, never the area around them.
    m_scroll->setFocusPolicy(Qt::NoFocus);
    m_page = new CDialogPage(dialogTemplate, m_metrics, m_model);
    m_scroll->setWidget(m_page);
    m_pinnedRows = std::make_unique<CPinnedRows>(*m_page, *m_scroll, *this);
    m_blocker = new CInputBlocker(this);
    connect(m_page, &CDialogPage::controlClicked, this, &CVornakWindow::Click);
    connect(m_page, &CDialogPage::listAboutToDropDown, this, &CVornakWindow::OnListAboutToDropDown);
    m_lineGoneRecheck = new QTimer(this);
    m_lineGoneRecheck->setInterval(kLineGoneRecheckMs);
    connect(m_lineGoneRecheck, &QTimer::timeout, this, &CVornakWindow::SyncLinkLook);

    if (const std::string_view about = LoadResString(IDS_ABOUTBOX); !about.empty()) {
        m_aboutAction = new QAction(ToQString(about), this);
        m_aboutAction->setObjectName(kAboutActionName);
        connect(m_aboutAction, &QAction::triggered, this, &CVornakWindow::OnAboutBox);
    }

    m_recipeAction = new QAction(QStringLiteral("打开生产配方..."), this);
    connect(m_recipeAction, &QAction::triggered, this, &CVornakWindow::OnOpenRecipe);

    // The frame is unknown until the window shows; until then there is none.
    m_model->SetFrameWidth(0);
    m_page->SeedModel();
    m_link = link != nullptr ? link : CDeviceLink::GetInstance();
    m_dlg = std::make_unique<CVornakDlg>(m_model, m_link, upgradeTiming);
    m_dlg->OnInitDialog();
    // Nothing but this thread has touched the model so far, so the page takes
    // its state once and follows its changes from here on.
    m_page->SyncFromModel();
    m_outerSize = QSize(m_model->WindowWidth(), m_model->WindowHeight());
    ApplyOuterSize();

    m_model->SetObserver([this](const ControlEvent& event) {
        QMetaObject::invokeMethod(
            this, [this, event] { ApplyEvent(event); }, Qt::QueuedConnection);
    });
    m_model->SetFileChooser([this](const std::string& filterText, const std::string& pattern) {
        return ChooseOpenFile(filterText, pattern);
    });
    m_link->SetStateHook([this](CDeviceLink::State state) {
        QMetaObject::invokeMethod(
            this, [this, state] { OnLinkState(state); }, Qt::QueuedConnection);
    });
    m_link->SetSkippedPortsHook([this](const std::vector<CDeviceLink::SkippedPort>& skipped) {
        QStringList lines;
        for (const CDeviceLink::SkippedPort& port : skipped) {
            const std::string line =
                "COM" + std::to_string(port.number) + ": " + PortFailureText(port.failure);
            // A log the tester can read where the tool was started.
            std::fprintf(stderr, "%s\n", line.c_str());
            lines << ToQString(line);
        }
        const QString detail = lines.join(QLatin1Char('\n'));
        QMetaObject::invokeMethod(
            this, [this, detail] { m_page->SetStatusDetail(detail); }, Qt::QueuedConnection);
    });

    // Keyboard input starts at the first control with a tab stop.
    if (QWidget* first = m_page->FirstTabStop())
        first->setFocus(Qt::OtherFocusReason);
}

CVornakWindow::~CVornakWindow() {
    // Clearing waits for a call in progress, and no call follows: from here
    // on, writes from any thread stay in the model, which outlives the window.
    m_model->SetObserver(nullptr);
    m_model->SetFileChooser(nullptr);
    m_link->SetStateHook(nullptr);
    m_link->SetSkippedPortsHook(nullptr);
    if (m_handler.joinable())
        m_handler.join();
    if (m_busy)
        QGuiApplication::restoreOverrideCursor();
    m_blocker->SetActive(false);
    m_dlg.reset();
}

void CVornakWindow::ApplyEvent(const ControlEvent& event) {
    if (event.kind == ControlEvent::Kind::WindowSize) {
        m_outerSize = QSize(static_cast<int>(event.value), static_cast<int>(event.total));
        ApplyOuterSize();
        return;
    }
    m_page->ApplyEvent(event);
    // A click refused during an update would be gone with the update's next
    // text.
    if (event.kind == ControlEvent::Kind::Text && event.id == IDC_STATUS &&
        (event.text == kTextDisconnectDuringUpgrade || event.text == kTextBoxBusyDuringUpgrade))
        m_page->ShowStatusNote(ToQString(event.text), kRefusalNoteMs);
}

void CVornakWindow::ApplyOuterSize() {
    if (m_outerSize.isEmpty())
        return;
    QMargins frame;
    if (const QWindow* window = windowHandle(); window != nullptr && isVisible())
        frame = window->frameMargins();
    const QSize client(m_outerSize.width() - frame.left() - frame.right(),
                       m_outerSize.height() - frame.top() - frame.bottom());
    m_model->SetFrameWidth(frame.left() + frame.right());
    m_page->resize(client);
    KeepOnScreen(m_outerSize, frame);
}

void CVornakWindow::KeepOnScreen(QSize outer, QMargins frame) {
    const QScreen* screen = this->screen();
    const QRect available = screen != nullptr ? screen->availableGeometry() : QRect();
    // Too big for the screen: the window takes the screen, the page scrolls.
    if (available.isValid())
        outer = outer.boundedTo(available.size());
    const QSize client(outer.width() - frame.left() - frame.right(),
                       outer.height() - frame.top() - frame.bottom());
    if (size() != client || minimumSize() != client || maximumSize() != client)
        setFixedSize(client);
    m_pinnedRows->Layout(client, m_page->size());
    if (!isVisible() || !available.isValid())
        return;
    // Past the right or bottom edge: move left or up until it fits.
    const QRect frameRect(pos(), outer);
    QPoint to = frameRect.topLeft();
    to.setX(std::max(available.left(), std::min(to.x(), available.right() + 1 - outer.width())));
    to.setY(std::max(available.top(), std::min(to.y(), available.bottom() + 1 - outer.height())));
    if (to != frameRect.topLeft())
        move(to);
}

void CVornakWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The window manager adds its frame some time after the window maps.
    QTimer::singleShot(0, this, &CVornakWindow::ApplyOuterSize);
    QTimer::singleShot(kFrameSettleMs, this, &CVornakWindow::ApplyOuterSize);
}

bool CVornakWindow::event(QEvent* event) {
    const bool handled = QDialog::event(event);
    // Events that follow the window manager's framing of the window: look at
    // the frame again (nothing changes while it stays the same).
    switch (event->type()) {
        case QEvent::Move:
        case QEvent::WindowActivate:
        case QEvent::ActivationChange:
            ApplyOuterSize();
            break;
        default:
            break;
    }
    return handled;
}

void CVornakWindow::Click(int id) {
    if (m_busy)
        return;
    if (CVornakDlg::IsBoxHandler(id))
        RunOnWorker(id);
    else
        m_dlg->OnCommand(id);
}

void CVornakWindow::RunOnWorker(int id) {
    m_busy = true;
    m_busyId = id;
    m_blocker->SetActive(true);
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        m_handler = std::thread([this, id] {
            m_dlg->OnCommand(id);
            // Queued behind every change the handler made, so they show first.
            QMetaObject::invokeMethod(
                this, [this, id] { OnHandlerFinished(id); }, Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        // No thread to be had: the click still runs, here, and the window
        // waits for it rather than losing the operator's request.
        m_dlg->OnCommand(id);
        OnHandlerFinished(id);
    }
}

void CVornakWindow::OnHandlerFinished(int id) {
    if (m_handler.joinable())
        m_handler.join();
    m_busy = false;
    m_busyId = 0;
    m_blocker->SetActive(false);
    QGuiApplication::restoreOverrideCursor();
    SyncLinkLook();
    emit handlerFinished(id);
    if (m_closePending) {
        m_closePending = false;
        close();
    }
}

QString CVornakWindow::TransferCloseQuestion() const {
    if (m_dlg->IsUpgradeRunning())
        return ToQString(kCloseDuringUpgrade);
    if (m_busy && m_busyId == IDC_SEND_FILE)
        return ToQString(kCloseDuringDownload);
    return {};
}

bool CVornakWindow::AskYesNo(const QString& question) {
    QMessageBox box(QMessageBox::Warning, windowTitle(), question,
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    box.button(QMessageBox::Yes)->setText(ToQString(kAnswerYes));
    box.button(QMessageBox::No)->setText(ToQString(kAnswerNo));
    return box.exec() == QMessageBox::Yes;
}

void CVornakWindow::closeEvent(QCloseEvent* event) {
    // A second close while the question is open is the same close.
    if (m_asking) {
        event->ignore();
        return;
    }
    // A station window opened from here closes first, asking its own
    // question; this window closes at the next request once it has gone.
    for (CStationWindow* station : findChildren<CStationWindow*>()) {
        if (station->isVisible() && !station->close()) {
            event->ignore();
            return;
        }
    }
    if (const QString question = TransferCloseQuestion(); !question.isEmpty()) {
        m_asking = true;
        const bool quit = AskYesNo(question);
        m_asking = false;
        if (!quit) {
            event->ignore();
            return;
        }
    }
    if (m_busy) {
        m_closePending = true;
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void CVornakWindow::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    // Esc would reject the dialog, which ends the tool.
    if (key == Qt::Key_Escape) {
        event->accept();
        return;
    }
    // Enter in a field would press the default button (Connect/Disconnect).
    // A focused button takes Enter itself before it comes here.
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) &&
        qobject_cast<QPushButton*>(focusWidget()) == nullptr) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CVornakWindow::OnLinkState(CDeviceLink::State state) {
    if (state == CDeviceLink::State::LineGone)
        m_lineGone = true;
    if (state == CDeviceLink::State::Open)
        m_page->SetStatusDetail({});
    SyncLinkLook();
}

void CVornakWindow::SyncLinkLook() {
    // A handler on the worker owns the look until it ends (it calls again).
    if (m_busy)
        return;
    if (m_lineGone) {
        // The update still uses the port: show the look now, close it later.
        if (m_dlg->IsUpgradeRunning()) {
            if (m_model->IsItemVisible(IDC_DOT_OPEN))
                m_dlg->UpdateConnectButtons();
            m_lineGoneRecheck->start();
            return;
        }
        m_lineGoneRecheck->stop();
        m_lineGone = false;
        if (m_dlg->OnLineGone())
            return;
    }
    if (m_model->IsItemVisible(IDC_DOT_OPEN) != m_link->IsOpen())
        m_dlg->UpdateConnectButtons();
}

void CVornakWindow::OnListAboutToDropDown(int id) {
    if (id != IDC_PACKAGE_LIST || m_busy)
        return;
    m_dlg->OnPackageListDropDown();
    // The model's changes reach the page as queued calls: take them now, so
    // that the list drops down with the folder's entries.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

void CVornakWindow::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    if (m_aboutAction != nullptr)
        menu.addAction(m_aboutAction);
    menu.addAction(m_recipeAction);
    menu.exec(event->globalPos());
}

void CVornakWindow::OnAboutBox() {
    CAboutWindow dlgAbout(m_metrics, this);
    dlgAbout.exec();
}

void CVornakWindow::OnOpenRecipe() {
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("打开生产配方"), QString(), QStringLiteral("生产配方 (*.toml)"));
    if (path.isEmpty())
        return;
    StationLaunch launch;
    launch.recipePath = path.toStdString();
    std::string error;
    CStationWindow* station = MakeStationWindow(launch, error, this);
    if (station == nullptr) {
        QMessageBox::warning(this, windowTitle(), ToQString(error));
        return;
    }
    station->setAttribute(Qt::WA_DeleteOnClose);
    station->show();
}

std::optional<std::string> CVornakWindow::ChooseOpenFile(const std::string& filterText,
                                                         const std::string& pattern) {
    // A file dialog runs on the GUI thread only; the browse handler runs there.
    if (QThread::currentThread() != thread())
        return std::nullopt;
    QString filter = QString::fromStdString(filterText);
    if (!filter.contains(QLatin1Char('(')))
        filter += QStringLiteral(" (%1)").arg(QString::fromStdString(pattern));
    const QString path = QFileDialog::getOpenFileName(this, QString(), QString(), filter);
    if (path.isEmpty())
        return std::nullopt;
    return path.toStdString();
}
