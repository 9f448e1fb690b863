#pragma once
// The real main window on the offscreen platform, with a link of its own, a
// fresh port directory (VORNAK_PORT_DIR) where the box simulator can serve,
// and a fresh working directory for the Prg folder.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "app/qt/dialog_metrics.h"
#include "app/qt/dialog_page.h"
#include "app/qt/vornak_window.h"
#include "boxsim/box_simulator.h"
#include "dialog/dialog_model.h"
#include "link/device_link.h"
#include "res/dialog_templates.h"
#include "res/resource.h"
#include "tests/support/box_workspace.h"

// Longest a click handler against the simulator may take in these tests.
constexpr int kHandlerWaitMs = 15000;
// How often a helper looks for a window that the next step opens.
constexpr int kPollMs = 10;

// Runs `act` on the modal dialog (or, with popup, the popup menu) that the
// next step opens, from inside that window's own event loop. Whatever `act`
// does, the window is closed afterwards, so that a failed check never leaves
// a test waiting on it. The returned object cancels the watch when it goes.
inline std::unique_ptr<QObject> OnNextWindow(std::function<void(QWidget*)> act,
                                             bool popup = false) {
    auto watch = std::make_unique<QObject>();
    auto* timer = new QTimer(watch.get());
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act, popup] {
        QWidget* window =
            popup ? QApplication::activePopupWidget() : QApplication::activeModalWidget();
        if (window == nullptr)
            return;
        timer->stop();
        QPointer<QWidget> guard(window);
        act(window);
        if (guard && guard->isVisible())
            guard->close();
    });
    timer->start(kPollMs);
    return watch;
}

// Whether a click handler runs on the worker: the window shows the wait
// cursor for exactly that long.
inline bool HandlerRuns() {
    const QCursor* cursor = QGuiApplication::overrideCursor();
    return cursor != nullptr && cursor->shape() == Qt::WaitCursor;
}

// The font and dialog units the main window renders its template with.
inline DialogMetrics MainWindowMetrics() {
    const DialogTemplate& dialogTemplate = *FindDialogTemplate(IDD_VORNAK_DIALOG);
    return ChooseDialogMetrics(dialogTemplate.fontFace, dialogTemplate.fontPointSize);
}

// Line speed that makes a transfer of a few kilobytes last a while.
constexpr unsigned kSlowBaud = 115200;

// A file of `size` bytes of a pattern.
inline void WriteFile(const std::filesystem::path& path, std::size_t size) {
    std::ofstream out(path, std::ios::binary);
    for (std::size_t i = 0; i < size; ++i)
        out.put(static_cast<char>(i * 7));
}

// A firmware package with `dataSize` bytes of data, its folder made.
inline void WritePackage(const std::filesystem::path& path, std::size_t dataSize) {
    std::filesystem::create_directories(path.parent_path());
    const auto package = MakeSamplePackage("VK-BCM V2.00", dataSize);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(package.data()),
               static_cast<std::streamsize>(package.size()));
}

class WindowFixture : public ::testing::Test {
protected:
    void SetUp() override {
        m_workspace = std::make_unique<CBoxWorkspace>("win");
        m_portDir = m_workspace->PortDir();
        m_workDir = m_workspace->WorkDir();
    }

    void TearDown() override {
        m_window.reset();
        m_link.Disconnect();
        m_sim.Stop();
        m_workspace.reset();
    }

    // Creates and shows the window; call after preparing the Prg folder.
    void Open(const UpgradeTiming& upgradeTiming = {}) {
        m_window = std::make_unique<CVornakWindow>(m_model, &m_link, upgradeTiming);
        m_window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
        QCoreApplication::processEvents();
    }

    void StartBox(int com = 3) { ASSERT_TRUE(m_sim.Start(m_portDir, com)); }

    QWidget* W(int id) const { return m_window->Page().Control(id); }
    QString Text(int id) const {
        QWidget* w = W(id);
        if (auto* edit = qobject_cast<QLineEdit*>(w))
            return edit->text();
        if (auto* label = qobject_cast<QLabel*>(w))
            return label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(w))
            return button->text();
        if (auto* combo = qobject_cast<QComboBox*>(w))
            return combo->currentText();
        return {};
    }

    // Clicks control `id` with the mouse, as the operator does.
    void MouseClick(int id) {
        QWidget* w = W(id);
        // Near the top-left corner: a label's text starts there.
        QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(3, 3));
    }

    // Clicks a control whose handler talks to the box and waits for it to end.
    bool ClickAndWait(int id) {
        QSignalSpy finished(m_window.get(), &CVornakWindow::handlerFinished);
        MouseClick(id);
        if (!HandlerRuns() && !finished.isEmpty())
            return true;
        return finished.wait(kHandlerWaitMs);
    }

    std::unique_ptr<CBoxWorkspace> m_workspace;
    std::string m_portDir;
    std::filesystem::path m_workDir;
    CBoxSimulator m_sim;
    CDeviceLink m_link;
    std::shared_ptr<CDialogModel> m_model = std::make_shared<CDialogModel>();
    std::unique_ptr<CVornakWindow> m_window;
};
