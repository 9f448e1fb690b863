#pragma once
// Known records and the blocks they encode to, shared by the codec and the
// panel tests.

#include <cstdint>
#include <vector>

#include "layouts/device_settings.h"
#include "layouts/option_table.h"

using Bytes = std::vector<std::uint8_t>;

// Every flag off, every selection at its first entry.
inline DeviceSettings AllOffFirstEntry() {
    DeviceSettings s;
    for (const OptionInfo& o : Options()) {
        if (!o.IsFlag())
            s.*o.selection = 0;
    }
    return s;
}

// Every flag on, every selection at its last entry, except the key-sense mode
// at its last entry with a code.
inline DeviceSettings AllOnLastEntry() {
    DeviceSettings s;
    for (const OptionInfo& o : Options()) {
        if (o.IsFlag()) {
            s.*o.flag = true;
        } else {
            s.*o.selection = static_cast<int>(o.entries.size()) - 1;
        }
    }
    s.keySenseWireMode = 4;
    return s;
}

inline const Bytes kOffBlock1 = {0x00, 0x00, 0x00, 0x00, 0x0F, 0x1E, 0x1E, 0x05,
                                 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
inline const Bytes kOffBlock2 = {0x07, 0x07, 0x07, 0x07, 0x0C, 0x0C, 0x00, 0x01, 0x01, 0x01,
                                 0x00, 0x0F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
inline const Bytes kOffBlock3 = {0x80, 0xF0, 0xF0, 0xF0, 0xF0, 0x00, 0x00, 0x00,
                                 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

inline const Bytes kOnBlock1 = {0xFD, 0x7F, 0xFF, 0xFF, 0x0F, 0x1E, 0x1E, 0x1E,
                                0x0F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
inline const Bytes kOnBlock2 = {0x0F, 0x50, 0x50, 0x50, 0x28, 0x28, 0x00, 0x32, 0x14, 0x14,
                                0x04, 0x64, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
inline const Bytes kOnBlock3 = {0xFF, 0xF0, 0xF0, 0xF0, 0xF0, 0x00, 0x00, 0x00,
                                0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

// Reply data of a configuration read: three leading bytes, then the block.
inline Bytes ReadReply(const Bytes& block, const Bytes& lead = {0x00, 0x00, 0x00}) {
    Bytes reply = lead;
    reply.insert(reply.end(), block.begin(), block.end());
    return reply;
}
