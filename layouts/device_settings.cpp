#include "layouts/device_settings.h"

#include <algorithm>

#include "layouts/option_table.h"

bool AllSelectionsSet(const DeviceSettings& settings) {
    return std::ranges::all_of(Options(), [&settings](const OptionInfo& o) {
        return o.IsFlag() || SelectedEntry(o, settings.*o.selection) != nullptr;
    });
}

DeviceSettings FactorySettings() {
    DeviceSettings settings;
    for (const OptionInfo& o : Options()) {
        if (!o.IsFlag())
            settings.*o.selection = 0;
    }
    return settings;
}
