// Package and download files of any content: read whole from disk, split into
// the update's header and data packets and the download's packets; every
// packet stays within the image and the packets cover it exactly.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "layouts/file_image.h"
#include "layouts/transfer_packets.h"

namespace {
std::string ScratchFile() {
    char path[] = "/tmp/vornak-fuzz-image.XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0)
        std::abort();
    close(fd);
    return path;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = ScratchFile();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0)
        std::abort();

    std::vector<std::uint8_t> image;
    if (ReadFileImage(path, image) != ImageLoad::Ok)
        std::abort();
    if (image.size() != size)
        std::abort();

    const std::uint32_t total = static_cast<std::uint32_t>(image.size());
    const std::uint32_t header = UpgradeHeaderLength(image);
    if (header > total)
        return 0;  // refused before anything is sent
    std::uint32_t offset = header;
    while (offset < total) {
        const std::uint32_t n = NextChunkLength(offset, total);
        if (n == 0 || n > kTransferChunk || offset + n > total)
            std::abort();
        const auto packet = BuildUpgradeDataPacket(offset - header, image.data() + offset, n);
        if (packet.size() != kTransferPacketHead + n)
            std::abort();
        offset += n;
    }
    Sha1Digest digest{};
    if (!ComputeSha1(image.data(), image.size(), digest))
        std::abort();
    return 0;
}
