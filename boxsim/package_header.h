#pragma once
// Firmware package header as the simulated box reads it. A package opens with
// a 32-byte header when its first two bytes are 0xC9 0x49, else with a
// 128-byte one. The sample packages put the new version text, zero padded, in
// bytes 2..31 of a short header; the box reports it after its restart.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

constexpr std::uint8_t kPackageMagic0 = 0xC9;
constexpr std::uint8_t kPackageMagic1 = 0x49;  // 'I'
constexpr std::size_t kShortPackageHeader = 32;
constexpr std::size_t kLongPackageHeader = 128;
constexpr std::size_t kPackageVersionOffset = 2;
constexpr std::size_t kPackageVersionMax = kShortPackageHeader - kPackageVersionOffset;

// The version text a short header names, or nothing when the header is of
// another kind or names none.
std::optional<std::string> PackageHeaderVersion(const std::vector<std::uint8_t>& header);

// Byte i of a sample package's firmware data. Not periodic at the 256-byte
// packet size, so a packet put at the wrong offset shows.
std::uint8_t SamplePackageDataByte(std::size_t i);
