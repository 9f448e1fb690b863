#include "device/option_table.h"

#include <algorithm>

namespace {

// Entry lists; options that share a list share one array.
constexpr OptionEntry kLockWireOutput[] = {{"一直输出", 0}, {"ACC/ON输出", 1}};
constexpr OptionEntry kDoorAjarHornCount[] = {{"喇叭报警8次", 0}, {"喇叭报警3次", 1}};
constexpr OptionEntry kHazardSwitchMode[] = {{"应急灯开关非自锁模式", 0},
                                             {"应急灯开关自锁模式", 1}};
constexpr OptionEntry kKeySenseWireMode[] = {
    {"开锁通--关锁断", 5},       {"ACC/ON通--OFF断", 10}, {"离合辅助输出", 15},
    {"远程启动通-踩刹车断", 20}, {"预留选项1", 30},       {"预留选项2", kNoCode},
};
constexpr OptionEntry kRemoteWarmUpTime[] = {
    {"1秒", 0}, {"5秒", 5}, {"7秒", 7}, {"10秒", 10}, {"15秒", 15},
};
constexpr OptionEntry kCrankTime[] = {
    {"0.7秒", 7}, {"0.8秒", 8}, {"0.9秒", 9}, {"1.2秒", 12}, {"1.5秒", 15},
};
constexpr OptionEntry kRemoteCrankTime[] = {
    {"0.7秒", 7},  {"1.2秒", 12}, {"1.5秒", 15}, {"2.0秒", 20},
    {"3.0秒", 30}, {"5.0秒", 50}, {"6.0秒", 60}, {"8.0秒", 80},
};
constexpr OptionEntry kWindowTime[] = {
    {"6秒", 12}, {"8秒", 16}, {"10秒", 20}, {"12秒", 24}, {"16秒", 32}, {"20秒", 40},
};
constexpr OptionEntry kTrunkOutputTime[] = {
    {"遥控尾箱输出两次", 1},
    {"遥控尾箱长按输出", 2},
    {"0.3秒", 3},
    {"0.5秒", 5},
    {"1秒", 10},
    {"2秒", 20},
    {"5秒", 50},
};
constexpr OptionEntry kLockUnlockTime[] = {
    {"0.1秒", 1}, {"0.2秒", 2}, {"0.3秒", 3}, {"0.5秒", 5}, {"1秒", 10}, {"2秒", 20},
};
constexpr OptionEntry kHornOutputTime[] = {
    {"0.015秒", 15}, {"0.025秒", 25}, {"0.035秒", 35}, {"0.05秒", 50}, {"0.1秒", 100},
};
// The byte is the index itself.
constexpr OptionEntry kDoorHandleType[] = {
    {"四线拉手", 0},     {"按钮拉手", 1},     {"丰田新款两线拉手", 2},
    {"大众两线拉手", 3}, {"奥迪两线拉手", 4},
};

// The field name is spelt once, so the JSON key cannot drift from the member.
#define VORNAK_FLAG(name, id, caption, block, byte, bit)                                           \
    {                                                                                              \
#name, id, caption, block, byte, bit, OptionKind::Flag, &DeviceSettings::name, nullptr, {} \
    }
#define VORNAK_SELECTION(name, id, caption, block, byte, bit, kind, list) \
    { #name, id, caption, block, byte, bit, kind, nullptr, &DeviceSettings::name, list }

constexpr OptionKind kBit = OptionKind::BitSelection;
constexpr OptionKind kCoded = OptionKind::CodedSelection;
constexpr OptionKind kIndex = OptionKind::IndexSelection;

constexpr std::array<OptionInfo, kOptionCount> kOptions = {{
    // Block 1.
    VORNAK_FLAG(activePke, 1079, "主动PKE", 1, 0, 0),
    VORNAK_FLAG(autoWindowUpOnLock, 1035, "锁车自动升窗", 1, 0, 2),
    VORNAK_FLAG(holdLockWindowUp, 1036, "长按锁车升窗", 1, 0, 3),
    VORNAK_FLAG(holdUnlockWindowDown, 1044, "长按开锁降窗", 1, 0, 4),
    VORNAK_FLAG(lockHornChirp, 1037, "锁车喇叭反馈音", 1, 0, 5),
    VORNAK_FLAG(findCarSound, 1038, "寻车声音反馈", 1, 0, 6),
    VORNAK_FLAG(findCarLight, 1043, "寻车灯光反馈", 1, 0, 7),
    VORNAK_FLAG(lockInDrive, 1041, "D档落锁", 1, 1, 0),
    VORNAK_FLAG(unlockInPark, 1039, "P档解锁", 1, 1, 1),
    VORNAK_FLAG(unlockHornChirp, 1091, "开锁喇叭反馈音", 1, 1, 2),
    VORNAK_FLAG(handleAutoLockKeyAway, 1090, "装拉手钥匙拿开自动锁车", 1, 1, 3),
    VORNAK_FLAG(manualGearboxMode, 1042, "手动挡模式", 1, 1, 4),
    VORNAK_FLAG(doorOpenHazardFlash, 1045, "开门双闪", 1, 1, 5),
    VORNAK_SELECTION(lockWireOutput, 1062, "中控线输出方式", 1, 1, 6, kBit, kLockWireOutput),
    VORNAK_FLAG(bypassPowerCut, 1047, "回避器电源断电", 1, 2, 0),
    VORNAK_FLAG(manualGearboxReserve, 1040, "手动挡预约", 1, 2, 1),
    VORNAK_FLAG(doorAjarAlarm, 1072, "未关门报警", 1, 2, 2),
    VORNAK_FLAG(doorAjarNoLock, 1076, "未关门无锁车动作", 1, 2, 3),
    VORNAK_FLAG(intrusionAlarm, 1077, "非法进入报警", 1, 2, 4),
    VORNAK_FLAG(factoryStartButton, 1078, "使用原厂启动按钮", 1, 2, 5),
    VORNAK_FLAG(phoneUnlockDisablesPke, 1082, "手机解锁禁用PKE", 1, 2, 6),
    VORNAK_SELECTION(doorAjarHornCount, 1083, "未关门喇叭次数", 1, 2, 7, kBit, kDoorAjarHornCount),
    VORNAK_FLAG(accOffWhileCranking, 1085, "启动时ACC断电", 1, 3, 0),
    VORNAK_FLAG(firstPressOnly, 1086, "开关锁第一次有效", 1, 3, 1),
    VORNAK_FLAG(unlockTwice, 1089, "开锁执行两次", 1, 3, 2),
    VORNAK_FLAG(brakeStopsRemoteStart, 1087, "远程启动踩刹车熄火", 1, 3, 3),
    VORNAK_FLAG(checkVoltageAtStart, 1088, "启动时检测电压", 1, 3, 4),
    VORNAK_FLAG(keyLeftInsideAlarm, 1092, "拉手锁车钥匙遗留车内报警", 1, 3, 5),
    VORNAK_SELECTION(hazardSwitchMode, 1093, "应急灯输出模式", 1, 3, 6, kBit, kHazardSwitchMode),
    VORNAK_FLAG(busIgnoreLockState, 1094, "总线不检测锁状态", 1, 3, 7),
    VORNAK_SELECTION(keySenseWireMode, 1063, "钥匙检测线方式", 1, 7, kWholeByte, kCoded,
                     kKeySenseWireMode),
    VORNAK_SELECTION(remoteWarmUpTime, 1084, "远程启动ON热车时间", 1, 8, kWholeByte, kCoded,
                     kRemoteWarmUpTime),
    // Block 2: note unlock (byte 8) before lock (byte 9), and 1075 before 1074.
    VORNAK_SELECTION(crankTime, 1071, "启动点火时间", 2, 0, kWholeByte, kCoded, kCrankTime),
    VORNAK_SELECTION(remoteCrankTime1, 1073, "远程启动第一次点火时间", 2, 1, kWholeByte, kCoded,
                     kRemoteCrankTime),
    VORNAK_SELECTION(remoteCrankTime2, 1075, "远程启动第二次点火时间", 2, 2, kWholeByte, kCoded,
                     kRemoteCrankTime),
    VORNAK_SELECTION(remoteCrankTime3, 1074, "远程启动第三次点火时间", 2, 3, kWholeByte, kCoded,
                     kRemoteCrankTime),
    VORNAK_SELECTION(windowUpTime, 1065, "升窗输出时间", 2, 4, kWholeByte, kCoded, kWindowTime),
    VORNAK_SELECTION(windowDownTime, 1066, "降窗输出时间", 2, 5, kWholeByte, kCoded, kWindowTime),
    VORNAK_SELECTION(trunkOutputTime, 1069, "尾箱输出时间", 2, 7, kWholeByte, kCoded,
                     kTrunkOutputTime),
    VORNAK_SELECTION(unlockOutputTime, 1068, "开锁输出时间", 2, 8, kWholeByte, kCoded,
                     kLockUnlockTime),
    VORNAK_SELECTION(lockOutputTime, 1067, "锁车输出时间", 2, 9, kWholeByte, kCoded,
                     kLockUnlockTime),
    VORNAK_SELECTION(doorHandleType, 1064, "门把手类型", 2, 10, kWholeByte, kIndex,
                     kDoorHandleType),
    VORNAK_SELECTION(hornOutputTime, 1070, "喇叭输出时间", 2, 11, kWholeByte, kCoded,
                     kHornOutputTime),
    // Block 3.
    VORNAK_FLAG(remoteAntiTheftStop, 1095, "远程启动防盗熄火", 3, 0, 0),
    VORNAK_FLAG(ownKeyAfterRemoteStart, 1096, "远程启动后使用原车钥匙", 3, 0, 1),
    VORNAK_FLAG(unlockBeforeRemoteStart, 1098, "远程启动前先解锁", 3, 0, 2),
    VORNAK_FLAG(busIgnoreDoorState, 1099, "总线不检测门状态", 3, 0, 3),
    VORNAK_FLAG(remoteBrakeOutputPositive, 1097, "远程启动刹车输出正电", 3, 0, 4),
    VORNAK_FLAG(doorOpenBypassPowerCut, 1100, "开门回避器断电", 3, 0, 5),
    VORNAK_FLAG(delayedWindowUpOnLock, 1101, "锁车延时升窗", 3, 0, 6),
}};

#undef VORNAK_FLAG
#undef VORNAK_SELECTION

// Mistakes in the table are caught by the compiler rather than by a box.
consteval bool TableIsConsistent() {
    int flags = 0;
    for (std::size_t i = 0; i < kOptions.size(); ++i) {
        const OptionInfo& a = kOptions[i];
        const bool byteWide = a.bit == kWholeByte;
        const bool wantsWholeByte =
            a.kind == OptionKind::CodedSelection || a.kind == OptionKind::IndexSelection;
        if (byteWide != wantsWholeByte)
            return false;
        if (a.IsFlag()) {
            ++flags;
            if (a.flag == nullptr || a.selection != nullptr || !a.entries.empty())
                return false;
        } else {
            if (a.flag != nullptr || a.selection == nullptr || a.entries.empty())
                return false;
            if (a.kind == OptionKind::BitSelection && a.entries.size() != 2)
                return false;
            for (std::size_t e = 0; e < a.entries.size(); ++e) {
                const int code = a.entries[e].code;
                if (code != kNoCode && (code < 0 || code > 0xFF))
                    return false;
                if (a.kind != OptionKind::CodedSelection && code != static_cast<int>(e)) {
                    return false;
                }
            }
        }
        for (std::size_t j = i + 1; j < kOptions.size(); ++j) {
            const OptionInfo& b = kOptions[j];
            if (a.controlId == b.controlId || a.field == b.field)
                return false;
            const bool sameByte = a.block == b.block && a.byte == b.byte;
            if (sameByte && (a.bit == b.bit || a.bit == kWholeByte || b.bit == kWholeByte)) {
                return false;
            }
        }
    }
    for (std::size_t i = 0; i < kComboFillOrder.size(); ++i) {
        int rows = 0;
        for (const OptionInfo& o : kOptions) {
            if (o.controlId == kComboFillOrder[i] && !o.IsFlag())
                ++rows;
        }
        if (rows != 1)
            return false;
        for (std::size_t j = i + 1; j < kComboFillOrder.size(); ++j) {
            if (kComboFillOrder[i] == kComboFillOrder[j])
                return false;
        }
    }
    return flags == kFlagCount;
}
static_assert(TableIsConsistent());

}  // namespace

std::span<const OptionInfo> Options() {
    return kOptions;
}

const OptionInfo* FindOptionByControl(int controlId) {
    auto it = std::find_if(kOptions.begin(), kOptions.end(),
                           [controlId](const OptionInfo& o) { return o.controlId == controlId; });
    return it == kOptions.end() ? nullptr : &*it;
}

const OptionInfo* FindOptionByField(std::string_view field) {
    auto it = std::find_if(kOptions.begin(), kOptions.end(),
                           [field](const OptionInfo& o) { return o.field == field; });
    return it == kOptions.end() ? nullptr : &*it;
}

const OptionEntry* SelectedEntry(const OptionInfo& option, const Selection& selection) {
    if (option.IsFlag() || !selection)
        return nullptr;
    const int index = *selection;
    if (index < 0 || index >= static_cast<int>(option.entries.size()))
        return nullptr;
    return &option.entries[index];
}
