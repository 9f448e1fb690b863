#include "layouts/option_table.h"

#include <algorithm>

#include "res/option_captions.h"

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
#define VORNAK_FLAG(name, id, block, byte, bit)                                                  \
    {                                                                                            \
#name, id, OptionCaption(id), block, byte, bit, OptionKind::Flag, &DeviceSettings::name, \
            nullptr, {}                                                                          \
    }
#define VORNAK_SELECTION(name, id, block, byte, bit, kind, list) \
    { #name, id, OptionCaption(id), block, byte, bit, kind, nullptr, &DeviceSettings::name, list }

constexpr OptionKind kBit = OptionKind::BitSelection;
constexpr OptionKind kCoded = OptionKind::CodedSelection;
constexpr OptionKind kIndex = OptionKind::IndexSelection;

constexpr std::array<OptionInfo, kOptionCount> kOptions = {{
    // Block 1.
    VORNAK_FLAG(activePke, 1079, 1, 0, 0),
    VORNAK_FLAG(autoWindowUpOnLock, 1035, 1, 0, 2),
    VORNAK_FLAG(holdLockWindowUp, 1036, 1, 0, 3),
    VORNAK_FLAG(holdUnlockWindowDown, 1044, 1, 0, 4),
    VORNAK_FLAG(lockHornChirp, 1037, 1, 0, 5),
    VORNAK_FLAG(findCarSound, 1038, 1, 0, 6),
    VORNAK_FLAG(findCarLight, 1043, 1, 0, 7),
    VORNAK_FLAG(lockInDrive, 1041, 1, 1, 0),
    VORNAK_FLAG(unlockInPark, 1039, 1, 1, 1),
    VORNAK_FLAG(unlockHornChirp, 1091, 1, 1, 2),
    VORNAK_FLAG(handleAutoLockKeyAway, 1090, 1, 1, 3),
    VORNAK_FLAG(manualGearboxMode, 1042, 1, 1, 4),
    VORNAK_FLAG(doorOpenHazardFlash, 1045, 1, 1, 5),
    VORNAK_SELECTION(lockWireOutput, 1062, 1, 1, 6, kBit, kLockWireOutput),
    VORNAK_FLAG(bypassPowerCut, 1047, 1, 2, 0),
    VORNAK_FLAG(manualGearboxReserve, 1040, 1, 2, 1),
    VORNAK_FLAG(doorAjarAlarm, 1072, 1, 2, 2),
    VORNAK_FLAG(doorAjarNoLock, 1076, 1, 2, 3),
    VORNAK_FLAG(intrusionAlarm, 1077, 1, 2, 4),
    VORNAK_FLAG(factoryStartButton, 1078, 1, 2, 5),
    VORNAK_FLAG(phoneUnlockDisablesPke, 1082, 1, 2, 6),
    VORNAK_SELECTION(doorAjarHornCount, 1083, 1, 2, 7, kBit, kDoorAjarHornCount),
    VORNAK_FLAG(accOffWhileCranking, 1085, 1, 3, 0),
    VORNAK_FLAG(firstPressOnly, 1086, 1, 3, 1),
    VORNAK_FLAG(unlockTwice, 1089, 1, 3, 2),
    VORNAK_FLAG(brakeStopsRemoteStart, 1087, 1, 3, 3),
    VORNAK_FLAG(checkVoltageAtStart, 1088, 1, 3, 4),
    VORNAK_FLAG(keyLeftInsideAlarm, 1092, 1, 3, 5),
    VORNAK_SELECTION(hazardSwitchMode, 1093, 1, 3, 6, kBit, kHazardSwitchMode),
    VORNAK_FLAG(busIgnoreLockState, 1094, 1, 3, 7),
    VORNAK_SELECTION(keySenseWireMode, 1063, 1, 7, kWholeByte, kCoded, kKeySenseWireMode),
    VORNAK_SELECTION(remoteWarmUpTime, 1084, 1, 8, kWholeByte, kCoded, kRemoteWarmUpTime),
    // Block 2: note unlock (byte 8) before lock (byte 9), and 1075 before 1074.
    VORNAK_SELECTION(crankTime, 1071, 2, 0, kWholeByte, kCoded, kCrankTime),
    VORNAK_SELECTION(remoteCrankTime1, 1073, 2, 1, kWholeByte, kCoded, kRemoteCrankTime),
    VORNAK_SELECTION(remoteCrankTime2, 1075, 2, 2, kWholeByte, kCoded, kRemoteCrankTime),
    VORNAK_SELECTION(remoteCrankTime3, 1074, 2, 3, kWholeByte, kCoded, kRemoteCrankTime),
    VORNAK_SELECTION(windowUpTime, 1065, 2, 4, kWholeByte, kCoded, kWindowTime),
    VORNAK_SELECTION(windowDownTime, 1066, 2, 5, kWholeByte, kCoded, kWindowTime),
    VORNAK_SELECTION(trunkOutputTime, 1069, 2, 7, kWholeByte, kCoded, kTrunkOutputTime),
    VORNAK_SELECTION(unlockOutputTime, 1068, 2, 8, kWholeByte, kCoded, kLockUnlockTime),
    VORNAK_SELECTION(lockOutputTime, 1067, 2, 9, kWholeByte, kCoded, kLockUnlockTime),
    VORNAK_SELECTION(doorHandleType, 1064, 2, 10, kWholeByte, kIndex, kDoorHandleType),
    VORNAK_SELECTION(hornOutputTime, 1070, 2, 11, kWholeByte, kCoded, kHornOutputTime),
    // Block 3.
    VORNAK_FLAG(remoteAntiTheftStop, 1095, 3, 0, 0),
    VORNAK_FLAG(ownKeyAfterRemoteStart, 1096, 3, 0, 1),
    VORNAK_FLAG(unlockBeforeRemoteStart, 1098, 3, 0, 2),
    VORNAK_FLAG(busIgnoreDoorState, 1099, 3, 0, 3),
    VORNAK_FLAG(remoteBrakeOutputPositive, 1097, 3, 0, 4),
    VORNAK_FLAG(doorOpenBypassPowerCut, 1100, 3, 0, 5),
    VORNAK_FLAG(delayedWindowUpOnLock, 1101, 3, 0, 6),
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
