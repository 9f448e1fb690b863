#pragma once
// Options and their values in the operator's words: an option by its caption
// (the key beside it only where an engineer reads, in parentheses), a value
// by the text of its entry, a flag as on or off. Pure.

#include <string>

#include "layouts/device_settings.h"

struct OptionInfo;

// "锁车输出时间" for a selection holding "2秒": "2秒"; a flag "开启" or
// "关闭"; a selection that is none "未选择".
std::string OptionValueWords(const OptionInfo& option, const DeviceSettings& settings);

// "锁车输出时间 (lockOutputTime)".
std::string OptionCaptionWithKey(const OptionInfo& option);

// `text` with every " (key)" that OptionCaptionWithKey added taken out, for
// a screen that shows captions alone.
std::string WithoutOptionKeys(std::string text);
