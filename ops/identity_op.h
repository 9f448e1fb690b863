#pragma once
// Reading the box's identity: the version text and the serial number (hex),
// and the probe a port scan sends.

#include <cstdint>
#include <string>

#include "link/command_codes.h"
#include "ops/transactor.h"
#include "ops/op_result.h"

struct IdentityRead {
    OpResult result;
    // The version as display text, or the serial as upper-case hex; empty
    // unless the read succeeded.
    std::string text;
};

// One read of `command` (CMD_GET_VERSION or CMD_GET_SERIAL).
IdentityRead ReadIdentity(ITransactor& link, std::uint16_t command,
                          std::uint32_t firstByteTimeoutMs = TIMEOUT_DEFAULT_MS,
                          const OpHooks& hooks = {});

// The scan's probe: true when any valid frame came back.
bool ProbeBox(ITransactor& link, const OpHooks& hooks = {});
