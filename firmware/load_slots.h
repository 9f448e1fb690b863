#pragma once
// The box's six load slots: where the file download puts a binary and where the
// jump starts it. The slots lie one stride apart from the first stride on; the
// load-address list shows them and the handlers take the selected index.

#include <cstdint>

#include "layouts/transfer_packets.h"

class IDialogView;

// Inserts the six load-address texts ("0x0001E000" ... "0x000B4000") into
// combo IDC_LOAD_ADDRESS at indexes 0..5 and selects entry 0.
void FillLoadAddressList(IDialogView& view);
