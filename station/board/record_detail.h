#pragma once
// One unit record as an operator reads it on a station screen: result and
// reason in words, versions, the settings the unit changed, each step's time
// and, for a unit that did not pass, the last frames on the line. Pure.

#include <string>
#include <vector>

#include "records/unit_record.h"

// "启动点火时间 (crankTime): 0.8秒 -> 0.9秒" for each option whose value
// differs between the two settings JSON texts, in the option table's order.
// Empty when they agree or either is not a whole settings record.
std::vector<std::string> SettingsDiff(const std::string& before, const std::string& after);

// The record as lines of text, Chinese labels, times in local time.
std::string RecordDetailText(const UnitRecord& record);
