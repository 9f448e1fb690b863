#pragma once
// One configuration block read as one step, for every reader of the blocks:
// the settings panel's handlers and the whole-record transfer.
//
// The protocol has no sequence numbers, so a frame the box sends on its own
// just as a request goes out can be taken for the reply. A reply that holds
// less than the whole block cannot be the answer to a configuration read (or
// the box sent less than it has), so such a read is a failure, ST_SHORT_REPLY,
// never a success with options left unread. The fields whose bytes did
// arrive are still applied, as for any reply.

#include <cstdint>

#include "device/device_settings.h"
#include "dialog/dialog_host.h"
#include "dialog/step.h"

struct ConfigBlockRead {
    // ok only when the box answered with success and the whole block arrived;
    // a shorter successful reply fails with ST_SHORT_REPLY.
    StepResult step;
    // The box answered with success and the fields whose bytes arrived were
    // decoded into the record (whole or short).
    bool applied = false;
};

// Reads block `block` (1..3) into `reply` (kHandlerReplyBufSize bytes) and
// decodes what arrived into `settings`; `settings` is left unchanged unless
// `applied`.
ConfigBlockRead ReadConfigBlock(IDialogHost& host, int block, std::uint8_t* reply,
                                DeviceSettings& settings);
