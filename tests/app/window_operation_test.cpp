// Operations through the real window against the box simulator: clicks reach
// the dialog core, writes from other threads show, the window stays deaf while
// a handler runs, and closing is safe at any moment.

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <chrono>
#include <fstream>
#include <thread>
#include <vector>

#include "firmware/firmware_update.h"
#include "res/resource.h"
#include "tests/support/quick_upgrade_timing.h"
#include "window_fixture.h"

TEST_F(WindowFixture, ConnectAndDisconnectThroughTheWindow) {
    StartBox(3);
    m_sim.SetVersion("VK-BCM V1.00");
    m_sim.SetSerial({0x12, 0x34, 0xAB, 0x00});
    Open();

    ASSERT_TRUE(ClickAndWait(IDC_CONNECT));
    EXPECT_EQ(Text(IDC_PORT_NAME), QString("COM3"));
    EXPECT_EQ(Text(IDC_BAUD_RATE), QString("115200bps"));
    EXPECT_EQ(Text(IDC_VERSION), QString("VK-BCM V1.00"));
    EXPECT_EQ(Text(IDC_SERIAL), QString("1234AB00"));
    EXPECT_EQ(Text(IDC_STATUS), QString("设备连接成功."));
    EXPECT_TRUE(W(IDC_DISCONNECT)->isVisible());
    EXPECT_FALSE(W(IDC_CONNECT)->isVisible());
    EXPECT_TRUE(qobject_cast<QPushButton*>(W(IDC_DISCONNECT))->isDefault());
    EXPECT_FALSE(qobject_cast<QPushButton*>(W(IDC_CONNECT))->isDefault());
    EXPECT_EQ(m_window->focusWidget(), W(IDC_DISCONNECT));
    EXPECT_TRUE(W(IDC_DOT_OPEN)->isVisible());
    EXPECT_FALSE(W(IDC_DOT_CLOSED)->isVisible());
    EXPECT_TRUE(m_link.IsOpen());

    ASSERT_TRUE(ClickAndWait(IDC_DISCONNECT));
    EXPECT_EQ(Text(IDC_STATUS), QString("断开连接正常!"));
    for (int id : {IDC_PORT_NAME, IDC_BAUD_RATE, IDC_VERSION, IDC_SERIAL})
        EXPECT_EQ(Text(id), QString()) << id;
    EXPECT_TRUE(W(IDC_CONNECT)->isVisible());
    EXPECT_TRUE(qobject_cast<QPushButton*>(W(IDC_CONNECT))->isDefault());
    EXPECT_EQ(m_window->focusWidget(), W(IDC_CONNECT));
    EXPECT_TRUE(W(IDC_DOT_CLOSED)->isVisible());
    EXPECT_FALSE(W(IDC_DOT_OPEN)->isVisible());
}

// While Connect waits for a silent box the window takes no input, keeps its
// controls enabled, and holds a close request back until the handler ends.
TEST_F(WindowFixture, BusyWindowSwallowsInputAndDefersClose) {
    StartBox(3);
    m_sim.SetFaults({.silent = true});
    Open();
    m_model->SetItemText(IDC_SERIAL, "ABCD");
    ASSERT_TRUE(QTest::qWaitFor([this] { return Text(IDC_SERIAL) == "ABCD"; }));
    QSignalSpy finished(m_window.get(), &CVornakWindow::handlerFinished);

    MouseClick(IDC_CONNECT);
    ASSERT_TRUE(HandlerRuns());
    for (const RenderedControl& r : m_window->Page().Controls())
        EXPECT_TRUE(r.widget->isEnabled()) << r.control->id;
    MouseClick(IDC_SERIAL_LABEL);  // would empty 1006
    MouseClick(IDC_DISCONNECT);
    QTest::keyClick(m_window.get(), Qt::Key_Escape);
    EXPECT_FALSE(m_window->close());
    EXPECT_TRUE(m_window->isVisible());

    ASSERT_TRUE(finished.wait(kHandlerWaitMs));
    EXPECT_EQ(finished.count(), 1);
    EXPECT_FALSE(HandlerRuns());
    EXPECT_FALSE(m_window->isVisible()) << "the held-back close ran";
    EXPECT_EQ(Text(IDC_SERIAL), QString("ABCD"));
    EXPECT_EQ(Text(IDC_STATUS), QString("错误:EF00"));

    // Once idle, the same label click does reach the dialog.
    m_window->show();
    MouseClick(IDC_SERIAL_LABEL);
    EXPECT_EQ(m_model->GetItemText(IDC_SERIAL), "");
    EXPECT_TRUE(QTest::qWaitFor([this] { return Text(IDC_SERIAL).isEmpty(); }));
}

