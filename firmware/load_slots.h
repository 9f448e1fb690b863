#pragma once
// The box's six load slots: where the file download puts a binary and where the
// jump starts it. The slots lie one stride apart from the first stride on; the
// load-address list shows them and the handlers take the selected index.

#include <cstdint>

class IDialogView;

// Number of load slots in the box, and the distance between two of them.
constexpr int kLoadSlotCount = 6;
constexpr std::uint32_t kLoadSlotStride = 0x1E000;

// Inserts the six load-address texts ("0x0001E000" ... "0x000B4000") into
// combo IDC_LOAD_ADDRESS at indexes 0..5 and selects entry 0.
void FillLoadAddressList(IDialogView& view);
// (index + 1) * kLoadSlotStride; index -1 (nothing selected) gives 0. Only the
// index counts, never the entry's text.
constexpr std::uint32_t LoadAddressForIndex(int index) {
    return static_cast<std::uint32_t>(index + 1) * kLoadSlotStride;
}
