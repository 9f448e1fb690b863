#pragma once
// One unit record as an operator reads it on a station screen: result and
// reason in words, versions, the settings the unit changed, each step's time
// and, for a unit that did not pass, the last frames on the line. Pure.

#include <string>
#include <vector>

#include "records/unit_record.h"

// "crankTime: 1 -> 2" for each setting whose value differs between the two
// settings JSON texts (keys of either, in the order of `after` then any
// only in `before`). Empty when they agree or either is not a JSON object.
std::vector<std::string> SettingsDiff(const std::string& before, const std::string& after);

// The record as lines of text, Chinese labels.
std::string RecordDetailText(const UnitRecord& record);
