// What an operator on a line does by habit, through the real window against
// the box simulator: closing during a transfer, typing into a list, pressing
// Esc or Enter, unplugging the box, clicking during an update. Nothing of
// it may half-flash a box or leave the screen showing something that did not
// happen.

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QKeyEvent>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTranslator>
#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>

#include "app/qt/qt_translations.h"
#include "firmware/firmware_update.h"
#include "res/resource.h"
#include "res/status_texts.h"
#include "tests/support/quick_upgrade_timing.h"
#include "tests/support/temp_dir.h"
#include "window_fixture.h"

namespace {

constexpr std::size_t kPackageData = 8192;
// A door-handle option list (block 1).
constexpr int kDoorHandleList = 1064;

bool WaitForModel(const std::function<bool()>& ready, int ms = kHandlerWaitMs) {
    return QTest::qWaitFor(ready, ms);
}

class WindowHabits : public WindowFixture {
protected:
    // Starts a slow firmware update of Prg/fw.pkg (after a Connect when
    // `connectFirst`) and waits for its bar.
    void StartSlowUpgrade(std::size_t packageBytes = kPackageData, bool connectFirst = false) {
        StartBox(3);
        m_sim.SetRestartTime(std::chrono::milliseconds(0));
        m_sim.SetFaults({.throttleBaud = kSlowBaud});
        WritePackage(m_workDir / "Prg" / "fw.pkg", packageBytes);
        Open(QuickUpgradeTiming());
        if (connectFirst) {
            ASSERT_TRUE(ClickAndWait(IDC_CONNECT));
        }
        MouseClick(IDC_UPGRADE);
        ASSERT_TRUE(
            QTest::qWaitFor([this] { return W(IDC_PROGRESS)->isVisible(); }, kHandlerWaitMs));
    }

    bool WaitForStatus(const std::string& text, int ms = kHandlerWaitMs) {
        return WaitForModel([&] { return m_model->GetItemText(IDC_STATUS) == text; }, ms);
    }

    // Answers the close question with its default button (Enter), or Yes.
    std::unique_ptr<QObject> AnswerClose(bool yes, QString* asked) {
        return OnNextWindow([yes, asked](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            *asked = box->text();
            EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
            if (yes)
                box->button(QMessageBox::Yes)->click();
            else
                QTest::keyClick(box, Qt::Key_Return);
        });
    }

    // Types over the field of list `id`, as one key event (Chinese text
    // comes that way from an input method).
    void TypeInto(int id, const QString& text) {
        QLineEdit* field = qobject_cast<QComboBox*>(W(id))->lineEdit();
        field->selectAll();
        QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, text, Qt::NoModifier);
    }
};

// Closing during an update asks first; the default answer keeps the window
// and the update goes on to its commit. "Yes" closes at once.
TEST_F(WindowHabits, CloseDuringAnUpdateAsksAndDefaultsToNo) {
    StartSlowUpgrade();
    QString asked;
    auto watch = AnswerClose(false, &asked);
    EXPECT_FALSE(m_window->close());
    EXPECT_EQ(asked, QString("固件升级正在进行,现在退出会使设备固件不完整。确定退出吗?"));
    EXPECT_TRUE(m_window->isVisible());
    // Esc on its own never closes the main window.
    QTest::keyClick(m_window.get(), Qt::Key_Escape);
    EXPECT_TRUE(m_window->isVisible());

    ASSERT_TRUE(WaitForStatus(kTextUpgradeDone, 30000));
    EXPECT_EQ(m_sim.CommitCount(), 1);

    // Nothing runs: closing asks nothing.
    EXPECT_TRUE(m_window->close());
}

TEST_F(WindowHabits, CloseDuringAnUpdateAnsweredYesClosesAtOnce) {
    StartSlowUpgrade();
    QString asked;
    auto watch = AnswerClose(true, &asked);
    EXPECT_TRUE(m_window->close());
    EXPECT_FALSE(asked.isEmpty());
    EXPECT_FALSE(m_window->isVisible());
    EXPECT_EQ(m_sim.CommitCount(), 0) << "the window waited for the update";
    m_window.reset();
    ASSERT_TRUE(WaitForStatus(kTextUpgradeDone, 30000));
}

