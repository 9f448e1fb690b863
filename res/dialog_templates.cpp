#include "res/dialog_templates.h"

#include "res/resource.h"

namespace {

using K = ControlKind;

constexpr unsigned kField = kTabStop | kReadOnly;

// Main dialog: the identity and firmware panel, then the settings panel, then
// the load-address list. Labels stand just before the control they name.
constexpr DialogControl kMainControls[] = {
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

    {1079, K::CheckBox, "主动PKE", {300, 12, 44, 10}, kTabStop},
    {1036, K::CheckBox, "长按锁车升窗", {300, 38, 58, 10}, kTabStop},
    {1037, K::CheckBox, "锁车喇叭反馈音", {300, 66, 70, 10}, kTabStop},
    {1038, K::CheckBox, "寻车声音反馈", {300, 94, 67, 10}, kTabStop},
    {1039, K::CheckBox, "P档解锁", {300, 122, 40, 10}, kTabStop},
    {1040, K::CheckBox, "手动挡预约", {300, 150, 64, 10}, kTabStop},
    {1041, K::CheckBox, "D档落锁", {300, 108, 40, 10}, kTabStop},
    {1042, K::CheckBox, "手动挡模式", {300, 136, 62, 10}, kTabStop},
    {1043, K::CheckBox, "寻车灯光反馈", {300, 80, 64, 10}, kTabStop},
    {1045, K::CheckBox, "开门双闪", {300, 164, 48, 10}, kTabStop},
    {1044, K::CheckBox, "长按开锁降窗", {300, 52, 64, 10}, kTabStop},
    {1035, K::CheckBox, "锁车自动升窗", {300, 24, 64, 10}, kTabStop},
    {1047, K::CheckBox, "回避器电源断电", {300, 177, 72, 10}, kTabStop},
    {IDC_STATIC, K::Static, "中控线输出方式", {395, 14, 57, 8}, 0},
    {1062, K::ComboBox, "", {459, 12, 95, 12}, kTabStop},
    {IDC_STATIC, K::Static, "钥匙检测线方式", {395, 31, 57, 8}, 0},
    {1063, K::ComboBox, "", {459, 28, 95, 30}, kTabStop},
    {IDC_STATIC, K::Static, "门把手类型", {395, 48, 41, 8}, 0},
    {1064, K::ComboBox, "", {459, 44, 95, 30}, kTabStop},
    {IDC_STATIC, K::Static, "升窗输出时间", {395, 113, 49, 8}, 0},
    {1065, K::ComboBox, "", {459, 109, 95, 30}, kTabStop},
    {IDC_STATIC, K::Static, "降窗输出时间", {395, 129, 49, 8}, 0},
    {1066, K::ComboBox, "", {459, 125, 95, 30}, kTabStop},
    {IDC_STATIC, K::Static, "锁车输出时间", {395, 64, 49, 8}, 0},
    {1067, K::ComboBox, "", {459, 60, 95, 30}, kTabStop},
    {IDC_STATIC, K::Static, "开锁输出时间", {395, 80, 49, 8}, 0},
    {1068, K::ComboBox, "", {459, 76, 95, 30}, kTabStop},
    {IDC_STATIC, K::Static, "尾箱输出时间", {395, 97, 49, 8}, 0},
    {1069, K::ComboBox, "", {459, 92, 95, 30}, kTabStop},
    {IDC_STATIC, K::Static, "喇叭输出时间", {395, 144, 49, 8}, 0},
    {1070, K::ComboBox, "", {459, 141, 95, 30}, kTabStop},
    {IDC_STATIC, K::Static, "启动点火时间", {395, 195, 49, 8}, 0},
    {1071, K::ComboBox, "", {459, 193, 95, 30}, kTabStop},
    {1072, K::CheckBox, "未关门报警", {300, 191, 56, 10}, kTabStop},
    {IDC_STATIC, K::Static, "远程启动第一次点火时间", {395, 230, 89, 9}, 0},
    {1073, K::ComboBox, "", {487, 227, 67, 30}, kTabStop},
    {IDC_STATIC, K::Static, "远程启动第三次点火时间", {395, 262, 89, 9}, 0},
    {1074, K::ComboBox, "", {487, 259, 67, 30}, kTabStop},
    {IDC_STATIC, K::Static, "远程启动第二次点火时间", {395, 246, 89, 9}, 0},
    {1075, K::ComboBox, "", {487, 243, 67, 30}, kTabStop},
    {1076, K::CheckBox, "未关门无锁车动作", {300, 204, 80, 10}, kTabStop},
    {1077, K::CheckBox, "非法进入报警", {300, 218, 64, 10}, kTabStop},
    {1078, K::CheckBox, "使用原厂启动按钮", {300, 232, 80, 10}, kTabStop},
    {IDC_WRITE_SETTINGS, K::PushButton, "写入设置", {299, 396, 50, 14}, kTabStop},
    {IDC_READ_SETTINGS, K::PushButton, "读出设置", {397, 396, 50, 14}, kTabStop},
    {IDC_FACTORY_RESET, K::PushButton, "恢复出厂", {495, 396, 50, 14}, kTabStop},
    {1082, K::CheckBox, "手机解锁禁用PKE", {300, 245, 76, 10}, kTabStop},
    {IDC_STATIC, K::Static, "未关门喇叭次数", {395, 161, 57, 8}, 0},
    {1083, K::ComboBox, "", {459, 158, 95, 30}, kTabStop},
    {IDC_STATIC, K::Static, "远程启动ON热车时间", {395, 213, 73, 8}, 0},
    {1084, K::ComboBox, "", {487, 210, 67, 30}, kTabStop},
    {1085, K::CheckBox, "启动时ACC断电", {300, 258, 68, 10}, kTabStop},
    {1086, K::CheckBox, "开关锁第一次有效", {300, 271, 80, 10}, kTabStop},
    {1087, K::CheckBox, "远程启动踩刹车熄火", {300, 284, 81, 10}, kTabStop},
    {1088, K::CheckBox, "启动时检测电压", {396, 273, 72, 10}, kTabStop},
    {1089, K::CheckBox, "开锁执行两次", {300, 356, 64, 10}, kTabStop},
    {1090, K::CheckBox, "装拉手钥匙拿开自动锁车", {396, 299, 104, 10}, kTabStop},
    {1091, K::CheckBox, "开锁喇叭反馈音", {300, 299, 72, 10}, kTabStop},
    {1092, K::CheckBox, "拉手锁车钥匙遗留车内报警", {396, 286, 112, 10}, kTabStop},
    {IDC_STATIC, K::Static, "应急灯输出模式", {395, 179, 57, 8}, 0},
    {1093, K::ComboBox, "", {459, 176, 95, 30}, kTabStop},
    {1094, K::CheckBox, "总线不检测锁状态", {300, 314, 80, 10}, kTabStop},
    {1095, K::CheckBox, "远程启动防盗熄火", {300, 328, 80, 10}, kTabStop},
    {1096, K::CheckBox, "远程启动后使用原车钥匙", {396, 328, 104, 10}, kTabStop},
    {1097, K::CheckBox, "远程启动刹车输出正电", {300, 342, 96, 10}, kTabStop},
    {1098, K::CheckBox, "远程启动前先解锁", {396, 342, 80, 10}, kTabStop},
    {1099, K::CheckBox, "总线不检测门状态", {396, 313, 80, 10}, kTabStop},
    {1100, K::CheckBox, "开门回避器断电", {396, 356, 72, 10}, kTabStop},
    {1101, K::CheckBox, "锁车延时升窗", {300, 370, 64, 10}, kTabStop},

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

constexpr DialogTemplate kTemplates[] = {
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
