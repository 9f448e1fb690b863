#pragma once
// The block codec: a DeviceSettings encoded into the request data of the three
// configuration writes, and the reply data of the three reads applied to one.
//
// Pure functions, driven by the option table. Encoding starts from each
// block's fixed values (what positions without an option always carry) and
// never echoes what was read there. Decoding applies only the fields whose
// bytes arrived: block byte k is reply data byte 3 + k, and it is looked at
// only when it lies inside both the reply length and the part of the reply the
// link copies into a caller's buffer (REPLY_LIMIT bytes). The three leading
// reply bytes are never looked at.

#include <array>
#include <cstddef>
#include <cstdint>

#include "layouts/device_settings.h"

constexpr std::size_t kConfigBlock1Size = 16;
constexpr std::size_t kConfigBlock2Size = 20;
constexpr std::size_t kConfigBlock3Size = 16;
// Reply data bytes ahead of the block in a read reply; their meaning is the box's.
constexpr std::size_t kConfigReplyLeadBytes = 3;

std::array<std::uint8_t, kConfigBlock1Size> EncodeConfigBlock1(const DeviceSettings& settings);
std::array<std::uint8_t, kConfigBlock2Size> EncodeConfigBlock2(const DeviceSettings& settings);
std::array<std::uint8_t, kConfigBlock3Size> EncodeConfigBlock3(const DeviceSettings& settings);

// `replyData` is the reply data after the result word, `replyLength` bytes of
// it (the link's reply length). Fields whose bytes did not arrive, coded bytes
// that match no entry and every field of other blocks keep their values.
void DecodeConfigBlock1(const std::uint8_t* replyData, std::uint32_t replyLength,
                        DeviceSettings& settings);
void DecodeConfigBlock2(const std::uint8_t* replyData, std::uint32_t replyLength,
                        DeviceSettings& settings);
void DecodeConfigBlock3(const std::uint8_t* replyData, std::uint32_t replyLength,
                        DeviceSettings& settings);

// Block number (1..3) given: the same operations, for code that loops over blocks.
std::size_t ConfigBlockSize(int block);
void DecodeConfigBlock(int block, const std::uint8_t* replyData, std::uint32_t replyLength,
                       DeviceSettings& settings);