// A download: the question, and on "yes" the close once the download ends.
TEST_F(WindowHabits, CloseDuringADownloadAsksAndClosesAfterIt) {
    StartBox(3);
    m_sim.SetFaults({.throttleBaud = kSlowBaud});
    WriteFile(m_workDir / "app.bin", 8192);
    Open();
    m_model->SetItemText(IDC_TARGET_FILE, (m_workDir / "app.bin").string());
    QSignalSpy finished(m_window.get(), &CVornakWindow::handlerFinished);
    MouseClick(IDC_SEND_FILE);
    ASSERT_TRUE(HandlerRuns());

    QString asked;
    auto watch = AnswerClose(true, &asked);
    EXPECT_FALSE(m_window->close());
    EXPECT_EQ(asked, QString("文件下载正在进行,将在下载结束后退出。确定退出吗?"));
    ASSERT_TRUE(finished.wait(kHandlerWaitMs));
    EXPECT_FALSE(m_window->isVisible());
    EXPECT_EQ(m_model->GetItemText(IDC_STATUS), kTextSent);
}

// Enter in a field or a list's field presses nothing; on a focused button it
// presses that button.
TEST_F(WindowHabits, EnterPressesOnlyAFocusedButton) {
    StartBox(3);
    Open();
    QWidget* listField = qobject_cast<QComboBox*>(W(IDC_PACKAGE_LIST))->lineEdit();
    for (QWidget* field : {W(IDC_DATA_EXCHANGE), listField}) {
        field->setFocus();
        QTest::keyClick(field, Qt::Key_Return);
        QTest::keyClick(field, Qt::Key_Enter);
        EXPECT_FALSE(HandlerRuns());
    }
    // A click starts its handler at once, so nothing started is nothing sent.
    EXPECT_TRUE(m_sim.Requests().empty());
    EXPECT_FALSE(m_link.IsOpen());

    QSignalSpy finished(m_window.get(), &CVornakWindow::handlerFinished);
    W(IDC_CONNECT)->setFocus();
    QTest::keyClick(W(IDC_CONNECT), Qt::Key_Return);
    ASSERT_TRUE(finished.wait(kHandlerWaitMs));
    EXPECT_EQ(Text(IDC_STATUS), QString("设备连接成功."));
}

// What the box gets is what the fields show.
TEST_F(WindowHabits, TypedListTextIsWhatTheToolUses) {
    StartBox(3);
    WritePackage(m_workDir / "Prg" / "v1.pkg", 1024);
    Open();

    // A package name that is no entry: the file of that name, missing here.
    TypeInto(IDC_PACKAGE_LIST, "v999.pkg");
    MouseClick(IDC_UPGRADE);
    EXPECT_TRUE(WaitForStatus("无法打开程序文件:./Prg/v999.pkg"));
    EXPECT_TRUE(m_sim.Requests().empty());

    // Typing an entry's exact text selects that entry.
    TypeInto(IDC_PACKAGE_LIST, "v1.pkg");
    EXPECT_EQ(m_model->ComboGetCurSel(IDC_PACKAGE_LIST), 0);

    // Text over an option list that is no entry: no selection, no write.
    ASSERT_TRUE(ClickAndWait(IDC_READ_SETTINGS));
    ASSERT_EQ(m_model->ComboGetCurSel(kDoorHandleList), 0);
    const QString entry = qobject_cast<QComboBox*>(W(kDoorHandleList))->itemText(1);
    TypeInto(kDoorHandleList, entry);
    EXPECT_EQ(m_model->ComboGetCurSel(kDoorHandleList), 1);
    TypeInto(kDoorHandleList, "xyz");
    EXPECT_EQ(m_model->ComboGetCurSel(kDoorHandleList), -1);
    m_sim.ClearRequests();
    ASSERT_TRUE(ClickAndWait(IDC_WRITE_SETTINGS));
    EXPECT_EQ(Text(IDC_STATUS), QString("请先读出设置:有选项未选择"));
    EXPECT_TRUE(m_sim.Requests().empty());

    // A typed load address is no address: nothing is sent or jumped to.
    WriteFile(m_workDir / "app.bin", 300);
    m_model->SetItemText(IDC_TARGET_FILE, (m_workDir / "app.bin").string());
    TypeInto(IDC_LOAD_ADDRESS, "0x1234");
    for (int id : {IDC_SEND_FILE, IDC_JUMP}) {
        ASSERT_TRUE(ClickAndWait(id));
        EXPECT_EQ(Text(IDC_STATUS), QString("请先选择装载地址")) << id;
    }
    EXPECT_TRUE(m_sim.Requests().empty());
}