// Destroying the window while a click handler runs waits for the handler.
TEST_F(WindowFixture, DestroyingTheWindowDuringAHandler) {
    StartBox(3);
    m_sim.SetFaults({.silent = true});
    Open();
    MouseClick(IDC_CONNECT);
    ASSERT_TRUE(HandlerRuns());
    m_window.reset();
    EXPECT_EQ(m_model->GetItemText(IDC_STATUS), "错误:EF00");
}

// Each status text of a download is shown in turn, none skipped.
TEST_F(WindowFixture, EveryStatusTextShows) {
    StartBox(3);
    WriteFile(m_workDir / "app.bin", 1000);
    Open();
    m_model->SetItemText(IDC_TARGET_FILE, (m_workDir / "app.bin").string());
    QStringList shown;
    QObject::connect(&m_window->Page(), &CDialogPage::textShown, m_window.get(),
                     [&shown](int id, const QString& text) {
                         if (id == IDC_STATUS)
                             shown << text;
                     });

    ASSERT_TRUE(ClickAndWait(IDC_SEND_FILE));
    EXPECT_EQ(shown, (QStringList{"文件发送中256/1000  ....", "文件发送中512/1000  ....",
                                  "文件发送中768/1000  ....", "文件发送完成."}));
    EXPECT_EQ(m_sim.Slot(0).fileLength, 1000u);
}

TEST_F(WindowFixture, ProgressBarShowsWhileATransferRuns) {
    StartBox(3);
    m_sim.SetFaults({.throttleBaud = kSlowBaud});
    WriteFile(m_workDir / "app.bin", 8192);
    Open();
    m_model->SetItemText(IDC_TARGET_FILE, (m_workDir / "app.bin").string());
    auto* bar = qobject_cast<QProgressBar*>(W(IDC_PROGRESS));
    QSignalSpy finished(m_window.get(), &CVornakWindow::handlerFinished);

    MouseClick(IDC_SEND_FILE);
    EXPECT_TRUE(QTest::qWaitFor(
        [bar] { return bar->isVisible() && bar->value() > 0 && bar->value() < bar->maximum(); },
        kHandlerWaitMs));
    ASSERT_TRUE(finished.wait(kHandlerWaitMs));
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(Text(IDC_STATUS), QString("文件发送完成."));
}

TEST_F(WindowFixture, AdvancedToggleResizesTheWindow) {
    StartBox(3);
    Open();
    ASSERT_TRUE(ClickAndWait(IDC_ADVANCED_TOGGLE));
    EXPECT_EQ(m_window->frameGeometry().size(), QSize(1000, 720));
    EXPECT_EQ(m_model->WindowWidth(), 1000);
    EXPECT_EQ(Text(IDC_ADVANCED_TOGGLE), QString("<<<关闭设置"));
    const QRect client = m_window->rect();
    for (const RenderedControl& r : m_window->Page().Controls())
        EXPECT_TRUE(client.contains(r.widget->geometry())) << r.control->id;

    ASSERT_TRUE(ClickAndWait(IDC_ADVANCED_TOGGLE));
    EXPECT_EQ(m_window->frameGeometry().size(), QSize(520, 360));
    EXPECT_EQ(Text(IDC_ADVANCED_TOGGLE), QString("高级设置>>>"));
}

