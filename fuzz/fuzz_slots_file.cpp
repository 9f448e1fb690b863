// Slots files of any content: the reader either refuses with a message naming
// the file or gives slots that pass the slots' own checks.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "station/config/slots_file.h"

namespace {

std::string ScratchFile() {
    char dir[] = "/tmp/vornak-fuzz-slots.XXXXXX";
    if (mkdtemp(dir) == nullptr)
        std::abort();
    return std::string(dir) + "/slots.toml";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = ScratchFile();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0)
        std::abort();

    std::vector<StationSlot> slots;
    std::string error;
    if (LoadSlotsFile(path, slots, error)) {
        std::string again;
        if (!CheckSlots(slots, again))
            std::abort();
    } else if (error.rfind(path, 0) != 0) {
        std::abort();  // every refusal names the file first
    }
    return 0;
}
