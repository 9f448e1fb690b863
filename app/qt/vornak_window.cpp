#include "app/qt/vornak_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>
#include <QTimer>
#include <QWindow>
#include <system_error>
#include <utility>

#include "app/qt/about_window.h"
#include "app/qt/app_icons.h"
#include "app/qt/dialog_page.h"
#include "app/qt/input_blocker.h"
#include "app/qt/station_launch.h"
#include "app/qt/station_window.h"
#include "res/dialog_templates.h"
#include "res/resource.h"
#include "res/string_table.h"

namespace {
// Time after showing by which a window manager has framed the window.
constexpr int kFrameSettleMs = 300;

QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
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

    m_page = new CDialogPage(dialogTemplate, m_metrics, m_model, this);
    m_blocker = new CInputBlocker(this);
    connect(m_page, &CDialogPage::controlClicked, this, &CVornakWindow::Click);

    if (const std::string_view about = LoadResString(IDS_ABOUTBOX); !about.empty()) {
        m_aboutAction = new QAction(ToQString(about), this);
        connect(m_aboutAction, &QAction::triggered, this, &CVornakWindow::OnAboutBox);
    }

    m_recipeAction = new QAction(QStringLiteral("打开生产配方..."), this);
    connect(m_recipeAction, &QAction::triggered, this, &CVornakWindow::OnOpenRecipe);

    // The frame is unknown until the window shows; until then there is none.
    m_model->SetFrameWidth(0);
    m_page->SeedModel();
    m_dlg = std::make_unique<CVornakDlg>(m_model, link, upgradeTiming);
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

    // Keyboard input starts at the first control with a tab stop.
    if (QWidget* first = m_page->FirstTabStop())
        first->setFocus(Qt::OtherFocusReason);
}

CVornakWindow::~CVornakWindow() {
    // Clearing waits for a call in progress, and no call follows: from here
    // on, writes from any thread stay in the model, which outlives the window.
    m_model->SetObserver(nullptr);
    m_model->SetFileChooser(nullptr);
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
    if (size() != client || minimumSize() != client || maximumSize() != client)
        setFixedSize(client);
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
    m_blocker->SetActive(false);
    QGuiApplication::restoreOverrideCursor();
    emit handlerFinished(id);
    if (m_closePending) {
        m_closePending = false;
        close();
    }
}

void CVornakWindow::closeEvent(QCloseEvent* event) {
    if (m_busy) {
        m_closePending = true;
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
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
