#include "cli/cli_settings_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "device/option_table.h"
#include "device/settings_json.h"

namespace {
constexpr int kJsonIndent = 2;

std::string SystemError() {
    return std::strerror(errno);
}
}  // namespace

bool LoadSettingsFile(const std::string& path, DeviceSettings& settings, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": can't read the file: " + SystemError();
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        error = path + ": can't read the file";
        return false;
    }
    const nlohmann::json json = nlohmann::json::parse(text.str(), nullptr, false);
    if (json.is_discarded()) {
        error = path + ": not valid JSON";
        return false;
    }
    DeviceSettings parsed;
    std::string why;
    if (!SettingsFromJson(json, parsed, why)) {
        error = path + ": " + why;
        return false;
    }
    for (const OptionInfo& o : Options()) {
        if (!o.IsFlag() && !(parsed.*o.selection)) {
            error = path + ": key \"" + std::string(o.field) +
                    "\" is null: every option needs a value to be written";
            return false;
        }
    }
    settings = parsed;
    return true;
}

bool CanWriteFile(const std::string& path, std::string& error) {
    const bool existed = access(path.c_str(), F_OK) == 0;
    std::FILE* f = std::fopen(path.c_str(), "a");
    if (f == nullptr) {
        error = path + ": can't write the file: " + SystemError();
        return false;
    }
    std::fclose(f);
    if (!existed)
        std::remove(path.c_str());
    return true;
}

bool SaveSettingsFile(const std::string& path, const DeviceSettings& settings, std::string& error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << SettingsJsonText(settings) << '\n';
    out.close();
    if (!out) {
        error = path + ": can't write the file: " + SystemError();
        return false;
    }
    return true;
}

std::string SettingsJsonText(const DeviceSettings& settings) {
    return SettingsToJson(settings).dump(kJsonIndent);
}
