#include "layouts/option_words.h"

#include "layouts/option_table.h"
#include "res/station_texts.h"

namespace {

std::string KeyInParentheses(const OptionInfo& option) {
    return " (" + std::string(option.field) + ")";
}

}  // namespace

std::string OptionValueWords(const OptionInfo& option, const DeviceSettings& settings) {
    if (option.IsFlag())
        return settings.*option.flag ? kTextFlagOn : kTextFlagOff;
    const OptionEntry* entry = SelectedEntry(option, settings.*option.selection);
    return entry != nullptr ? std::string(entry->text) : kTextNoSelection;
}

std::string OptionCaptionWithKey(const OptionInfo& option) {
    return std::string(option.caption) + KeyInParentheses(option);
}

std::string WithoutOptionKeys(std::string text) {
    for (const OptionInfo& option : Options()) {
        const std::string key = KeyInParentheses(option);
        for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at))
            text.erase(at, key.size());
    }
    return text;
}
