#pragma once
// DeviceSettings: the box's 50 configuration options as the tool holds them.
//
// Flags are on/off; selections are the index of an entry of the option's list
// (device/option_table.h), or none (std::nullopt) when no entry is selected.
// A fresh record has every flag off and every selection none, as the settings
// panel's controls are before anything has been read. The option table names
// each member and says where it lives in the configuration blocks; code that
// works on all options iterates over that table instead of naming members.

#include <optional>

using Selection = std::optional<int>;

struct DeviceSettings {
    // Block 1, bytes 0 to 3 and 7 to 8.
    bool activePke = false;
    bool autoWindowUpOnLock = false;
    bool holdLockWindowUp = false;
    bool holdUnlockWindowDown = false;
    bool lockHornChirp = false;
    bool findCarSound = false;
    bool findCarLight = false;
    bool lockInDrive = false;
    bool unlockInPark = false;
    bool unlockHornChirp = false;
    bool handleAutoLockKeyAway = false;
    bool manualGearboxMode = false;
    bool doorOpenHazardFlash = false;
    Selection lockWireOutput;
    bool bypassPowerCut = false;
    bool manualGearboxReserve = false;
    bool doorAjarAlarm = false;
    bool doorAjarNoLock = false;
    bool intrusionAlarm = false;
    bool factoryStartButton = false;
    bool phoneUnlockDisablesPke = false;
    Selection doorAjarHornCount;
    bool accOffWhileCranking = false;
    bool firstPressOnly = false;
    bool unlockTwice = false;
    bool brakeStopsRemoteStart = false;
    bool checkVoltageAtStart = false;
    bool keyLeftInsideAlarm = false;
    Selection hazardSwitchMode;
    bool busIgnoreLockState = false;
    Selection keySenseWireMode;
    Selection remoteWarmUpTime;

    // Block 2, one byte each.
    Selection crankTime;
    Selection remoteCrankTime1;
    Selection remoteCrankTime2;
    Selection remoteCrankTime3;
    Selection windowUpTime;
    Selection windowDownTime;
    Selection trunkOutputTime;
    Selection unlockOutputTime;
    Selection lockOutputTime;
    Selection doorHandleType;
    Selection hornOutputTime;

    // Block 3, byte 0.
    bool remoteAntiTheftStop = false;
    bool ownKeyAfterRemoteStart = false;
    bool unlockBeforeRemoteStart = false;
    bool busIgnoreDoorState = false;
    bool remoteBrakeOutputPositive = false;
    bool doorOpenBypassPowerCut = false;
    bool delayedWindowUpOnLock = false;

    bool operator==(const DeviceSettings&) const = default;
};

// True when every selection of the record holds an entry of its list; a
// record with a selection that is none cannot be written without inventing
// a value for it.
bool AllSelectionsSet(const DeviceSettings& settings);

// The box's factory configuration, what a factory reset restores: every flag
// off and every selection at the first entry of its list.
DeviceSettings FactorySettings();
