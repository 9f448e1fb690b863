#include "layouts/transfer_packets.h"

#include <openssl/evp.h>

#include <algorithm>
#include <memory>

#include "link/frame_codec.h"

namespace {
// Address space of the box's 32-bit target addresses.
constexpr std::uint64_t kAddressSpace = std::uint64_t{1} << 32;

struct DigestContextFree {
    void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
};

std::vector<std::uint8_t> PacketWithData(const std::uint8_t* bytes, std::uint32_t n) {
    std::vector<std::uint8_t> packet(kTransferPacketHead + n);
    if (n != 0)
        std::copy(bytes, bytes + n, packet.begin() + kTransferPacketHead);
    WriteBigEndian16(packet.data() + 4, static_cast<std::uint16_t>(n));
    return packet;
}
}  // namespace

std::uint32_t LoadAddressForIndex(int index) {
    return static_cast<std::uint32_t>(index + 1) * kLoadSlotStride;
}

std::uint32_t UpgradeHeaderLength(std::span<const std::uint8_t> image) {
    const bool shortHeader = image.size() >= 2 && image[0] == kShortHeaderSignature[0] &&
                             image[1] == kShortHeaderSignature[1];
    return shortHeader ? kShortHeaderLength : kLongHeaderLength;
}

std::uint32_t NextChunkLength(std::uint32_t offset, std::uint32_t total) {
    // 64-bit sum: near the top of the 32-bit range offset + chunk would wrap.
    if (std::uint64_t{offset} + kTransferChunk < total)
        return kTransferChunk;
    return total - offset;
}

std::vector<std::uint8_t> BuildUpgradeDataPacket(std::uint32_t dataOffset,
                                                 const std::uint8_t* bytes, std::uint32_t n) {
    std::vector<std::uint8_t> packet = PacketWithData(bytes, n);
    WriteBigEndian32(packet.data(), dataOffset);
    return packet;
}

std::vector<std::uint8_t> BuildDownloadPacket(std::uint32_t address, const std::uint8_t* bytes,
                                              std::uint32_t n) {
    std::vector<std::uint8_t> packet = PacketWithData(bytes, n);
    WriteLittleEndian32(packet.data(), address);
    return packet;
}

std::array<std::uint8_t, kInfoBlockPacketSize> BuildInfoBlock(std::uint32_t loadAddress,
                                                              std::uint32_t fileLength,
                                                              const Sha1Digest& digest) {
    std::array<std::uint8_t, kInfoBlockPacketSize> block{};
    WriteLittleEndian32(block.data(), loadAddress);
    WriteBigEndian16(block.data() + 4, static_cast<std::uint16_t>(kTransferChunk));
    WriteLittleEndian32(block.data() + kTransferPacketHead, fileLength);
    std::copy(digest.begin(), digest.end(), block.begin() + kTransferPacketHead + 4);
    return block;
}

std::array<std::uint8_t, kJumpRequestSize> BuildJumpRequest(std::uint32_t address) {
    std::array<std::uint8_t, kJumpRequestSize> request{};
    WriteLittleEndian32(request.data(), address);
    return request;
}

bool DownloadFitsAddressSpace(std::uint32_t loadAddress, std::uint32_t fileLength) {
    return std::uint64_t{loadAddress} + kFileDataOffset + fileLength <= kAddressSpace;
}

bool ComputeSha1(const std::uint8_t* bytes, std::size_t count, Sha1Digest& digest) {
    std::unique_ptr<EVP_MD_CTX, DigestContextFree> ctx(EVP_MD_CTX_new());
    if (!ctx)
        return false;
    Sha1Digest out{};
    unsigned int outLength = 0;
    if (EVP_DigestInit_ex(ctx.get(), EVP_sha1(), nullptr) != 1 ||
        EVP_DigestUpdate(ctx.get(), bytes, count) != 1 ||
        EVP_DigestFinal_ex(ctx.get(), out.data(), &outLength) != 1 || outLength != kSha1Length) {
        return false;
    }
    digest = out;
    return true;
}
