#pragma once
// Helpers shared by the link tests: a private port folder, a bare
// pseudo-terminal that plays a silent or scripted device (both from
// tests/support), descriptor counting for leak checks, elapsed time, time
// limits for the build at hand, and the scan's probe frame.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "tests/support/temp_port_dir.h"
#include "tests/support/test_pty.h"

inline int CountOpenFds() {
    int count = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

// Sanitizer builds run several times slower (the build sets the factor): a
// limit that stands for "the machine is quick enough" stretches by it. A limit
// that tells one of the product's waits from no wait stays below that wait.
constexpr int kTimeScale = VORNAK_TEST_TIME_SCALE;
constexpr long long Scaled(long long ms) {
    return ms * kTimeScale;
}

inline long long ElapsedMs(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 since)
        .count();
}

// The request frame the port scan writes to every port it opens.
inline const std::vector<std::uint8_t> kProbeFrame = {0x3E, 0x00, 0x04, 0x1A, 0x9B,
                                                      0x00, 0x01, 0xFF, 0x49};
