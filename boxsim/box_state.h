#pragma once
// The simulated box's memory and what it does with one request, free of any
// input/output. Not thread-safe: CBoxSimulator calls it under its lock.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "boxsim/box_simulator.h"

constexpr int kConfigBlockCount = 3;
constexpr std::size_t kConfigBlockSizes[kConfigBlockCount] = {16, 20, 16};

// Bytes ahead of the data in identity and configuration replies. Not zero, so
// that a reader that starts at the wrong offset shows garbage.
constexpr std::uint8_t kReplyFillerHi = 0x5A;
constexpr std::uint8_t kReplyFillerLo = 0xA5;

struct BoxState {
    BoxState();

    std::string version;
    std::vector<std::uint8_t> serial;
    std::array<std::vector<std::uint8_t>, kConfigBlockCount> blocks;
    std::array<std::vector<std::uint8_t>, kConfigBlockCount> factoryDefaults;

    std::vector<std::uint8_t> upgradeHeader;
    bool headerReceived = false;
    std::vector<std::uint8_t> upgradeData;
    int commitCount = 0;
    // The version the box reports once the restart after a commit is over.
    std::string versionAfterRestart;

    std::optional<SimStoreFault> storeFault;

    std::array<SimLoadSlot, kSimSlotCount> slots;
    std::optional<std::uint32_t> lastJumpAddress;
};

struct BoxAnswer {
    std::vector<std::uint8_t> payload;  // result word, then reply data
    bool restart = false;               // a commit was accepted
};

BoxAnswer AnswerRequest(BoxState& state, const SimRequest& request);

// The load address of slot i.
constexpr std::uint32_t SlotLoadAddress(int i) {
    return static_cast<std::uint32_t>(i + 1) * kSimSlotStride;
}
