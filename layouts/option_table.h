#pragma once
// The option table: one row for each of the 50 configuration options, the
// single source of truth for its record member, its control on the settings
// panel, its place in the configuration blocks and its list of entries.
//
// The block codec, the panel's bindings and the JSON form all iterate over
// this table. Rows stand in block order (block, byte, bit); the panel fills its
// combo boxes in an order of its own, kComboFillOrder.

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "layouts/device_settings.h"

enum class OptionKind {
    Flag,            // one bit, set when on
    BitSelection,    // one bit holding the index, 0 or 1
    CodedSelection,  // one byte holding the code of the selected entry
    IndexSelection,  // one byte holding the index itself
};

// An entry without a code writes nothing: its byte keeps its fixed value.
constexpr int kNoCode = -1;

struct OptionEntry {
    std::string_view text;
    int code;  // the byte or bit value; kNoCode when the entry has none
};

// Marks a row whose option fills a whole byte.
constexpr int kWholeByte = -1;

struct OptionInfo {
    std::string_view field;  // record member and JSON key
    int controlId;           // check box (flags) or combo box (selections)
    std::string_view caption;
    int block;  // 1..3
    int byte;   // byte of the block
    int bit;    // bit of that byte, or kWholeByte
    OptionKind kind;
    bool DeviceSettings::*flag;            // Flag rows only
    Selection DeviceSettings::*selection;  // selection rows only
    std::span<const OptionEntry> entries;  // selection rows only, in index order

    constexpr bool IsFlag() const { return kind == OptionKind::Flag; }
};

constexpr int kOptionCount = 50;
constexpr int kFlagCount = 34;
constexpr int kSelectionCount = 16;
constexpr int kConfigBlockCount = 3;

std::span<const OptionInfo> Options();

// The row of a control ID or a field name; nullptr when there is none.
const OptionInfo* FindOptionByControl(int controlId);
const OptionInfo* FindOptionByField(std::string_view field);

// The selected entry of a selection row, or nullptr when the selection is none
// or not an index of the row's list.
const OptionEntry* SelectedEntry(const OptionInfo& option, const Selection& selection);

// Order in which the panel fills its option combo boxes at start.
inline constexpr std::array<int, kSelectionCount> kComboFillOrder = {
    1062, 1063, 1064, 1067, 1068, 1069, 1065, 1066, 1070, 1083, 1093, 1071, 1084, 1073, 1075, 1074,
};
