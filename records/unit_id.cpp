#include "records/unit_id.h"

#include <sys/random.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <random>

std::string NewUnitId() {
    std::array<std::uint8_t, 16> bytes{};
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t n = getrandom(bytes.data() + filled, bytes.size() - filled, 0);
        if (n <= 0)
            break;
        filled += static_cast<std::size_t>(n);
    }
    // getrandom() only fails before the kernel's pool is ready at boot.
    if (filled < bytes.size()) {
        std::random_device device;
        for (std::uint8_t& byte : bytes) {
            byte = static_cast<std::uint8_t>(device());
        }
    }
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    char text[37];
    std::snprintf(text, sizeof text,
                  "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", bytes[0],
                  bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8],
                  bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
    return text;
}
