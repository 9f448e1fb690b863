#pragma once
// CStationGroup: one station per fixture slot, all running at once.
//
// Principles of operation. Each slot gets a CStation of its own (its own
// link, port and unit-loop thread); all share the recipe, the record store
// and one observer, which tells the slots apart by StationEvent::slot. A
// failure, hang or unplug on one slot never waits on another: the slots share
// nothing but the store (which serialises its own use) and the registry of
// serials under test, which fails the second of two slots that hold the same
// serial at once (a mix-up at the fixture) with reason DUPLICATE_SERIAL.
//
// Threads: Start() starts one thread per slot; Stop() asks every slot to
// stop (the same effects as CStation::RequestStop, slot by slot) and Wait()
// joins them. The observer is called on the slots' threads, concurrently.

#include <memory>
#include <string>
#include <vector>

#include "records/record_store.h"
#include "station/recipe.h"
#include "station/station.h"
#include "station/station_events.h"
#include "station/station_options.h"

// One fixture slot: its name and the port its box hangs on, as the operator
// wrote it (a COM number "COM3" or "3", a device path, a /dev/serial/by-path
// or by-id name, or "usb:VID:PID[:SERIAL]").
struct StationSlot {
    std::string name;
    std::string port;
};

// Reads a slots file (TOML: one [[slot]] table per slot with `name` and
// `port`). False with a message naming the file, line and key in `error`.
bool LoadSlotsFile(const std::string& path, std::vector<StationSlot>& slots, std::string& error);
// Parses "NAME=PORT" (the --slot option). False with `error`.
bool ParseSlotOption(const std::string& text, StationSlot& slot, std::string& error);

class CStationGroup {
public:
    // `recipe`, `store` and `observer` must outlive the group. `options` are
    // the stations' common options; each slot's name and port replace its own.
    CStationGroup(const Recipe& recipe, IRecordStore& store, IStationObserver& observer,
                  const StationOptions& options, std::vector<StationSlot> slots);
    ~CStationGroup();  // stops and joins every slot
    CStationGroup(const CStationGroup&) = delete;
    CStationGroup& operator=(const CStationGroup&) = delete;

    // False with `error` when a slot's port cannot be resolved (nothing starts).
    bool Start(std::string& error);
    // Asks every slot to stop; returns the strongest effect it had on any slot.
    CStation::StopEffect Stop();
    void Wait();
    // Whether a unit runs on any slot now (a window asks before closing).
    bool AnyUnitRunning() const;
    const std::vector<StationSlot>& Slots() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
