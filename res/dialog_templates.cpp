#include "res/dialog_templates.h"

#include "res/option_captions.h"
#include "res/resource.h"

namespace {

using K = ControlKind;

constexpr unsigned kField = kTabStop | kReadOnly;

// Main dialog: the identity and firmware panel, then the settings panel, then
// the load-address list. Labels stand just before the control they name.
const DialogControl kMainControls[] = {
    {IDC_STATIC, K::Static, "串口号码:", {14, 13, 37, 8}, 0},
    {IDC_PORT_NAME, K::Edit, "", {53, 11, 48, 12}, kField},
    {IDC_DOT_CLOSED, K::Icon, "", {205, 7, 20, 20}, 0, IDI_DISCONNECTED},
    {IDC_DOT_OPEN, K::Icon, "", {205, 7, 20, 20}, 0, IDI_CONNECTED},
    {IDC_CONNECT, K::PushButton, "连接", {229, 11, 50, 13}, kTabStop | kDefaultButton},
    {IDC_DISCONNECT, K::PushButton, "断开", {229, 11, 50, 14}, kTabStop},
    {IDC_VERSION_LABEL, K::Static, "设备版本:", {14, 32, 37, 8}, kNotify},
    {IDC_VERSION, K::Edit, "", {53, 29, 174, 14}, kField},
    {IDC_SERIAL_LABEL, K::Static, "设备序号:", {14, 50, 37, 8}, kNotify},
    {IDC_SERIAL, K::Edit, "", {53, 47, 174, 14}, kField},
    {IDC_GET_DEVICE_INFO,
     K::PushButton,
     "获取\r\n设备信息",
     {229, 28, 50, 32},
     kTabStop | kMultiLine},
    {IDC_FACTORY_TEST, K::PushButton, "出厂测试", {229, 64, 50, 33}, kTabStop},
    {IDC_STATIC, K::Static, "程序固件:", {14, 139, 37, 8}, 0},
    {IDC_PACKAGE_LIST, K::ComboBox, "", {53, 136, 174, 55}, kTabStop},
    {IDC_UPGRADE, K::PushButton, "升级固件", {229, 135, 50, 14}, kTabStop},
    {IDC_STATIC, K::Static, "数据交互:", {14, 66, 37, 8}, 0},
    {IDC_DATA_EXCHANGE, K::Edit, "", {53, 64, 174, 68}, kTabStop},
    {IDC_SAVE_LOG, K::PushButton, "保存日志", {229, 100, 50, 14}, kTabStop},
    {IDC_JUMP, K::PushButton, "应用跳转", {229, 118, 50, 14}, kTabStop},
    {IDC_STATIC, K::Static, "目标文件:", {14, 159, 37, 8}, 0},
    {IDC_TARGET_FILE, K::Edit, "", {53, 157, 117, 13}, kField},
    {IDC_STATIC, K::Static, "波特率:", {113, 13, 29, 8}, 0},
    {IDC_BAUD_RATE, K::Edit, "", {143, 11, 54, 12}, kField},
    {IDC_BROWSE, K::PushButton, "...", {229, 156, 16, 14}, kTabStop},
    {IDC_SEND_FILE, K::PushButton, "发送", {246, 156, 33, 14}, kTabStop},
    {IDC_STATUS, K::Static, "", {15, 181, 213, 9}, 0},
    {IDC_ADVANCED_TOGGLE, K::Static, "高级设置>>>", {235, 181, 45, 8}, kNotify},
    // A thin bar in the gap between the target-file row and the status line,
    // so that the small window still shows the whole panel.
    {IDC_PROGRESS, K::ProgressBar, "", {14, 173, 265, 5}, kInitiallyHidden},

    {1079, K::CheckBox, OptionCaption(1079), {300, 12, 44, 10}, kTabStop},
    {1036, K::CheckBox, OptionCaption(1036), {300, 38, 58, 10}, kTabStop},
    {1037, K::CheckBox, OptionCaption(1037), {300, 66, 70, 10}, kTabStop},
    {1038, K::CheckBox, OptionCaption(1038), {300, 94, 67, 10}, kTabStop},
    {1039, K::CheckBox, OptionCaption(1039), {300, 122, 40, 10}, kTabStop},
    {1040, K::CheckBox, OptionCaption(1040), {300, 150, 64, 10}, kTabStop},
    {1041, K::CheckBox, OptionCaption(1041), {300, 108, 40, 10}, kTabStop},
    {1042, K::CheckBox, OptionCaption(1042), {300, 136, 62, 10}, kTabStop},
    {1043, K::CheckBox, OptionCaption(1043), {300, 80, 64, 10}, kTabStop},
    {1045, K::CheckBox, OptionCaption(1045), {300, 164, 48, 10}, kTabStop},
    {1044, K::CheckBox, OptionCaption(1044), {300, 52, 64, 10}, kTabStop},
    {1035, K::CheckBox, OptionCaption(1035), {300, 24, 64, 10}, kTabStop},
    {1047, K::CheckBox, OptionCaption(1047), {300, 177, 72, 10}, kTabStop},
    {IDC_STATIC, K::Static, OptionCaption(1062), {395, 14, 57, 8}, 0},
    {1062, K::ComboBox, "", {459, 12, 95, 12}, kTabStop},
    {IDC_STATIC, K::Static, OptionCaption(1063), {395, 31, 57, 8}, 0},
    {1063, K::ComboBox, "", {459, 28, 95, 30}, kTabStop},
    {IDC_STATIC, K::Static, OptionCaption(1064), {395, 48, 41, 8}, 0},
    {1064, K::ComboBox, "", {459, 44, 95, 30}, kTabStop},
    {IDC_STATIC, K::Static, OptionCaption(1065), {395, 113, 49, 8}, 0},
    {1065, K::ComboBox, "", {459, 109, 95, 30}, kTabStop},
    {IDC_STATIC, K::Static, OptionCaption(1066), {395, 129, 49, 8}, 0},
    {1066, K::ComboBox, "", {459, 125, 95, 30}, kTabStop},
    {IDC_STATIC, K::Static, OptionCaption(1067), {395, 64, 49, 8}, 0},
    {1067, K::ComboBox, "", {459, 60, 95, 30}, kTabStop},
    {IDC_STATIC, K::Static, OptionCaption(1068), {395, 80, 49, 8}, 0},
    {1068, K::ComboBox, "", {459, 76, 95, 30}, kTabStop},
    {IDC_STATIC, K::Static, OptionCaption(1069), {395, 97, 49, 8}, 0},
    {1069, K::ComboBox, "", {459, 92, 95, 30}, kTabStop},
    {IDC_STATIC, K::Static, OptionCaption(1070), {395, 144, 49, 8}, 0},
    {1070, K::ComboBox, "", {459, 141, 95, 30}, kTabStop},
    {IDC_STATIC, K::Static, OptionCaption(1071), {395, 195, 49, 8}, 0},
    {1071, K::ComboBox, "", {459, 193, 95, 30}, kTabStop},
    {1072, K::CheckBox, OptionCaption(1072), {300, 191, 56, 10}, kTabStop},
    {IDC_STATIC, K::Static, OptionCaption(1073), {395, 230, 89, 9}, 0},
    {1073, K::ComboBox, "", {487, 227, 67, 30}, kTabStop},
    {IDC_STATIC, K::Static, OptionCaption(1074), {395, 262, 89, 9}, 0},
    {1074, K::ComboBox, "", {487, 259, 67, 30}, kTabStop},
    {IDC_STATIC, K::Static, OptionCaption(1075), {395, 246, 89, 9}, 0},
    {1075, K::ComboBox, "", {487, 243, 67, 30}, kTabStop},
    {1076, K::CheckBox, OptionCaption(1076), {300, 204, 80, 10}, kTabStop},
    {1077, K::CheckBox, OptionCaption(1077), {300, 218, 64, 10}, kTabStop},
    {1078, K::CheckBox, OptionCaption(1078), {300, 232, 80, 10}, kTabStop},
    {IDC_WRITE_SETTINGS, K::PushButton, "写入设置", {299, 396, 50, 14}, kTabStop},
    {IDC_READ_SETTINGS, K::PushButton, "读出设置", {397, 396, 50, 14}, kTabStop},
    {IDC_FACTORY_RESET, K::PushButton, "恢复出厂", {495, 396, 50, 14}, kTabStop},
    {1082, K::CheckBox, OptionCaption(1082), {300, 245, 76, 10}, kTabStop},
    {IDC_STATIC, K::Static, OptionCaption(1083), {395, 161, 57, 8}, 0},
    {1083, K::ComboBox, "", {459, 158, 95, 30}, kTabStop},
    {IDC_STATIC, K::Static, OptionCaption(1084), {395, 213, 73, 8}, 0},
    {1084, K::ComboBox, "", {487, 210, 67, 30}, kTabStop},
    {1085, K::CheckBox, OptionCaption(1085), {300, 258, 68, 10}, kTabStop},
    {1086, K::CheckBox, OptionCaption(1086), {300, 271, 80, 10}, kTabStop},
    {1087, K::CheckBox, OptionCaption(1087), {300, 284, 81, 10}, kTabStop},
    {1088, K::CheckBox, OptionCaption(1088), {396, 273, 72, 10}, kTabStop},
    {1089, K::CheckBox, OptionCaption(1089), {300, 356, 64, 10}, kTabStop},
    {1090, K::CheckBox, OptionCaption(1090), {396, 299, 104, 10}, kTabStop},
    {1091, K::CheckBox, OptionCaption(1091), {300, 299, 72, 10}, kTabStop},
    {1092, K::CheckBox, OptionCaption(1092), {396, 286, 112, 10}, kTabStop},
    {IDC_STATIC, K::Static, OptionCaption(1093), {395, 179, 57, 8}, 0},
    {1093, K::ComboBox, "", {459, 176, 95, 30}, kTabStop},
    {1094, K::CheckBox, OptionCaption(1094), {300, 314, 80, 10}, kTabStop},
    {1095, K::CheckBox, OptionCaption(1095), {300, 328, 80, 10}, kTabStop},
    {1096, K::CheckBox, OptionCaption(1096), {396, 328, 104, 10}, kTabStop},
    {1097, K::CheckBox, OptionCaption(1097), {300, 342, 96, 10}, kTabStop},
    {1098, K::CheckBox, OptionCaption(1098), {396, 342, 80, 10}, kTabStop},
    {1099, K::CheckBox, OptionCaption(1099), {396, 313, 80, 10}, kTabStop},
    {1100, K::CheckBox, OptionCaption(1100), {396, 356, 72, 10}, kTabStop},
    {1101, K::CheckBox, OptionCaption(1101), {300, 370, 64, 10}, kTabStop},

    {IDC_LOAD_ADDRESS, K::ComboBox, "", {172, 157, 55, 30}, kTabStop},
};

// Tester information dialog, in its template order.
constexpr DialogControl kAboutControls[] = {
    {IDC_STATIC, K::Static, "固件版本:", {7, 68, 37, 8}, 0},
    {IDC_TESTER_FW_VERSION, K::Edit, "", {43, 66, 117, 14}, kField},
    {IDC_TESTER_GET_VERSION, K::PushButton, "获取测试仪版本信息", {7, 48, 153, 14}, kTabStop},
    {IDC_STATIC, K::Static, "设备序号:", {7, 88, 37, 8}, 0},
    {IDC_TESTER_SERIAL, K::Edit, "", {43, 85, 117, 14}, kField},
    {IDC_STATIC, K::Static, "固件列表:", {7, 107, 37, 8}, 0},
    {IDC_TESTER_PACKAGES, K::ComboBox, "", {43, 105, 117, 45}, kTabStop},
    {IDC_STATIC, K::Static, "软件版本:", {7, 15, 37, 8}, 0},
    {IDC_STATIC, K::Static, "编译日期:", {7, 33, 37, 8}, 0},
    {IDC_TOOL_VERSION, K::Edit, "", {43, 12, 117, 14}, kField},
    {IDC_BUILD_TIME, K::Edit, "", {43, 31, 117, 14}, kField},
    {IDC_TESTER_UPGRADE, K::PushButton, "固件升级", {7, 121, 153, 14}, kTabStop},
    {IDC_TESTER_STATUS, K::Static, "", {7, 137, 153, 8}, 0},
};

const DialogTemplate kTemplates[] = {
    {IDD_VORNAK_DIALOG, "固件升级工具", "新宋体", 10, 579, 433,
     kSystemMenu | kMinimizeBox | kAppWindow, kMainControls},
    {IDD_ABOUTBOX, "测试仪版本信息", "新宋体", 10, 167, 157, kSystemMenu, kAboutControls},
};

}  // namespace

const DialogControl* DialogTemplate::Find(int id) const {
    if (id == IDC_STATIC)
        return nullptr;
    for (const DialogControl& c : controls) {
        if (c.id == id)
            return &c;
    }
    return nullptr;
}

const DialogTemplate* FindDialogTemplate(int id) {
    for (const DialogTemplate& t : kTemplates) {
        if (t.id == id)
            return &t;
    }
    return nullptr;
}
