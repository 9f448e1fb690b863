#include "device/device_settings.h"

#include <algorithm>

#include "device/option_table.h"

bool AllSelectionsSet(const DeviceSettings& settings) {
    return std::ranges::all_of(Options(), [&settings](const OptionInfo& o) {
        return o.IsFlag() || SelectedEntry(o, settings.*o.selection) != nullptr;
    });
}
