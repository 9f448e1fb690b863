#pragma once
// The operator's words for the codes a record keeps: step names and reason codes
// as a screen shows them (records and JSON keep the codes themselves).

#include <string>

#include "records/unit_record.h"

// "firmware" -> "固件更新"; an unknown step shows as it is.
std::string StepWords(const std::string& step);
// "NO_REPLY" -> "设备无应答"; an unknown code shows as it is.
std::string ReasonWords(const std::string& reasonCode);
// "合格", "不合格", "已中止".
const char* ResultWords(UnitResult result);
