#pragma once
// Reply data turned into display text (UTF-8).

#include <cstddef>
#include <cstdint>
#include <string>

// 8-bit text in the locale's character set, converted with iconv. The text
// ends at the first zero byte or after `count` bytes. Bytes that are not valid
// in that character set show as U+FFFD rather than being dropped.
std::string BytesToText(const std::uint8_t* bytes, std::size_t count);

// Two upper-case hexadecimal digits per byte, no separators.
std::string BytesToHex(const std::uint8_t* bytes, std::size_t count);
