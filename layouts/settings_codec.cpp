#include "layouts/settings_codec.h"

#include <algorithm>
#include <span>

#include "layouts/option_table.h"
#include "link/command_codes.h"

namespace {

// What a position without an option carries when written. Every other
// position of a block starts at 0.
struct FixedByte {
    int block;
    int byte;
    std::uint8_t value;
};

constexpr FixedByte kFixedBytes[] = {
    {1, 4, 0x0F}, {1, 5, 0x1E}, {1, 6, 0x1E},                              // block 1
    {3, 0, 0x80}, {3, 1, 0xF0}, {3, 2, 0xF0}, {3, 3, 0xF0}, {3, 4, 0xF0},  // block 3
};

void SetBit(std::uint8_t& byte, int bit, bool on) {
    const auto mask = static_cast<std::uint8_t>(1u << bit);
    byte = on ? static_cast<std::uint8_t>(byte | mask) : static_cast<std::uint8_t>(byte & ~mask);
}

void EncodeBlock(const DeviceSettings& settings, int block, std::span<std::uint8_t> out) {
    std::ranges::fill(out, 0);
    for (const FixedByte& f : kFixedBytes) {
        if (f.block == block)
            out[f.byte] = f.value;
    }
    for (const OptionInfo& o : Options()) {
        if (o.block != block)
            continue;
        std::uint8_t& byte = out[o.byte];
        if (o.IsFlag()) {
            if (settings.*o.flag)
                SetBit(byte, o.bit, true);
            continue;
        }
        // A selection that is none, or an entry without a code, writes nothing:
        // its bit or byte keeps the value it started with. The write handler
        // refuses a record with a selection that is none before encoding, so
        // this only matters to callers that encode such a record themselves.
        const OptionEntry* entry = SelectedEntry(o, settings.*o.selection);
        if (entry == nullptr || entry->code == kNoCode)
            continue;
        if (o.kind == OptionKind::BitSelection) {
            SetBit(byte, o.bit, entry->code != 0);
        } else {
            byte = static_cast<std::uint8_t>(entry->code);
        }
    }
}

}  // namespace

std::size_t ConfigBlockSize(int block) {
    switch (block) {
        case 1:
            return kConfigBlock1Size;
        case 2:
            return kConfigBlock2Size;
        case 3:
            return kConfigBlock3Size;
        default:
            return 0;
    }
}

std::array<std::uint8_t, kConfigBlock1Size> EncodeConfigBlock1(const DeviceSettings& settings) {
    std::array<std::uint8_t, kConfigBlock1Size> block{};
    EncodeBlock(settings, 1, block);
    return block;
}

std::array<std::uint8_t, kConfigBlock2Size> EncodeConfigBlock2(const DeviceSettings& settings) {
    std::array<std::uint8_t, kConfigBlock2Size> block{};
    EncodeBlock(settings, 2, block);
    return block;
}

std::array<std::uint8_t, kConfigBlock3Size> EncodeConfigBlock3(const DeviceSettings& settings) {
    std::array<std::uint8_t, kConfigBlock3Size> block{};
    EncodeBlock(settings, 3, block);
    return block;
}

void DecodeConfigBlock(int block, const std::uint8_t* replyData, std::uint32_t replyLength,
                       DeviceSettings& settings) {
    // Bytes beyond REPLY_LIMIT were never copied into the caller's buffer.
    const std::size_t available = std::min(replyLength, REPLY_LIMIT);
    for (const OptionInfo& o : Options()) {
        if (o.block != block)
            continue;
        const std::size_t at = kConfigReplyLeadBytes + static_cast<std::size_t>(o.byte);
        if (replyData == nullptr || at >= available)
            continue;  // byte did not arrive
        const std::uint8_t byte = replyData[at];
        if (o.IsFlag()) {
            settings.*o.flag = ((byte >> o.bit) & 1u) != 0;
            continue;
        }
        Selection& selection = settings.*o.selection;
        switch (o.kind) {
            case OptionKind::BitSelection:
                selection = static_cast<int>((byte >> o.bit) & 1u);
                break;
            case OptionKind::CodedSelection: {
                // An unknown code leaves the selection as it was.
                auto it = std::ranges::find(o.entries, static_cast<int>(byte), &OptionEntry::code);
                if (it != o.entries.end()) {
                    selection = static_cast<int>(it - o.entries.begin());
                }
                break;
            }
            case OptionKind::IndexSelection:
                if (byte < o.entries.size()) {
                    selection = static_cast<int>(byte);
                } else {
                    selection.reset();
                }
                break;
            case OptionKind::Flag:
                break;
        }
    }
}

void DecodeConfigBlock1(const std::uint8_t* replyData, std::uint32_t replyLength,
                        DeviceSettings& settings) {
    DecodeConfigBlock(1, replyData, replyLength, settings);
}

void DecodeConfigBlock2(const std::uint8_t* replyData, std::uint32_t replyLength,
                        DeviceSettings& settings) {
    DecodeConfigBlock(2, replyData, replyLength, settings);
}

void DecodeConfigBlock3(const std::uint8_t* replyData, std::uint32_t replyLength,
                        DeviceSettings& settings) {
    DecodeConfigBlock(3, replyData, replyLength, settings);
}
