#pragma once
// The line's waits that a port and the device link are constructed with. The
// product uses the defaults; a test gives shorter ones so that a missing byte
// costs milliseconds.

#include <cstdint>

// A box sends a frame in one go, so a longer gap between two of its bytes
// means the frame is lost.
constexpr std::uint32_t kInterByteTimeoutMs = 3000;

struct LinkTiming {
    // The wait for every byte of a read after its first.
    std::uint32_t interByteTimeoutMs = kInterByteTimeoutMs;
};
