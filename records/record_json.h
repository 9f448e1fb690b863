#pragma once
// The JSON form of a unit record: what `records show` prints and what the
// station's "unit end" event carries. Keys are the store's column names;
// flags are booleans, the steps and the frame trace arrays.

#include <nlohmann/json.hpp>
#include <string>

#include "records/unit_record.h"

nlohmann::json RecordToJson(const UnitRecord& record);

// Text of `json` on one line (indent < 0) or indented. Bytes that are not
// UTF-8 (a box's version text may be 8-bit) become U+FFFD instead of failing.
std::string JsonText(const nlohmann::json& json, int indent = -1);

// The record's JSON on one line.
std::string RecordJsonText(const UnitRecord& record);

// The steps and the frame trace as the stores keep them (JSON text).
std::string StepsJsonText(const std::vector<StepRecord>& steps);
bool StepsFromJsonText(const std::string& text, std::vector<StepRecord>& steps);
std::string FramesJsonText(const std::vector<std::string>& frames);
bool FramesFromJsonText(const std::string& text, std::vector<std::string>& frames);
