#pragma once
// The JSON form of DeviceSettings, for the command-line tool: one object whose
// keys are the option table's field names; a flag is a boolean, a selection
// the index of its entry (an integer) or null for none.

#include <nlohmann/json.hpp>
#include <string>

#include "layouts/device_settings.h"

nlohmann::json SettingsToJson(const DeviceSettings& settings);

// Whether a selection may be null (no selection): a record read for the panel
// may have none, a record to write to the box may not (the box has no value
// for "none").
enum class NullSelection { Allowed, Refused };

// Reads a whole record: every field must be present, with the right type and,
// for a selection, an index of its list (or null, where allowed). On refusal
// returns false, puts an English message naming the offending key into
// `error` and leaves `settings` unchanged.
bool SettingsFromJson(const nlohmann::json& json, DeviceSettings& settings, std::string& error,
                      NullSelection nulls = NullSelection::Allowed);

// Parses JSON text as nlohmann does, but refuses an object that holds a key
// twice (the parser would keep the last value without a word): false with
// "duplicate key \"K\"" or "not valid JSON" in `error`, `json` then unspecified.
bool ParseJsonWithoutDuplicates(const std::string& text, nlohmann::json& json, std::string& error);
