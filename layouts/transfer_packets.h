#pragma once
// Byte layouts of the transfer requests, as pure functions of their inputs.
//
// Two families share the shape "where, how much, the bytes": the firmware
// update packet (data offset big-endian) and the download packet (target
// address little-endian); both carry their length big-endian. The download's
// first packet is the information block with the file's length and SHA-1.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// The box's six load slots: where the file download puts a binary and where
// the jump starts it, one stride apart from the first stride on.
constexpr int kLoadSlotCount = 6;
constexpr std::uint32_t kLoadSlotStride = 0x1E000;

// (index + 1) * kLoadSlotStride; index -1 (nothing selected) gives 0.
std::uint32_t LoadAddressForIndex(int index);

// Most data bytes one transfer packet carries.
constexpr std::uint32_t kTransferChunk = 256;
// Where and how much, ahead of the data of every transfer packet.
constexpr std::size_t kTransferPacketHead = 6;

// Package header: 32 bytes when the image opens with this signature, else 128.
constexpr std::uint8_t kShortHeaderSignature[2] = {0xC9, 0x49};
constexpr std::uint32_t kShortHeaderLength = 32;
constexpr std::uint32_t kLongHeaderLength = 128;

constexpr std::size_t kSha1Length = 20;
using Sha1Digest = std::array<std::uint8_t, kSha1Length>;

// Information block: 256 bytes of content after the packet head.
constexpr std::size_t kInfoBlockPacketSize = kTransferPacketHead + kTransferChunk;
// Files land this far after the load address, behind the information block.
constexpr std::uint32_t kFileDataOffset = 256;

constexpr std::size_t kJumpRequestSize = 10;

// Length of the package header for an image (the first two bytes decide).
std::uint32_t UpgradeHeaderLength(std::span<const std::uint8_t> image);

// Data bytes of the next packet: a full chunk while more than one chunk is
// left, else the rest (0 only when total is 0).
std::uint32_t NextChunkLength(std::uint32_t offset, std::uint32_t total);

// Firmware data packet: offset BE32, n BE16, n bytes.
std::vector<std::uint8_t> BuildUpgradeDataPacket(std::uint32_t dataOffset,
                                                 const std::uint8_t* bytes, std::uint32_t n);

// Download packet: address LE32, n BE16, n bytes.
std::vector<std::uint8_t> BuildDownloadPacket(std::uint32_t address, const std::uint8_t* bytes,
                                              std::uint32_t n);

// Information block at the load address: address LE32, 01 00, file length
// LE32, the digest, zeros to 262 bytes.
std::array<std::uint8_t, kInfoBlockPacketSize> BuildInfoBlock(std::uint32_t loadAddress,
                                                              std::uint32_t fileLength,
                                                              const Sha1Digest& digest);

// Jump request: address LE32 and six zeros.
std::array<std::uint8_t, kJumpRequestSize> BuildJumpRequest(std::uint32_t address);

// Whether a download of `fileLength` bytes at `loadAddress` keeps every packet's
// 32-bit target address from wrapping around.
bool DownloadFitsAddressSpace(std::uint32_t loadAddress, std::uint32_t fileLength);

// SHA-1 of the bytes through OpenSSL's streaming digest. False when the
// library fails; `digest` is then unchanged.
bool ComputeSha1(const std::uint8_t* bytes, std::size_t count, Sha1Digest& digest);
