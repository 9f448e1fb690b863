// Release bundles of any content, read from a scratch file with the one
// bundle reader: it either refuses with a message naming the file first, or
// accepts a bundle whose manifest lists the recipe and whose recipe's files
// lie in the unpacked folder; either way the unpacked folder is gone after.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "station/release/release_bundle.h"

namespace {

// The scratch folder, made once, and TMPDIR below it: whatever the reader
// unpacks goes there and must be gone after each input.
std::string ScratchFolder() {
    char dir[] = "/tmp/vornak-fuzz-bundle.XXXXXX";
    if (mkdtemp(dir) == nullptr)
        std::abort();
    const std::string folder = dir;
    std::error_code ec;
    if (!std::filesystem::create_directory(folder + "/tmp", ec))
        std::abort();
    setenv("TMPDIR", (folder + "/tmp").c_str(), 1);
    return folder;
}

void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0)
        std::abort();
}

bool Below(const std::string& path, const std::string& folder) {
    return path.rfind(folder + "/", 0) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string folder = ScratchFolder();
    static const std::string path = folder + "/bundle.vbundle";
    WriteFile(path, data, size);

    std::string error;
    {
        const auto bundle = OpenBundle(path, BundleChecks{}, error);
        if (bundle) {
            const Recipe& r = bundle->GetRecipe();
            const std::string unpacked = std::filesystem::path(r.path).parent_path().parent_path();
            if (!Below(unpacked, folder + "/tmp") || r.variant != bundle->Manifest().variant)
                std::abort();
            for (const RecipeDownload& d : r.downloads) {
                if (!Below(d.file, unpacked))
                    std::abort();
            }
            if (r.firmware && !Below(r.firmware->package, unpacked))
                std::abort();
        } else if (error.rfind(path, 0) != 0) {
            std::abort();  // every refusal names the file first
        }
    }
    if (!std::filesystem::is_empty(folder + "/tmp"))
        std::abort();
    return 0;
}
