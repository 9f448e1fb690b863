#pragma once
// The JSON form of DeviceSettings, for the command-line tool: one object whose
// keys are the option table's field names; a flag is a boolean, a selection
// the index of its entry (an integer) or null for none.

#include <nlohmann/json.hpp>
#include <string>

#include "device/device_settings.h"

nlohmann::json SettingsToJson(const DeviceSettings& settings);

// Reads a whole record: every field must be present, with the right type and,
// for a selection, an index of its list. On refusal returns false, puts an
// English message naming the offending key into `error` and leaves `settings`
// unchanged.
bool SettingsFromJson(const nlohmann::json& json, DeviceSettings& settings, std::string& error);