// An option whose block could not be read shows no value (a partly checked
// box); a click gives it one, and clicks never take it back to none.
TEST_F(WindowHabits, AnUnreadOptionShowsNoValueUntilClicked) {
    StartBox(3);
    SimOverride refuse;
    refuse.resultWord = 0x1234;
    refuse.times = 1;
    m_sim.SetOverride(CMD_CONFIG_READ_1, refuse);
    Open();
    ASSERT_TRUE(ClickAndWait(IDC_ADVANCED_TOGGLE));
    const int activePke = 1079;  // a flag of block 1
    auto* box = qobject_cast<QCheckBox*>(W(activePke));
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([box] { return box->checkState() == Qt::PartiallyChecked; }));
    for (const Qt::CheckState next : {Qt::Checked, Qt::Unchecked, Qt::Checked}) {
        box->click();
        EXPECT_EQ(box->checkState(), next);
        EXPECT_FALSE(m_model->IsCheckUnknown(activePke));
        EXPECT_EQ(m_model->GetCheck(activePke), next == Qt::Checked);
    }
}

// A refused third block shows its error as the first two do.
TEST_F(WindowHabits, RefusedThirdBlockShowsItsError) {
    StartBox(3);
    Open();
    SimOverride refuse;
    refuse.resultWord = 0x9ABC;
    m_sim.SetOverride(CMD_CONFIG_READ_3, refuse);
    ASSERT_TRUE(ClickAndWait(IDC_READ_SETTINGS));
    EXPECT_EQ(Text(IDC_STATUS), QString("错误:9ABC"));

    m_sim.ClearOverrides();
    ASSERT_TRUE(ClickAndWait(IDC_READ_SETTINGS));
    m_sim.SetOverride(CMD_CONFIG_WRITE_3, refuse);
    ASSERT_TRUE(ClickAndWait(IDC_WRITE_SETTINGS));
    EXPECT_EQ(Text(IDC_STATUS), QString("错误:9ABC"));
}

// Disconnect during an update says why it does nothing; the update ends on
// the same connection, and Disconnect works again afterwards.
TEST_F(WindowHabits, DisconnectWaitsForTheUpdate) {
    ASSERT_NO_FATAL_FAILURE(StartSlowUpgrade(kPackageData, true));

    ASSERT_TRUE(ClickAndWait(IDC_DISCONNECT));
    const QString refused = Text(IDC_STATUS);
    EXPECT_TRUE(m_link.IsOpen());
    EXPECT_TRUE(W(IDC_DOT_OPEN)->isVisible());
    ASSERT_TRUE(WaitForStatus(kTextUpgradeDone, 30000));
    EXPECT_EQ(refused, QString("固件升级正在进行,升级结束后才能断开连接."));
    EXPECT_EQ(m_sim.CommitCount(), 1);

    ASSERT_TRUE(ClickAndWait(IDC_DISCONNECT));
    EXPECT_EQ(Text(IDC_STATUS), QString("断开连接正常!"));
    EXPECT_FALSE(m_link.IsOpen());
}

