#pragma once
// Reading the box's identity: the version text and the serial number (hex),
// and the probe a port scan sends.

#include <cstdint>
#include <string>
#include <vector>

#include "link/command_codes.h"
#include "ops/op_result.h"
#include "ops/transactor.h"

struct IdentityRead {
    OpResult result;
    // The version as display text, or the serial as upper-case hex; empty
    // unless the read succeeded.
    std::string text;
    // The reply data as it came (after the result word), whatever the step
    // made of it; empty when no reply came.
    std::vector<std::uint8_t> replyData;
};

// One read of `command` (CMD_GET_VERSION or CMD_GET_SERIAL).
IdentityRead ReadIdentity(ITransactor& link, std::uint16_t command,
                          std::uint32_t firstByteTimeoutMs = TIMEOUT_DEFAULT_MS,
                          const OpHooks& hooks = {});

// The serial read that follows the version read `version`, once, as the
// window and the CLI read it. A reply that cannot be the serial is not shown
// as one: the result fails with ST_NO_REPLY as if none had come. That is a
// reply with the very data of the version's reply, and any reply at all after
// a version read that heard none: that read ended early (on a stray byte or a
// broken frame) or late, and its own reply may still come in the serial's
// wait, where it fits the serial's lengths. A box answering both reads is
// shown as ever.
IdentityRead ReadSerialAfter(ITransactor& link, const IdentityRead& version,
                             std::uint32_t firstByteTimeoutMs = TIMEOUT_DEFAULT_MS,
                             const OpHooks& hooks = {});

// The scan's probe: true when any valid frame came back.
bool ProbeBox(ITransactor& link, const OpHooks& hooks = {});
