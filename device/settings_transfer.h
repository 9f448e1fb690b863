#pragma once
// The three configuration blocks read into, and written from, one whole
// DeviceSettings record, with no panel in between: for callers that must know
// how every block went (the settings panel's handlers leave a failed third
// read or write unreported, as the window always has).
//
// Both stop at the first block that fails and say which; neither writes to the
// status line or to any control.

#include "device/device_settings.h"
#include "dialog/dialog_host.h"
#include "dialog/step.h"

struct SettingsTransfer {
    bool ok = false;
    // The block (1..3) that failed; 0 when nothing was sent (a write refused
    // for a selection that is none).
    int failedBlock = 0;
    StepResult step;  // the failed block's step
};

// Reads blocks 1..3 into a fresh record (every flag off, every selection
// none): a coded byte that matches no entry stays none. `settings` is left
// unchanged unless all three reads succeed.
SettingsTransfer ReadDeviceSettings(IDialogHost& host, DeviceSettings& settings);

// Writes blocks 1..3. A record with a selection that is none is refused
// before anything is sent: the box has no value for "none".
SettingsTransfer WriteDeviceSettings(IDialogHost& host, const DeviceSettings& settings);
