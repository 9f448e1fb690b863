#pragma once
// The box's identity: its version text and its serial number (hexadecimal),
// and the probe the port scan sends.

#include <string>

#include "ops/op_result.h"
#include "ops/transactor.h"

class CDeviceLink;

struct IdentityResult {
    OpResult result;
    std::string text;
};

IdentityResult ReadVersionOp(ITransactor& transactor, std::uint32_t firstByteTimeoutMs,
                             const OpHooks& hooks = {});
IdentityResult ReadSerialOp(ITransactor& transactor, std::uint32_t firstByteTimeoutMs,
                            const OpHooks& hooks = {});

// One probe as the port scan sends it, only on a port already open (a
// transaction on a closed port would scan every port); ok when any valid
// frame came back.
OpResult ProbeOp(CDeviceLink& link, const OpHooks& hooks = {});
