#pragma once
// The firmware update: writes a package into the box, makes it apply the
// package, reads the identity again and restores factory settings.
//
// Principles of operation. One straight sequence: the package is whole in
// memory before anything is sent (read from a path, or bytes the caller
// pinned) and must hold at least its header; prepare the box, send the header
// and the firmware data in packets of up to 256 bytes, end and commit, then
// wait out the box's restart, read version and serial again and ask for
// factory settings. A failure of the transfer ends the run; the steps after
// the commit each only report (OpProgress StepFailed) and the run goes on, and
// the run is ok when the box took the final factory reset. Each request is
// one whole exchange under the link's lock, so other operations may run
// between two of them. Runs on the caller's thread, touching only the link
// and the hooks.
//
// Events, in order: Loading (from a path only), TransferStart, Sent after
// every data packet but the last, TransferEnd; after a commit the box took:
// Applying, then StepFailed or Identity for each read, and ApplyEnd.

#include <cstdint>
#include <span>
#include <string>

#include "ops/transactor.h"
#include "ops/op_result.h"
#include "ops/upgrade_timing.h"

OpResult UpdateFirmware(ITransactor& link, const std::string& packagePath,
                        const UpgradeTiming& timing, const OpHooks& hooks = {});
OpResult UpdateFirmwareImage(ITransactor& link, std::span<const std::uint8_t> package,
                             const UpgradeTiming& timing, const OpHooks& hooks = {});