// What the operator changes reaches the model, and only that.
TEST_F(WindowFixture, OperatorInputReachesTheModel) {
    Open();
    MouseClick(1079);
    EXPECT_TRUE(m_model->GetCheck(1079));
    EXPECT_TRUE(qobject_cast<QCheckBox*>(W(1079))->isChecked());

    auto* combo = qobject_cast<QComboBox*>(W(IDC_LOAD_ADDRESS));
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(m_model->ComboGetCurSel(IDC_LOAD_ADDRESS), 1);

    // Text typed into a combo box's field that is no entry adds nothing and
    // leaves no selection.
    QTest::keyClicks(combo->lineEdit(), "0x1234");
    EXPECT_EQ(m_model->ComboGetCurSel(IDC_LOAD_ADDRESS), -1);
    EXPECT_EQ(combo->count(), 6);

    QTest::keyClicks(W(IDC_DATA_EXCHANGE), "hello");
    EXPECT_EQ(m_model->GetItemText(IDC_DATA_EXCHANGE), "hello");
    QTest::keyClicks(W(IDC_VERSION), "typed");
    EXPECT_EQ(m_model->GetItemText(IDC_VERSION), "");
}

TEST_F(WindowFixture, WritesFromAnotherThreadShow) {
    Open();
    std::thread([this] {
        m_model->SetItemText(IDC_STATUS, "正在装载 ...");
        m_model->ShowItem(IDC_PROGRESS, true);
        m_model->SetProgress(IDC_PROGRESS, 1, 2);
    }).join();
    EXPECT_TRUE(QTest::qWaitFor([this] { return Text(IDC_STATUS) == "正在装载 ..."; }));
    EXPECT_TRUE(QTest::qWaitFor([this] { return W(IDC_PROGRESS)->isVisible(); }));
    auto* bar = qobject_cast<QProgressBar*>(W(IDC_PROGRESS));
    EXPECT_EQ(bar->value(), bar->maximum() / 2);
}

TEST_F(WindowFixture, BrowseOpensTheFileDialog) {
    WriteFile(m_workDir / "fw.bin", 16);
    const QString path = QString::fromStdString((m_workDir / "fw.bin").string());
    Open();

    QStringList filters;
    auto watch = OnNextWindow([&filters, path](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        filters = dialog->nameFilters();
        // Typed as the operator would: selectFile() leaves the name field
        // alone once that field has the focus.
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        name->setText(path);
        static_cast<QDialog*>(dialog)->accept();  // public in the base
    });
    MouseClick(IDC_BROWSE);
    EXPECT_EQ(filters, QStringList{"固件包(*.bin)"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return Text(IDC_TARGET_FILE) == path; }));

    watch = OnNextWindow([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    MouseClick(IDC_BROWSE);
    EXPECT_EQ(m_model->GetItemText(IDC_TARGET_FILE), path.toStdString())
        << "a cancel keeps the path";
}

// Closing the window while the firmware update's worker runs: the worker goes
// on writing the shared model, never the destroyed window.
TEST_F(WindowFixture, ClosingDuringAFirmwareUpdate) {
    StartBox(3);
    m_sim.SetRestartTime(std::chrono::milliseconds(0));
    m_sim.SetFaults({.throttleBaud = kSlowBaud});
    WritePackage(m_workDir / "Prg" / "fw.pkg", 4096);
    Open(QuickUpgradeTiming());

    MouseClick(IDC_UPGRADE);
    ASSERT_TRUE(QTest::qWaitFor([this] { return W(IDC_PROGRESS)->isVisible(); }, kHandlerWaitMs));
    auto watch = OnNextWindow([](QWidget* question) {
        qobject_cast<QMessageBox*>(question)->button(QMessageBox::Yes)->click();
    });
    EXPECT_TRUE(m_window->close());
    m_window.reset();

    EXPECT_TRUE(QTest::qWaitFor(
        [this] { return m_model->GetItemText(IDC_STATUS) == "固件刷新成功!"; }, 20000))
        << m_model->GetItemText(IDC_STATUS);
    EXPECT_EQ(m_sim.CommitCount(), 1);
}
