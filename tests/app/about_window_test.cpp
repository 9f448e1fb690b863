// The tester information dialog, opened from the main window's context menu.

#include "app/qt/about_window.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <fstream>

#include "res/resource.h"
#include "window_fixture.h"

namespace {
QString TextOf(QWidget* w) {
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        return edit->text();
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->text();
    return {};
}
}  // namespace

TEST_F(WindowFixture, ContextMenuCarriesTheAboutAndRecipeItems) {
    Open();
    QStringList items;
    auto watch = OnNextWindow(
        [&items](QWidget* popup) {
            if (auto* menu = qobject_cast<QMenu*>(popup)) {
                for (QAction* a : menu->actions())
                    items << a->text();
            }
        },
        true);
    // A right-click on the dialog's background, away from every control.
    QWidget* page = &m_window->Page();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(3, 3),
                            page->mapToGlobal(QPoint(3, 3)));
    QApplication::sendEvent(page, &event);
    EXPECT_EQ(items, (QStringList{"关于 Vornak(&A)...", "打开生产配方..."}));
}

TEST_F(WindowFixture, TesterInformationDialog) {
    std::filesystem::create_directories(m_workDir / "Prg");
    std::ofstream(m_workDir / "Prg" / "a.tpg") << "x";
    std::ofstream(m_workDir / "Prg" / "b.tpg") << "x";
    Open();

    struct Seen {
        QString title, version, stamp, fwVersion, serial, status;
        QStringList packages;
        int selected = -2;
        bool stillOpenAfterButtons = false;
        bool modal = false;
    } seen;
    auto watch = OnNextWindow([&seen](QWidget* modal) {
        auto* about = qobject_cast<CAboutWindow*>(modal);
        ASSERT_NE(about, nullptr);
        CDialogPage& page = about->Page();
        seen.modal = about->isModal();
        seen.title = about->windowTitle();
        seen.version = TextOf(page.Control(IDC_TOOL_VERSION));
        seen.stamp = TextOf(page.Control(IDC_BUILD_TIME));
        seen.fwVersion = TextOf(page.Control(IDC_TESTER_FW_VERSION));
        seen.serial = TextOf(page.Control(IDC_TESTER_SERIAL));
        seen.status = TextOf(page.Control(IDC_TESTER_STATUS));
        auto* combo = qobject_cast<QComboBox*>(page.Control(IDC_TESTER_PACKAGES));
        for (int i = 0; i < combo->count(); ++i)
            seen.packages << combo->itemText(i);
        seen.selected = combo->currentIndex();
        for (int id : {IDC_TESTER_GET_VERSION, IDC_TESTER_UPGRADE})
            QTest::mouseClick(page.Control(id), Qt::LeftButton);
        seen.stillOpenAfterButtons = about->isVisible();
    });
    auto* aboutItem = m_window->findChild<QAction*>(kAboutActionName);
    ASSERT_NE(aboutItem, nullptr);
    aboutItem->trigger();

    EXPECT_TRUE(seen.modal);
    EXPECT_EQ(seen.title, QString("测试仪版本信息"));
    EXPECT_EQ(seen.version, QString("V1.02"));
    EXPECT_TRUE(QRegularExpression(R"(^\d\d:\d\d:\d\d  [A-Z][a-z]{2} [ 123]\d \d{4}$)")
                    .match(seen.stamp)
                    .hasMatch())
        << seen.stamp.toStdString();
    seen.packages.sort();
    EXPECT_EQ(seen.packages, (QStringList{"a.tpg", "b.tpg"}));
    EXPECT_EQ(seen.selected, 0);
    EXPECT_EQ(seen.fwVersion, QString());
    EXPECT_EQ(seen.serial, QString());
    EXPECT_EQ(seen.status, QString());
    EXPECT_TRUE(seen.stillOpenAfterButtons);
}