// A refused Disconnect stays over the status line for a while, though the
// update's texts keep coming underneath, and then makes way for them.
TEST_F(WindowHabits, ARefusedDisconnectStaysInView) {
    // Several seconds at the line's speed: the update outlasts the note.
    ASSERT_NO_FATAL_FAILURE(StartSlowUpgrade(8 * kPackageData, true));

    const QString refusal(kTextDisconnectDuringUpgrade);
    QStringList statusTexts;
    QObject::connect(&m_window->Page(), &CDialogPage::textShown, m_window.get(),
                     [&](int id, const QString& text) {
                         if (id == IDC_STATUS)
                             statusTexts << text;
                     });
    ASSERT_TRUE(ClickAndWait(IDC_DISCONNECT));
    auto* note = m_window->findChild<QLabel*>("statusNote");
    ASSERT_NE(note, nullptr);
    EXPECT_TRUE(note->isVisible());
    EXPECT_EQ(note->text(), refusal);
    EXPECT_EQ(note->geometry(), W(IDC_STATUS)->rect());

    // The update's next text is not held up, and does not hide the refusal.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !statusTexts.isEmpty() && statusTexts.back() != refusal; }, kHandlerWaitMs));
    EXPECT_TRUE(note->isVisible());
    EXPECT_EQ(Text(IDC_STATUS), statusTexts.back());

    ASSERT_TRUE(QTest::qWaitFor([&] { return !note->isVisible(); }, kHandlerWaitMs));
    ASSERT_TRUE(WaitForStatus(kTextUpgradeDone, 60000));
    EXPECT_FALSE(note->isVisible());
}

// Every other control that talks to the box is refused the same way while an
// update runs: the refusal stays over the status line, the box hears nothing
// but the update's packets, and the update ends well. The settings toggle
// still widens the window.
TEST_F(WindowHabits, ClicksThatTalkToTheBoxWaitForTheUpdate) {
    WriteFile(m_workDir / "app.bin", 1024);
    ASSERT_NO_FATAL_FAILURE(StartSlowUpgrade(8 * kPackageData, true));
    m_model->SetItemText(IDC_TARGET_FILE, (m_workDir / "app.bin").string());
    const std::uint64_t mark = m_sim.RequestCount();
    const int narrow = m_window->width();

    const QString refusal(kTextBoxBusyDuringUpgrade);
    // The toggle first: the settings buttons are on the panel it shows.
    for (const int id :
         {IDC_ADVANCED_TOGGLE, IDC_GET_DEVICE_INFO, IDC_READ_SETTINGS, IDC_WRITE_SETTINGS,
          IDC_FACTORY_RESET, IDC_SEND_FILE, IDC_JUMP, IDC_UPGRADE}) {
        SCOPED_TRACE(id);
        QSignalSpy shown(&m_window->Page(), &CDialogPage::textShown);
        // Upgrade runs on the GUI thread; the others on the window's worker.
        if (CVornakDlg::IsBoxHandler(id)) {
            ASSERT_TRUE(ClickAndWait(id));
        } else {
            MouseClick(id);
        }
        ASSERT_TRUE(QTest::qWaitFor([&] {
            return std::any_of(shown.begin(), shown.end(), [&](const QList<QVariant>& args) {
                return args[0].toInt() == IDC_STATUS && args[1].toString() == refusal;
            });
        }));
        auto* note = m_window->findChild<QLabel*>("statusNote");
        ASSERT_NE(note, nullptr);
        EXPECT_TRUE(note->isVisible());
        EXPECT_EQ(note->text(), refusal);
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_window->width() > narrow; }));
    EXPECT_EQ(Text(IDC_ADVANCED_TOGGLE), QString("<<<关闭设置"));

    // Every request is kept (the update sends far fewer than the history
    // holds); since the bar showed, the box heard only the update's opening
    // and its data packets, and the data is still coming.
    const std::vector<SimRequest> requests = m_sim.Requests();
    ASSERT_LT(requests.size(), kSimRequestHistory);
    ASSERT_GT(requests.size(), mark);
    EXPECT_EQ(requests.back().command, CMD_UPGRADE_DATA);
    for (std::size_t i = static_cast<std::size_t>(mark); i < requests.size(); ++i) {
        const std::uint16_t command = requests[i].command;
        EXPECT_TRUE(command == CMD_PREPARE_A || command == CMD_PREPARE_B ||
                    command == CMD_UPGRADE_BEGIN || command == CMD_UPGRADE_DATA)
            << "request " << i << ": " << command;
    }

    ASSERT_TRUE(WaitForStatus(kTextUpgradeDone, 60000));
    EXPECT_EQ(m_sim.CommitCount(), 1);
    EXPECT_FALSE(m_sim.LastJumpAddress().has_value());
    EXPECT_FALSE(m_sim.Slot(0).infoReceived);
}

