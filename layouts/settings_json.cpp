#include "layouts/settings_json.h"

#include <cstdint>
#include <optional>
#include <set>
#include <vector>

#include "layouts/option_table.h"

nlohmann::json SettingsToJson(const DeviceSettings& settings) {
    nlohmann::json json = nlohmann::json::object();
    for (const OptionInfo& o : Options()) {
        const std::string key(o.field);
        if (o.IsFlag()) {
            json[key] = settings.*o.flag;
        } else if (const Selection& s = settings.*o.selection) {
            json[key] = *s;
        } else {
            json[key] = nullptr;
        }
    }
    return json;
}

bool SettingsFromJson(const nlohmann::json& json, DeviceSettings& settings, std::string& error,
                      NullSelection nulls) {
    if (!json.is_object()) {
        error = "settings must be a JSON object, not " + std::string(json.type_name());
        return false;
    }
    for (const auto& [key, value] : json.items()) {
        if (FindOptionByField(key) == nullptr) {
            error = "unknown key \"" + key + "\"";
            return false;
        }
    }
    DeviceSettings parsed;
    for (const OptionInfo& o : Options()) {
        const std::string key(o.field);
        auto it = json.find(key);
        if (it == json.end()) {
            error = "missing key \"" + key + "\"";
            return false;
        }
        const nlohmann::json& value = *it;
        if (o.IsFlag()) {
            if (!value.is_boolean()) {
                error = "key \"" + key + "\" must be true or false, not " +
                        std::string(value.type_name());
                return false;
            }
            parsed.*o.flag = value.get<bool>();
            continue;
        }
        const bool nullAllowed = nulls == NullSelection::Allowed;
        if (value.is_null() && nullAllowed) {
            parsed.*o.selection = std::nullopt;
            continue;
        }
        const int last = static_cast<int>(o.entries.size()) - 1;
        const std::string range =
            "an index from 0 to " + std::to_string(last) + (nullAllowed ? " or null" : "");
        if (!value.is_number_integer()) {
            error =
                "key \"" + key + "\" must be " + range + ", not " + std::string(value.type_name());
            return false;
        }
        // Read at full width first, so that a huge number cannot wrap into range.
        const bool inRange =
            value.is_number_unsigned()
                ? value.get<std::uint64_t>() <= static_cast<std::uint64_t>(last)
                : value.get<std::int64_t>() >= 0 && value.get<std::int64_t>() <= last;
        if (!inRange) {
            error = "key \"" + key + "\" must be " + range + ", not " + value.dump();
            return false;
        }
        parsed.*o.selection = value.get<int>();
    }
    settings = parsed;
    return true;
}

bool ParseJsonWithoutDuplicates(const std::string& text, nlohmann::json& json, std::string& error) {
    using Event = nlohmann::json::parse_event_t;
    // The keys seen so far in each object being read, innermost last.
    std::vector<std::set<std::string>> open;
    std::optional<std::string> duplicate;
    const auto check = [&](int, Event event, nlohmann::json& parsed) {
        if (event == Event::object_start) {
            open.emplace_back();
        } else if (event == Event::object_end && !open.empty()) {
            open.pop_back();
        } else if (event == Event::key && !open.empty() && !duplicate &&
                   !open.back().insert(parsed.get<std::string>()).second) {
            duplicate = parsed.get<std::string>();
        }
        return true;
    };
    json = nlohmann::json::parse(text, check, false);
    if (json.is_discarded()) {
        error = "not valid JSON";
        return false;
    }
    if (duplicate) {
        error = "duplicate key \"" + *duplicate + "\"";
        return false;
    }
    return true;
}
