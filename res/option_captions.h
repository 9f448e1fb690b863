#pragma once
// The settings options' captions by their control IDs: the settings panel's
// labels and every screen that names an option take them from here.

#include <string_view>

struct OptionCaptionRow {
    int controlId;
    std::string_view caption;
};

inline constexpr OptionCaptionRow kOptionCaptions[] = {
    {1079, "主动PKE"},
    {1035, "锁车自动升窗"},
    {1036, "长按锁车升窗"},
    {1044, "长按开锁降窗"},
    {1037, "锁车喇叭反馈音"},
    {1038, "寻车声音反馈"},
    {1043, "寻车灯光反馈"},
    {1041, "D档落锁"},
    {1039, "P档解锁"},
    {1091, "开锁喇叭反馈音"},
    {1090, "装拉手钥匙拿开自动锁车"},
    {1042, "手动挡模式"},
    {1045, "开门双闪"},
    {1062, "中控线输出方式"},
    {1047, "回避器电源断电"},
    {1040, "手动挡预约"},
    {1072, "未关门报警"},
    {1076, "未关门无锁车动作"},
    {1077, "非法进入报警"},
    {1078, "使用原厂启动按钮"},
    {1082, "手机解锁禁用PKE"},
    {1083, "未关门喇叭次数"},
    {1085, "启动时ACC断电"},
    {1086, "开关锁第一次有效"},
    {1089, "开锁执行两次"},
    {1087, "远程启动踩刹车熄火"},
    {1088, "启动时检测电压"},
    {1092, "拉手锁车钥匙遗留车内报警"},
    {1093, "应急灯输出模式"},
    {1094, "总线不检测锁状态"},
    {1063, "钥匙检测线方式"},
    {1084, "远程启动ON热车时间"},
    {1071, "启动点火时间"},
    {1073, "远程启动第一次点火时间"},
    {1075, "远程启动第二次点火时间"},
    {1074, "远程启动第三次点火时间"},
    {1065, "升窗输出时间"},
    {1066, "降窗输出时间"},
    {1069, "尾箱输出时间"},
    {1068, "开锁输出时间"},
    {1067, "锁车输出时间"},
    {1064, "门把手类型"},
    {1070, "喇叭输出时间"},
    {1095, "远程启动防盗熄火"},
    {1096, "远程启动后使用原车钥匙"},
    {1098, "远程启动前先解锁"},
    {1099, "总线不检测门状态"},
    {1097, "远程启动刹车输出正电"},
    {1100, "开门回避器断电"},
    {1101, "锁车延时升窗"},
};

// The caption of the option on control `controlId`; empty for any other ID.
constexpr std::string_view OptionCaption(int controlId) {
    for (const OptionCaptionRow& row : kOptionCaptions) {
        if (row.controlId == controlId)
            return row.caption;
    }
    return {};
}