// The dot follows the link: an operation before Connect that finds the box
// turns it green; an unplugged box turns it red with a status text, without a
// click; the next Connect scans again.
TEST_F(WindowHabits, TheDotFollowsTheLink) {
    StartBox(3);
    Open();
    ASSERT_TRUE(ClickAndWait(IDC_GET_DEVICE_INFO));
    EXPECT_TRUE(m_link.IsOpen());
    EXPECT_TRUE(QTest::qWaitFor([this] { return W(IDC_DOT_OPEN)->isVisible(); }));
    EXPECT_FALSE(W(IDC_DOT_CLOSED)->isVisible());
    EXPECT_TRUE(W(IDC_DISCONNECT)->isVisible());

    m_sim.Unplug();
    EXPECT_TRUE(QTest::qWaitFor([this] { return W(IDC_DOT_CLOSED)->isVisible(); }, 3000));
    EXPECT_FALSE(W(IDC_DOT_OPEN)->isVisible());
    EXPECT_TRUE(W(IDC_CONNECT)->isVisible());
    EXPECT_EQ(Text(IDC_STATUS), QString("设备连接已断开,请检查连线后重新连接."));
    EXPECT_FALSE(m_link.IsOpen());

    // Plugged in again: Connect scans and finds it.
    m_sim.Stop();
    StartBox(3);
    ASSERT_TRUE(ClickAndWait(IDC_CONNECT));
    EXPECT_EQ(Text(IDC_STATUS), QString("设备连接成功."));
    EXPECT_TRUE(W(IDC_DOT_OPEN)->isVisible());
}

// Unplugged in the middle of an operation: it fails without reconnecting,
// and the look turns disconnected once it has ended.
TEST_F(WindowHabits, UnplugDuringAnOperation) {
    StartBox(3);
    m_sim.SetFaults({.throttleBaud = kSlowBaud});
    WriteFile(m_workDir / "app.bin", 8192);
    Open();
    ASSERT_TRUE(ClickAndWait(IDC_CONNECT));
    m_model->SetItemText(IDC_TARGET_FILE, (m_workDir / "app.bin").string());
    QSignalSpy finished(m_window.get(), &CVornakWindow::handlerFinished);
    MouseClick(IDC_SEND_FILE);
    ASSERT_TRUE(QTest::qWaitFor([this] { return W(IDC_PROGRESS)->isVisible(); }, kHandlerWaitMs));
    m_sim.Unplug();
    ASSERT_TRUE(finished.wait(kHandlerWaitMs));
    EXPECT_TRUE(QTest::qWaitFor([this] { return W(IDC_DOT_CLOSED)->isVisible(); }));
    EXPECT_TRUE(W(IDC_CONNECT)->isVisible());
    EXPECT_EQ(Text(IDC_STATUS), QString("设备连接已断开,请检查连线后重新连接."));
}

