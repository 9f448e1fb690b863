#pragma once
// The firmware update's pauses and waits, in milliseconds. The product uses
// the defaults; tests and benchmarks construct shorter ones to match a
// simulated box that restarts at once.

#include <cstdint>

#include "link/command_codes.h"

// The box switches to its loader after the prepare requests.
constexpr std::uint32_t kPrepareSettleMs = 1500;
// The box applies the new image and restarts into it after the commit.
constexpr std::uint32_t kRestartSettleMs = 9000;
// The box settles before the version that is shown is read.
constexpr std::uint32_t kVersionPauseMs = 500;
// The box settles between the version and the serial-number request.
constexpr std::uint32_t kSerialPauseMs = 500;
// The box settles before it restores its factory settings.
constexpr std::uint32_t kFactoryResetPauseMs = 500;
// First-byte wait of the version requests after the commit: the box stays
// silent while it writes the new firmware and restarts.
constexpr std::uint32_t kRestartFirstByteMs = TIMEOUT_RESTART_MS;

struct UpgradeTiming {
    std::uint32_t prepareSettleMs = kPrepareSettleMs;
    std::uint32_t restartSettleMs = kRestartSettleMs;
    std::uint32_t versionPauseMs = kVersionPauseMs;
    std::uint32_t serialPauseMs = kSerialPauseMs;
    std::uint32_t factoryResetPauseMs = kFactoryResetPauseMs;
    std::uint32_t restartFirstByteMs = kRestartFirstByteMs;

    // Sum of the fixed pauses (what a run takes beyond its exchanges).
    std::uint32_t TotalPausesMs() const {
        return prepareSettleMs + restartSettleMs + versionPauseMs + serialPauseMs +
               factoryResetPauseMs;
    }
};
