#pragma once
// SHA-256 digests in lower-case hex, as recipes pin them and records store
// them.

#include <cstdint>
#include <string>
#include <vector>

std::string Sha256Hex(const std::uint8_t* bytes, std::size_t count);
inline std::string Sha256Hex(const std::string& text) {
    return Sha256Hex(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

// Whether `text` is 64 hexadecimal digits (either case).
bool IsSha256Hex(const std::string& text);
