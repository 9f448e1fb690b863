#pragma once
// The box's configuration: its three blocks read into and written from a
// DeviceSettings record, one block at a time (what the settings panel shows
// block by block) or the whole record, and the factory reset.
//
// The protocol has no sequence numbers, so a frame the box sends on its own
// just as a request goes out can be taken for the reply. A reply that holds
// less than the whole block cannot be the answer to a configuration read (or
// the box sent less than it has), so such a read fails with ST_SHORT_REPLY,
// never a success with options left unread. The fields whose bytes did arrive
// are still applied, as for any reply.

#include <array>
#include <cstdint>
#include <vector>

#include "layouts/device_settings.h"
#include "layouts/option_table.h"
#include "ops/op_result.h"
#include "ops/transactor.h"

struct ConfigBlockRead {
    // ok only when the box answered with success and the whole block arrived.
    OpResult result;
    // The box answered with success and the fields whose bytes arrived were
    // decoded into the record (whole or short).
    bool applied = false;
    LinkReply reply;
};

// Reads block `block` (1..3) and decodes what arrived into `settings`, which
// is left unchanged unless `applied`.
ConfigBlockRead ReadConfigBlock(ITransactor& link, int block, DeviceSettings& settings,
                                const OpHooks& hooks = {});
// Writes block `block` (1..3) as encoded from `settings`.
OpResult WriteConfigBlock(ITransactor& link, int block, const DeviceSettings& settings,
                          const OpHooks& hooks = {});

// Blocks 1..3 as bytes: as written, or as a read's reply held them.
using ConfigBlockBytes = std::array<std::vector<std::uint8_t>, kConfigBlockCount>;

// Reads blocks 1..3 into a fresh record (every flag off, every selection
// none): a coded byte that matches no entry stays none. Stops at the first
// block that fails and names it; `settings` is left unchanged unless all three
// reads succeed. With `raw`, each block read whole goes there as it came,
// bytes no option maps included.
OpResult ReadDeviceSettings(ITransactor& link, DeviceSettings& settings, const OpHooks& hooks = {},
                            ConfigBlockBytes* raw = nullptr);
// Writes blocks 1..3, stopping at the first that fails. A record with a
// selection that is none is refused (OpStep::Input) before anything is sent:
// the box has no value for "none".
// With `raw`, each block sent goes there as it was sent.
OpResult WriteDeviceSettings(ITransactor& link, const DeviceSettings& settings,
                             const OpHooks& hooks = {}, ConfigBlockBytes* raw = nullptr);

OpResult FactoryReset(ITransactor& link, const OpHooks& hooks = {});
