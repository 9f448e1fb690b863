// The frame reader on any byte stream, fed both ways the tool feeds it: one
// byte at a time (the simulator) and a part at a time as the link reads the
// port (start byte, length field, rest). Both ways must find the same frames
// with the same payloads, a payload never exceeds the reader's limit, and a
// frame found re-encodes to the bytes it was read from.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "link/frame_codec.h"

namespace {

// A small limit too, so that the refusal of long frames is reached often.
constexpr std::size_t kSmallLimit = 16;

struct Found {
    CFrameAssembler::Result result;
    std::vector<std::uint8_t> payload;
    bool operator==(const Found&) const = default;
};

bool Reported(CFrameAssembler::Result r) {
    return r == CFrameAssembler::Result::Frame || r == CFrameAssembler::Result::BadChecksum;
}

std::vector<Found> ByteByByte(const std::uint8_t* data, std::size_t size, std::size_t limit) {
    CFrameAssembler reader(kReplyStart, limit);
    std::vector<Found> found;
    for (std::size_t i = 0; i < size; ++i) {
        const CFrameAssembler::Result r = reader.Feed(data[i]);
        if (Reported(r)) {
            const auto payload = reader.Payload();
            found.push_back({r, {payload.begin(), payload.end()}});
        }
    }
    return found;
}

std::vector<Found> PartByPart(const std::uint8_t* data, std::size_t size, std::size_t limit) {
    CFrameAssembler reader(kReplyStart, limit);
    std::vector<Found> found;
    std::size_t i = 0;
    while (i < size) {
        const std::size_t n = std::min(reader.Wanted(), size - i);
        if (n == 0) std::abort();
        std::copy(data + i, data + i + n, reader.Room());
        i += n;
        const CFrameAssembler::Result r = reader.Take(n);
        if (Reported(r)) {
            const auto payload = reader.Payload();
            found.push_back({r, {payload.begin(), payload.end()}});
        }
    }
    return found;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (const std::size_t limit : {kSmallLimit, kMaxReplyPayload}) {
        const std::vector<Found> one = ByteByByte(data, size, limit);
        if (PartByPart(data, size, limit) != one) std::abort();
        for (const Found& f : one) {
            if (f.payload.size() > limit) std::abort();
            if (f.result != CFrameAssembler::Result::Frame) continue;
            std::vector<std::uint8_t> frame;
            if (!BuildFrame(kReplyStart, f.payload.data(), f.payload.size(), frame)) std::abort();
            // The checksum matched, so the frame rebuilt from its payload is
            // byte for byte a run of the input.
            const auto at = std::search(data, data + size, frame.begin(), frame.end());
            if (at == data + size) std::abort();
        }
    }
    return 0;
}
