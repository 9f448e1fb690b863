#pragma once
// How one station runs: who and where it is, which port it watches, and the
// waits it uses. Plain values handed to the constructor; nothing is global,
// so several stations (one per fixture slot) may run side by side.

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "link/device_link.h"
#include "link/port_choice.h"
#include "ops/upgrade_timing.h"
#include "records/record_journal.h"
#include "station/engine/release_stamp.h"
#include "station/engine/serial_registry.h"
#include "station/engine/store_check.h"

// Ports are probed for a box, and a box that passed is probed for its
// removal, this often besides at once when the system's ports change: often
// enough that an operator sees no delay for a box switched on behind a port
// that stays, rarely enough to leave the line (and the processor) alone.
constexpr std::uint32_t kProbeIntervalMs = 200;
// A box counts as removed after this many probes in a row went unanswered,
// so one lost reply does not end the wait early.
constexpr int kRemovalMisses = 2;

struct StationOptions {
    std::string station;       // station name for the records
    std::string operatorName;  // operator name for the records
    std::string slot;          // fixture slot name; empty for a single box
    // The port to watch, looked up afresh at each probe; any port: scan for
    // the box.
    PortChoice port;
    bool rework = false;  // run serials that already passed, marked rework
    bool once = false;    // stop after one unit
    // Take no box while the records store's server is away (the interlock
    // across stations holds only through it).
    bool requireServer = false;
    UpgradeTiming timing;  // the firmware update's pauses
    std::uint32_t probeIntervalMs = kProbeIntervalMs;
    std::string toolVersion;  // written into every record
    // Where the station's link writes its checksum diagnostic ("ABC"): never
    // stdout, which carries a front end's result lines or JSON.
    std::FILE* diagnostics = stderr;
    // Also hears every frame of the station's link (--trace), beside the
    // flight recorder; called from the link's threads (see SetTraceHook).
    CDeviceLink::TraceHook trace;
    // The serials a group's slots hold (a station group sets it); the unit
    // fails DUPLICATE_SERIAL when another slot holds its box's serial. None
    // for a single box.
    CSerialRegistry* serials = nullptr;
    // The serial of a box that ended a unit in this slot before the slot
    // was restarted (a recipe switch); empty for none. Such a box, when it
    // is still there, is not run again: the station waits for its removal.
    std::string leftSerial;
    // The release bundle the recipe came from: its identity goes into every
    // record, and a box of none of its families fails INCOMPATIBLE_BOX at
    // identify. None for a plain recipe.
    std::optional<ReleaseStamp> release;
    // The full check of the records store, running beside the units (one for
    // all the slots of a group, owned by the front end): once it finds damage
    // the station takes no box. None: no such check.
    const CStoreCheck* storeCheck = nullptr;
    // Where a record the store refused is kept until it is stored (one for
    // all the slots of a group, owned by the front end, beside the store).
    // None: such a record lives in memory only, until the station stops.
    CRecordJournal* journal = nullptr;
};