// Unplugged in the middle of a firmware update: the last words say the
// update did not complete, and stay once the look has turned disconnected.
TEST_F(WindowHabits, UnplugDuringAnUpdateSaysItIsNotDone) {
    ASSERT_NO_FATAL_FAILURE(StartSlowUpgrade(8 * kPackageData, true));
    ASSERT_TRUE(QTest::qWaitFor([this] { return !m_sim.UpgradeData().empty(); }, kHandlerWaitMs));
    m_sim.Unplug();
    ASSERT_TRUE(WaitForStatus(kTextUpgradeLineGone));
    EXPECT_TRUE(QTest::qWaitFor([this] { return W(IDC_DOT_CLOSED)->isVisible(); }));
    // The port is let go once the update has ended (its fields clear then).
    EXPECT_TRUE(QTest::qWaitFor([this] { return Text(IDC_PORT_NAME).isEmpty(); }));
    EXPECT_EQ(Text(IDC_STATUS),
              QString("设备连接已断开,固件升级未完成,请在设备重新连接后重新升级固件."));
    EXPECT_EQ(m_sim.CommitCount(), 0);
}

// While the box applies the update the bar is busy, not standing still.
TEST_F(WindowHabits, BusyBarWhileTheBoxRestarts) {
    StartBox(3);
    m_sim.SetRestartTime(std::chrono::milliseconds(1500));
    WritePackage(m_workDir / "Prg" / "fw.pkg", 1024);
    Open(QuickUpgradeTiming());
    auto* bar = qobject_cast<QProgressBar*>(W(IDC_PROGRESS));
    MouseClick(IDC_UPGRADE);
    ASSERT_TRUE(
        QTest::qWaitFor([this] { return Text(IDC_STATUS) == "正在更新固件..."; }, kHandlerWaitMs));
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->maximum(), 0) << "a busy bar";
    ASSERT_TRUE(WaitForStatus(kTextUpgradeDone, 30000));
    EXPECT_TRUE(QTest::qWaitFor([bar] { return !bar->isVisible(); }));
}

// The package list is read again when it drops down, keeping the selection.
TEST_F(WindowHabits, PackageListFollowsTheFolder) {
    WritePackage(m_workDir / "Prg" / "v10.pkg", 16);
    WritePackage(m_workDir / "Prg" / "v2.pkg", 16);
    Open();
    auto* combo = qobject_cast<QComboBox*>(W(IDC_PACKAGE_LIST));
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->itemText(0), QString("v2.pkg"));
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);  // v10.pkg
    ASSERT_EQ(m_model->ComboGetCurSel(IDC_PACKAGE_LIST), 1);

    WritePackage(m_workDir / "Prg" / "V1.pkg", 16);
    combo->showPopup();
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    combo->hidePopup();
    EXPECT_EQ(items, (QStringList{"V1.pkg", "v2.pkg", "v10.pkg"}));
    EXPECT_EQ(combo->currentText(), QString("v10.pkg"));
    EXPECT_EQ(m_model->ComboGetCurSel(IDC_PACKAGE_LIST), 2);
}

// A status text longer than its field shows whole in the tooltip, with what
// it means, and can be selected for copying.
TEST_F(WindowHabits, LongStatusShowsWholeInTheTooltip) {
    StartBox(3);
    Open();
    ASSERT_TRUE(ClickAndWait(IDC_READ_SETTINGS));
    const QString digits = Text(IDC_STATUS);
    ASSERT_EQ(digits.size(), 72);
    auto* label = qobject_cast<QLabel*>(W(IDC_STATUS));
    EXPECT_TRUE(label->toolTip().startsWith(digits));
    EXPECT_TRUE(label->textInteractionFlags() & Qt::TextSelectableByMouse);

    m_sim.SetFaults({.silent = true});
    ASSERT_TRUE(ClickAndWait(IDC_GET_DEVICE_INFO));
    EXPECT_TRUE(label->toolTip().startsWith(QString("错误:EF03\n")))
        << label->toolTip().toStdString();
}

// The window moves back onto the screen when the toggle widens it past the
// right or bottom edge.
TEST_F(WindowHabits, WidenedWindowStaysOnTheScreen) {
    StartBox(3);
    Open();
    const QRect screen = m_window->screen()->availableGeometry();
    const QPoint nearCorner(screen.right() - 600, screen.bottom() - 400);
    m_window->move(nearCorner);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_window->pos() == nearCorner; }));
    ASSERT_TRUE(ClickAndWait(IDC_ADVANCED_TOGGLE));
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return m_window->frameGeometry().size() == QSize(1000, 720) &&
               screen.contains(m_window->frameGeometry());
    })) << m_window->frameGeometry().x()
        << "," << m_window->frameGeometry().y() << " " << m_window->frameGeometry().width() << "x"
        << m_window->frameGeometry().height();
}

