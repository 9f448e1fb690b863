// Recipe files of any content, read from a scratch folder with a sample
// package and a download file beside them: the reader either refuses with a
// message naming the file or accepts a recipe that keeps its own promises
// (names present, options in table order and once each, slots in range, only
// the last download jumps, every named file read and hashed).
#include <stdlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "firmware/load_slots.h"
#include "layouts/option_table.h"
#include "station/config/recipe.h"

namespace {

// A package the firmware reader takes: C9 49 and the version in a 32-byte
// header, then some data.
constexpr std::size_t kPackageHeader = 32;
constexpr std::size_t kPackageData = 100;
constexpr std::size_t kDownloadSize = 50;
constexpr std::size_t kSha256HexDigits = 64;

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0)
        std::abort();
}

// The scratch folder, made once: files/fw.pkg and files/app.bin in it.
std::string ScratchFolder() {
    char dir[] = "/tmp/vornak-fuzz-recipe.XXXXXX";
    if (mkdtemp(dir) == nullptr)
        std::abort();
    const std::string folder = dir;
    std::error_code ec;
    if (!std::filesystem::create_directory(folder + "/files", ec))
        std::abort();
    std::vector<std::uint8_t> package(kPackageHeader + kPackageData, 0x5A);
    const std::string version = "VBX-100 V3.0.0";
    std::fill(package.begin(), package.begin() + kPackageHeader, 0);
    package[0] = 0xC9;
    package[1] = 0x49;
    std::copy(version.begin(), version.end(), package.begin() + 2);
    WriteFile(folder + "/files/fw.pkg", package);
    WriteFile(folder + "/files/app.bin", std::vector<std::uint8_t>(kDownloadSize, 0x11));
    return folder;
}

bool IsHexDigest(const std::string& s) {
    return s.size() == kSha256HexDigits &&
           s.find_first_not_of("0123456789abcdef") == std::string::npos;
}

void CheckAccepted(const Recipe& r, const std::string& path) {
    if (r.path != path || !IsHexDigest(r.sha256) || r.name.empty() || r.variant.empty())
        std::abort();
    if (r.firmware && (!IsHexDigest(r.firmware->sha256) || r.firmware->version.empty() ||
                       r.firmware->package.empty()))
        std::abort();
    // The named options: each once, in the table's order.
    const auto options = Options();
    std::size_t at = 0;
    for (const OptionInfo* o : r.settingOptions) {
        while (at < options.size() && &options[at] != o)
            ++at;
        if (at == options.size())
            std::abort();
        ++at;
    }
    for (std::size_t i = 0; i < r.downloads.size(); ++i) {
        const RecipeDownload& d = r.downloads[i];
        if (d.slot < 0 || d.slot >= kLoadSlotCount || !IsHexDigest(d.sha256) || d.file.empty())
            std::abort();
        if (d.jump && i + 1 != r.downloads.size())
            std::abort();
    }
    DeviceSettings settings;
    ApplyRecipeSettings(r, settings);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string folder = ScratchFolder();
    static const std::string path = folder + "/recipe.toml";
    WriteFile(path, std::vector<std::uint8_t>(data, data + size));

    Recipe recipe;
    std::string error;
    if (LoadRecipe(path, recipe, error)) {
        CheckAccepted(recipe, path);
    } else if (error.rfind(path, 0) != 0) {
        std::abort();  // every refusal names the file first
    }
    return 0;
}
