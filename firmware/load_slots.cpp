#include "firmware/load_slots.h"

#include <cstdio>

#include "dialog/dialog_view.h"
#include "res/resource.h"

void FillLoadAddressList(IDialogView& view) {
    for (int i = 0; i < kLoadSlotCount; ++i) {
        char text[16];
        std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(LoadAddressForIndex(i)));
        view.ComboInsert(IDC_LOAD_ADDRESS, i, text);
    }
    view.ComboSetCurSel(IDC_LOAD_ADDRESS, 0);
}