TEST_F(WindowHabits, DialogsAreFixedSize) {
    Open();
    EXPECT_FALSE(m_window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(m_window->minimumSize(), m_window->maximumSize());
    auto watch = OnNextWindow([](QWidget* about) {
        EXPECT_FALSE(about->windowFlags() & Qt::WindowMaximizeButtonHint);
        EXPECT_FALSE(about->windowFlags() & Qt::WindowMinimizeButtonHint);
        EXPECT_EQ(about->minimumSize(), about->maximumSize());
        // Esc still closes the tester dialog.
        QTest::keyClick(about, Qt::Key_Escape);
        EXPECT_FALSE(about->isVisible());
    });
    m_window->OnAboutBox();
}

}  // namespace

// A 1280 x 1024 screen at 150 %: the large window is capped to the screen
// and the settings panel scrolls, so no button is cut off.
class SmallScreen : public WindowFixture {};

TEST_F(SmallScreen, LargeWindowScrollsInsteadOfCuttingOff) {
    StartBox(3);
    Open();
    const QRect screen = m_window->screen()->availableGeometry();
    ASSERT_LT(screen.height(), 720) << "run with the small screen (app_window_small_screen)";
    ASSERT_TRUE(ClickAndWait(IDC_ADVANCED_TOGGLE));
    EXPECT_TRUE(QTest::qWaitFor([&] { return screen.contains(m_window->frameGeometry()); }));
    auto* scroll = m_window->findChild<QScrollArea*>();
    ASSERT_NE(scroll, nullptr);
    EXPECT_TRUE(scroll->verticalScrollBar()->isVisible());
    EXPECT_TRUE(scroll->horizontalScrollBar()->isVisible());

    // Wherever the panel is scrolled to, the connect row and the status line
    // stay whole in view.
    const auto wholeInView = [](QWidget* w) {
        return !w->isHidden() && w->visibleRegion().boundingRect() == w->rect();
    };
    QWidget* connectButton = W(IDC_CONNECT)->isHidden() ? W(IDC_DISCONNECT) : W(IDC_CONNECT);
    QWidget* dot = W(IDC_DOT_OPEN)->isHidden() ? W(IDC_DOT_CLOSED) : W(IDC_DOT_OPEN);
    QScrollBar* across = scroll->horizontalScrollBar();
    QScrollBar* down = scroll->verticalScrollBar();
    for (const int x : {across->minimum(), across->maximum()}) {
        for (const int y : {down->minimum(), down->maximum()}) {
            SCOPED_TRACE(testing::Message() << "scrolled to " << x << "," << y);
            across->setValue(x);
            down->setValue(y);
            for (QWidget* w : {W(IDC_STATUS), W(IDC_PORT_NAME), connectButton, dot}) {
                const QRect seen = w->visibleRegion().boundingRect();
                EXPECT_TRUE(wholeInView(w))
                    << w->metaObject()->className() << " shows " << seen.width() << "x"
                    << seen.height() << " of " << w->width() << "x" << w->height();
            }
        }
    }

    // The bottom-right button can be scrolled to and pressed, and its outcome
    // shows.
    QWidget* write = W(IDC_WRITE_SETTINGS);
    scroll->ensureWidgetVisible(write);
    const QRect shown(write->mapTo(scroll->viewport(), QPoint(0, 0)), write->size());
    EXPECT_TRUE(scroll->viewport()->rect().contains(shown));
    ASSERT_TRUE(ClickAndWait(IDC_WRITE_SETTINGS));
    EXPECT_EQ(Text(IDC_STATUS), QString(kTextWriteOk));
    EXPECT_TRUE(wholeInView(W(IDC_STATUS)));

    // Back in the small window, the rows stand where the template puts them.
    ASSERT_TRUE(ClickAndWait(IDC_ADVANCED_TOGGLE));
    EXPECT_TRUE(
        QTest::qWaitFor([this] { return W(IDC_STATUS)->parentWidget() == &m_window->Page(); }));
    EXPECT_EQ(
        W(IDC_STATUS)->geometry(),
        MainWindowMetrics().Rect(FindDialogTemplate(IDD_VORNAK_DIALOG)->Find(IDC_STATUS)->rect));
}

