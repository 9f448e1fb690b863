// Configuration read replies of any length and content: decoding never reads
// past the reply, and the bytes a decoded record encodes to are a fixed point
// (reading back what was written and writing it again changes no byte).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "layouts/settings_codec.h"

namespace {
std::vector<std::uint8_t> EncodeAsReply(int block, const DeviceSettings& settings) {
    std::vector<std::uint8_t> reply(kConfigReplyLeadBytes, 0);
    auto append = [&](const auto& bytes) { reply.insert(reply.end(), bytes.begin(), bytes.end()); };
    if (block == 1)
        append(EncodeConfigBlock1(settings));
    if (block == 2)
        append(EncodeConfigBlock2(settings));
    if (block == 3)
        append(EncodeConfigBlock3(settings));
    return reply;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const int block = 1 + data[0] % 3;
    // A copy of exactly the reply's bytes, so that a read past them is caught.
    const std::vector<std::uint8_t> reply(data + 1, data + size);
    DeviceSettings decoded;
    DecodeConfigBlock(block, reply.data(), static_cast<std::uint32_t>(reply.size()), decoded);

    const std::vector<std::uint8_t> written = EncodeAsReply(block, decoded);
    DeviceSettings readBack = decoded;
    DecodeConfigBlock(block, written.data(), static_cast<std::uint32_t>(written.size()), readBack);
    if (EncodeAsReply(block, readBack) != written)
        std::abort();
    return 0;
}
