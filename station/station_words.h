#pragma once
// The operator's words for the station's codes: step names and reason codes
// as a screen shows them (records and JSON keep the codes themselves).

#include <string>

// "firmware" -> "固件更新"; an unknown step shows as it is.
std::string StepWords(const std::string& step);
// "NO_REPLY" -> "设备无应答"; an unknown code shows as it is.
std::string ReasonWords(const std::string& reasonCode);
