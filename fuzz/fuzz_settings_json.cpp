// Settings files of any content: the reader either refuses with a message or
// accepts a record whose JSON form reads back to the same record.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "layouts/settings_json.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const nlohmann::json json =
        nlohmann::json::parse(data, data + size, nullptr, /*allow_exceptions=*/false);
    if (json.is_discarded())
        return 0;
    DeviceSettings settings;
    std::string error;
    if (!SettingsFromJson(json, settings, error)) {
        if (error.empty())
            std::abort();
        return 0;
    }
    DeviceSettings again;
    if (!SettingsFromJson(SettingsToJson(settings), again, error) || !(again == settings)) {
        std::abort();
    }
    return 0;
}