// Qt's own texts come in Chinese on a Chinese or unset locale, not otherwise.
TEST(QtTranslations, ChineseOrUnsetLocaleLoadsQtsChineseTexts) {
    struct Case {
        QLocale locale;
        bool wanted;
    };
    const Case cases[] = {{QLocale(QLocale::Chinese, QLocale::China), true},
                          {QLocale::c(), true},
                          {QLocale(QLocale::English, QLocale::UnitedStates), false},
                          {QLocale(QLocale::German, QLocale::Germany), false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.locale.name().toStdString());
        EXPECT_EQ(WantsChineseQtTexts(c.locale), c.wanted);
        QTranslator* translator = InstallQtTranslations(*qApp, c.locale);
        EXPECT_EQ(translator != nullptr, c.wanted);
        const QString cancel = QCoreApplication::translate("QPlatformTheme", "Cancel");
        EXPECT_EQ(cancel != QString("Cancel"), c.wanted) << cancel.toStdString();
        if (translator != nullptr) {
            QCoreApplication::removeTranslator(translator);
            delete translator;
        }
    }
}

// Qt's file dialog in Chinese: its type column too, which Qt's catalogue
// leaves in English.
TEST(QtTranslations, FileDialogNamesAFolderInChinese) {
    QTranslator* translator =
        InstallQtTranslations(*qApp, QLocale(QLocale::Chinese, QLocale::China));
    ASSERT_NE(translator, nullptr);
    CTempDir dir("filedialog");
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(dir.Path() + "/Prg")));
    {
        QFileDialog dialog(nullptr, QString(), QString::fromStdString(dir.Path()));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setViewMode(QFileDialog::Detail);
        dialog.show();
        auto* model = dialog.findChild<QFileSystemModel*>();
        ASSERT_NE(model, nullptr);
        const QModelIndex folder = model->index(QString::fromStdString(dir.Path() + "/Prg"));
        const QModelIndex type = folder.siblingAtColumn(2);
        EXPECT_TRUE(QTest::qWaitFor([&] { return type.data().toString() == "文件夹"; }))
            << type.data().toString().toStdString();
        EXPECT_EQ(model->headerData(3, Qt::Horizontal).toString(), "修改日期");
    }
    QCoreApplication::removeTranslator(translator);
    delete translator;
}

// A scan that found no box leaves why each port could not be opened in the
// status field's tooltip; a scan that finds the box clears it.
TEST_F(WindowFixture, PortFailuresShowInTheStatusTooltip) {
    std::ofstream(std::filesystem::path(m_portDir) / "COM2") << "not a device";
    Open();
    ASSERT_TRUE(ClickAndWait(IDC_CONNECT));
    auto* label = qobject_cast<QLabel*>(W(IDC_STATUS));
    EXPECT_EQ(label->text(), QString("错误:EF00"));
    EXPECT_TRUE(label->toolTip().contains(QString("\nCOM2: "))) << label->toolTip().toStdString();

    StartBox(3);
    ASSERT_TRUE(ClickAndWait(IDC_CONNECT));
    ASSERT_TRUE(ClickAndWait(IDC_GET_DEVICE_INFO));
    m_sim.SetFaults({.silent = true});
    ASSERT_TRUE(ClickAndWait(IDC_GET_DEVICE_INFO));
    EXPECT_FALSE(label->toolTip().contains(QString("COM2: "))) << label->toolTip().toStdString();
}
