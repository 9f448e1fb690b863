// The main window as the operator first sees it, and how the templates are
// rendered: sizes, fonts, overlaps, captions that fit, tab order.

#include <QCheckBox>
#include <QFontMetrics>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <filesystem>
#include <fstream>
#include <set>
#include <vector>

#include "res/resource.h"
#include "template_geometry.h"
#include "window_fixture.h"

namespace {

// Outer window sizes, title bar included.
const QSize kSmallOuter(520, 360);
const QSize kLargeOuter(1000, 720);
// Frame of a common decorated window (left + right, top + bottom) at 96 dpi:
// the panels must fit inside it too, not only inside this platform's frame.
const QSize kTypicalFrame(16, 39);
// Room a push button's frame takes around its caption.
constexpr int kButtonPadding = 4;

bool InLeftPanel(const DialogControl& c) {
    return c.rect.x < kSettingsPanelLeft;
}

QSize ClientOf(const QSize& outer, const QSize& frame) {
    return outer - frame;
}

}  // namespace

TEST_F(WindowFixture, StartUpLook) {
    Open();
    EXPECT_EQ(m_model->WindowWidth(), kSmallOuter.width());
    EXPECT_EQ(m_model->WindowHeight(), kSmallOuter.height());
    EXPECT_EQ(m_window->frameGeometry().size(), kSmallOuter);
    EXPECT_EQ(m_window->minimumSize(), m_window->maximumSize()) << "fixed size";
    EXPECT_EQ(m_window->windowTitle(), QString("固件升级工具"));
    EXPECT_TRUE(m_window->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(m_window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(m_window->windowIcon().isNull());

    for (int id : {IDC_CONNECT, IDC_DOT_CLOSED})
        EXPECT_TRUE(W(id)->isVisible()) << id;
    for (int id : {IDC_DISCONNECT, IDC_DOT_OPEN, IDC_PROGRESS})
        EXPECT_FALSE(W(id)->isVisible()) << id;
    EXPECT_TRUE(qobject_cast<QPushButton*>(W(IDC_CONNECT))->isDefault());

    for (int id : {IDC_PORT_NAME, IDC_BAUD_RATE, IDC_VERSION, IDC_SERIAL, IDC_DATA_EXCHANGE,
                   IDC_TARGET_FILE, IDC_STATUS})
        EXPECT_EQ(Text(id), QString()) << id;
    EXPECT_EQ(Text(IDC_ADVANCED_TOGGLE), QString("高级设置>>>"));
    EXPECT_EQ(Text(IDC_GET_DEVICE_INFO), QString("获取\n设备信息"));
    EXPECT_EQ(Text(IDC_LOAD_ADDRESS), QString("0x0001E000"));
    EXPECT_EQ(qobject_cast<QComboBox*>(W(IDC_LOAD_ADDRESS))->count(), 6);
    EXPECT_EQ(qobject_cast<QComboBox*>(W(IDC_PACKAGE_LIST))->count(), 0);
    EXPECT_TRUE(std::filesystem::is_directory(m_workDir / "Prg"));
    // The model holds the template's captions, as the controls' texts.
    EXPECT_EQ(m_model->GetItemText(IDC_CONNECT), "连接");
    EXPECT_EQ(m_window->focusWidget(), W(IDC_PORT_NAME));
    EXPECT_FALSE(m_link.IsOpen());
}

TEST_F(WindowFixture, PackagesOfThePrgFolderAreListed) {
    std::filesystem::create_directories(m_workDir / "Prg");
    std::ofstream(m_workDir / "Prg" / "a.pkg") << "x";
    Open();
    auto* combo = qobject_cast<QComboBox*>(W(IDC_PACKAGE_LIST));
    ASSERT_EQ(combo->count(), 1);
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(combo->currentText(), QString("a.pkg"));
}

// Whatever face is installed, the dialog units keep the scale the window's
// pixel sizes were made for, and the font's letters fit it.
TEST_F(WindowFixture, FontFitsTheDialogUnits) {
    Open();
    const DialogMetrics m = MainWindowMetrics();
    EXPECT_EQ(m.baseX, kDesignBaseX);
    EXPECT_EQ(m.baseY, kDesignBaseY);
    const QSize measured = MeasureBaseUnits(m.font);
    EXPECT_LE(measured.width(), kDesignBaseX);
    EXPECT_LE(measured.height(), kDesignBaseY);
    // A one-line static (8 units high) holds a line of text.
    EXPECT_LE(QFontMetrics(m.font).height(), m.Y(8));
    EXPECT_EQ(W(IDC_STATUS)->font(), m.font);
}

// No two visible controls of the left panel cover each other unless the
// template puts them in the same place.
TEST_F(WindowFixture, LeftPanelControlsDoNotOverlap) {
    Open();
    const auto& controls = m_window->Page().Controls();
    for (std::size_t i = 0; i < controls.size(); ++i) {
        for (std::size_t j = i + 1; j < controls.size(); ++j) {
            const RenderedControl& a = controls[i];
            const RenderedControl& b = controls[j];
            if (!InLeftPanel(*a.control) || !InLeftPanel(*b.control) || !a.widget->isVisible() ||
                !b.widget->isVisible())
                continue;
            if (Overlap(ShownRect(*a.control), ShownRect(*b.control)))
                continue;
            EXPECT_FALSE(a.widget->geometry().intersects(b.widget->geometry()))
                << a.control->id << " '" << a.control->caption << "' and " << b.control->id << " '"
                << b.control->caption << "'";
        }
    }
}

TEST_F(WindowFixture, EveryCaptionFitsItsControl) {
    Open();
    struct Caption {
        const RenderedControl* control;
        QString text;
    };
    std::vector<Caption> captions;
    for (const RenderedControl& r : m_window->Page().Controls()) {
        if (!r.control->caption.empty())
            captions.push_back(
                {&r, Text(r.control->id).isEmpty()
                         ? QString::fromUtf8(r.control->caption.data(), r.control->caption.size())
                         : Text(r.control->id)});
    }
    // The toggle's other caption must fit as well.
    for (const RenderedControl& r : m_window->Page().Controls()) {
        if (r.control->id == IDC_ADVANCED_TOGGLE)
            captions.push_back({&r, QString("<<<关闭设置")});
    }
    ASSERT_FALSE(captions.empty());

    for (const Caption& c : captions) {
        QWidget* w = c.control->widget;
        const QFontMetrics fm(w->font());
        const QStringList lines = QString(c.text).replace("\r\n", "\n").split('\n');
        int width = 0;
        for (const QString& line : lines)
            width = std::max(width, fm.horizontalAdvance(line));
        int height = static_cast<int>(lines.size()) * fm.height();
        if (qobject_cast<QCheckBox*>(w) != nullptr) {
            width += w->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, w) +
                     w->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, w);
        } else if (qobject_cast<QPushButton*>(w) != nullptr) {
            width += kButtonPadding;
            height += kButtonPadding;
        }
        EXPECT_LE(width, w->width()) << c.text.toStdString();
        EXPECT_LE(height, w->height()) << c.text.toStdString();
    }
}

