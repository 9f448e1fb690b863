#pragma once
// A firmware update's pauses shrunk for tests against a simulator that
// restarts in milliseconds; the first-byte wait after the restart stays long
// enough for a loaded machine.

#include "ops/upgrade_timing.h"

inline UpgradeTiming QuickUpgradeTiming() {
    UpgradeTiming t;
    t.prepareSettleMs = 1;
    t.restartSettleMs = 1;
    t.versionPauseMs = 1;
    t.serialPauseMs = 1;
    t.factoryResetPauseMs = 1;
    t.restartFirstByteMs = 2000;
    return t;
}
