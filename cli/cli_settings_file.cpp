#include "cli/cli_settings_file.h"

#include "base/file_replace.h"
#include "base/regular_file.h"
#include "layouts/settings_json.h"

namespace {
constexpr int kJsonIndent = 2;
// A whole record is about 2 KB of JSON; anything far beyond is not one, and is
// refused before it fills the memory.
constexpr std::size_t kMaxSettingsFileBytes = 1024 * 1024;
}  // namespace

bool LoadSettingsFile(const std::string& path, DeviceSettings& settings, std::string& error) {
    std::string text;
    int readError = 0;
    if (!ReadRegularFile(path, kMaxSettingsFileBytes, text, readError)) {
        error = path + ": can't read the file: " + FileErrorText(readError);
        return false;
    }
    nlohmann::json json;
    std::string why;
    if (!ParseJsonWithoutDuplicates(text, json, why) ||
        !SettingsFromJson(json, settings, why, NullSelection::Refused)) {
        error = path + ": " + why;
        return false;
    }
    return true;
}

bool CanWriteFile(const std::string& path, std::string& error) {
    return CanReplaceFile(path, error);
}

bool SaveSettingsFile(const std::string& path, const DeviceSettings& settings, std::string& error) {
    return ReplaceFileWhole(path, SettingsJsonText(settings) + "\n", error);
}

std::string SettingsJsonText(const DeviceSettings& settings) {
    return SettingsToJson(settings).dump(kJsonIndent);
}
