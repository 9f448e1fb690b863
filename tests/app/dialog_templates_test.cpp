// The dialog templates as data: tab order, the styles that decide behaviour,
// agreement with the option table, and the place of the progress bar.

#include "res/dialog_templates.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "layouts/option_table.h"
#include "res/resource.h"
#include "res/string_table.h"
#include "template_geometry.h"

namespace {

std::vector<int> TabStops(const DialogTemplate& t) {
    std::vector<int> ids;
    for (const DialogControl& c : t.controls) {
        if (c.style & kTabStop)
            ids.push_back(c.id);
    }
    return ids;
}

const DialogTemplate& Main() {
    return *FindDialogTemplate(IDD_VORNAK_DIALOG);
}

}  // namespace

TEST(DialogTemplates, TabOrderOfBothDialogs) {
    const std::vector<int> mainOrder = {
        1000, 1001, 1002, 1003, 1006, 1007, 1008, 1009, 1010, 1022, 1023, 1024, 1025, 1028,
        1026, 1027, 1079, 1036, 1037, 1038, 1039, 1040, 1041, 1042, 1043, 1045, 1044, 1035,
        1047, 1062, 1063, 1064, 1065, 1066, 1067, 1068, 1069, 1070, 1071, 1072, 1073, 1074,
        1075, 1076, 1077, 1078, 1029, 1080, 1081, 1082, 1083, 1084, 1085, 1086, 1087, 1088,
        1089, 1090, 1091, 1092, 1093, 1094, 1095, 1096, 1097, 1098, 1099, 1100, 1101, 1102};
    EXPECT_EQ(TabStops(Main()), mainOrder);
    EXPECT_EQ(Main().controls.back().id, IDC_LOAD_ADDRESS);

    const std::vector<int> aboutOrder = {1015, 1014, 1016, 1017, 1018, 1019, 1020};
    EXPECT_EQ(TabStops(*FindDialogTemplate(IDD_ABOUTBOX)), aboutOrder);
}

TEST(DialogTemplates, ControlIdsAreUnique) {
    for (int templateId : {IDD_VORNAK_DIALOG, IDD_ABOUTBOX}) {
        std::set<int> seen;
        for (const DialogControl& c : FindDialogTemplate(templateId)->controls) {
            if (c.id != IDC_STATIC) {
                EXPECT_TRUE(seen.insert(c.id).second)
                    << "template " << templateId << " id " << c.id;
            }
        }
    }
}

// The style bits that change what a click or a keystroke does.
TEST(DialogTemplates, StylesThatDecideBehaviour) {
    struct Case {
        int id;
        ControlKind kind;
        unsigned mustHave;
        unsigned mustLack;
    };
    const Case cases[] = {
        {IDC_CONNECT, ControlKind::PushButton, kDefaultButton, 0},
        {IDC_DISCONNECT, ControlKind::PushButton, 0, kDefaultButton},
        {IDC_GET_DEVICE_INFO, ControlKind::PushButton, kMultiLine, 0},
        {IDC_VERSION_LABEL, ControlKind::Static, kNotify, kTabStop},
        {IDC_SERIAL_LABEL, ControlKind::Static, kNotify, kTabStop},
        {IDC_ADVANCED_TOGGLE, ControlKind::Static, kNotify, kTabStop},
        {IDC_STATUS, ControlKind::Static, 0, kNotify | kTabStop},
        {IDC_DATA_EXCHANGE, ControlKind::Edit, kTabStop, kReadOnly},
        {IDC_PORT_NAME, ControlKind::Edit, kReadOnly, 0},
        {IDC_BAUD_RATE, ControlKind::Edit, kReadOnly, 0},
        {IDC_VERSION, ControlKind::Edit, kReadOnly, 0},
        {IDC_SERIAL, ControlKind::Edit, kReadOnly, 0},
        {IDC_TARGET_FILE, ControlKind::Edit, kReadOnly, 0},
        {IDC_DOT_CLOSED, ControlKind::Icon, 0, kTabStop},
        {IDC_DOT_OPEN, ControlKind::Icon, 0, kTabStop},
        {IDC_PACKAGE_LIST, ControlKind::ComboBox, kTabStop, 0},
        {IDC_LOAD_ADDRESS, ControlKind::ComboBox, kTabStop, 0},
        {IDC_PROGRESS, ControlKind::ProgressBar, kInitiallyHidden, kTabStop},
    };
    for (const Case& c : cases) {
        const DialogControl* control = Main().Find(c.id);
        ASSERT_NE(control, nullptr) << c.id;
        EXPECT_EQ(control->kind, c.kind) << c.id;
        EXPECT_EQ(control->style & c.mustHave, c.mustHave) << c.id;
        EXPECT_EQ(control->style & c.mustLack, 0u) << c.id;
    }
    EXPECT_EQ(Main().Find(IDC_DOT_CLOSED)->icon, IDI_DISCONNECTED);
    EXPECT_EQ(Main().Find(IDC_DOT_OPEN)->icon, IDI_CONNECTED);
    EXPECT_EQ(Main().Find(IDC_GET_DEVICE_INFO)->caption, "获取\r\n设备信息");
}

// Each option of the option table has its control on the settings panel: a
// check box, or a combo box whose label stands right before it in the
// template.
TEST(DialogTemplates, SettingsPanelAgreesWithTheOptionTable) {
    const auto& controls = Main().controls;
    for (const OptionInfo& option : Options()) {
        const DialogControl* control = Main().Find(option.controlId);
        ASSERT_NE(control, nullptr) << option.field;
        EXPECT_GE(control->rect.x, kSettingsPanelLeft) << option.field;
        if (option.IsFlag()) {
            EXPECT_EQ(control->kind, ControlKind::CheckBox) << option.field;
        } else {
            EXPECT_EQ(control->kind, ControlKind::ComboBox) << option.field;
            const auto index = control - controls.data();
            ASSERT_GT(index, 0);
            const DialogControl& label = controls[index - 1];
            EXPECT_EQ(label.id, IDC_STATIC) << option.field;
        }
    }
}

// The progress bar is an addition: it must sit inside the left panel, above
// the status line's bottom, without covering anything the start-up window
// shows.
TEST(DialogTemplates, ProgressBarFitsTheLeftPanel) {
    const DialogControl& bar = *Main().Find(IDC_PROGRESS);
    EXPECT_LT(bar.rect.Right(), kSettingsPanelLeft);
    EXPECT_LE(bar.rect.Bottom(), Main().Find(IDC_STATUS)->rect.Bottom());
    for (const DialogControl& c : Main().controls) {
        if (c.id != IDC_PROGRESS && c.rect.x < kSettingsPanelLeft) {
            EXPECT_FALSE(Overlap(ShownRect(c), bar.rect)) << c.id << " " << c.caption;
        }
    }
}

TEST(DialogTemplates, WindowCaptionsAndStrings) {
    EXPECT_EQ(Main().caption, "固件升级工具");
    EXPECT_EQ(FindDialogTemplate(IDD_ABOUTBOX)->caption, "测试仪版本信息");
    EXPECT_EQ(Main().style & kMinimizeBox, kMinimizeBox);
    EXPECT_EQ(FindDialogTemplate(IDD_ABOUTBOX)->style & kMinimizeBox, 0u);
    EXPECT_EQ(LoadResString(IDS_ABOUTBOX), "关于 Vornak(&A)...");
    EXPECT_TRUE(LoadResString(0).empty());
    EXPECT_EQ(FindDialogTemplate(0), nullptr);
}