// The small window shows the whole left panel down to the status line and
// nothing of the settings panel; the large one shows everything.
TEST_F(WindowFixture, PanelsFitTheirWindowSizes) {
    Open();
    const QMargins margins = m_window->windowHandle()->frameMargins();
    const QSize actualFrame(margins.left() + margins.right(), margins.top() + margins.bottom());
    EXPECT_EQ(m_window->size(), ClientOf(kSmallOuter, actualFrame));

    for (const QSize& frame : {actualFrame, kTypicalFrame}) {
        const QRect small(QPoint(0, 0), ClientOf(kSmallOuter, frame));
        const QRect large(QPoint(0, 0), ClientOf(kLargeOuter, frame));
        for (const RenderedControl& r : m_window->Page().Controls()) {
            const QRect g = r.widget->geometry();
            if (InLeftPanel(*r.control)) {
                EXPECT_TRUE(small.contains(g)) << r.control->id << " " << r.control->caption;
            } else {
                EXPECT_GE(g.left(), small.width()) << r.control->id << " " << r.control->caption;
            }
            EXPECT_TRUE(large.contains(g)) << r.control->id << " " << r.control->caption;
        }
    }
}

// Tab walks the controls with a tab stop in template order (hidden ones are
// passed over) and wraps around.
TEST_F(WindowFixture, TabOrderFollowsTheTemplate) {
    Open();
    m_window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));

    std::vector<int> expected;
    for (const RenderedControl& r : m_window->Page().Controls()) {
        if ((r.control->style & kTabStop) && r.widget->isVisible())
            expected.push_back(r.control->id);
    }
    auto focusedId = [this]() {
        for (const RenderedControl& r : m_window->Page().Controls()) {
            QWidget* f = QApplication::focusWidget();
            if (f != nullptr && (f == r.widget || r.widget->isAncestorOf(f)))
                return r.control->id;
        }
        return 0;
    };
    std::vector<int> walked = {focusedId()};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        walked.push_back(focusedId());
    }
    expected.push_back(expected.front());
    EXPECT_EQ(walked, expected);
}
