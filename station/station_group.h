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
#include <optional>
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
// `port`), checked as CheckSlots does. False with a message naming the file,
// line and key in `error`.
bool LoadSlotsFile(const std::string& path, std::vector<StationSlot>& slots, std::string& error);
// Parses "NAME=PORT" (the --slot option). False with `error`.
bool ParseSlotOption(const std::string& text, StationSlot& slot, std::string& error);
// Whether the slots can run together: at least one, each name usable (not
// empty, at most kMaxSlotNameBytes, no blank, control character or '=', so a
// result line still splits into words), each port a port text
// (station/port_spec.h; a lone slot may leave it empty to scan for any box),
// no name and no port twice. False with `error`.
bool CheckSlots(const std::vector<StationSlot>& slots, std::string& error);
// Slot names longer than this are refused: a name is shown on a tile and
// leads every result line.
constexpr std::size_t kMaxSlotNameBytes = 64;

class CStationGroup {
public:
    // `recipe`, `store` and `observer` must outlive the group. `options` are
    // the stations' common options; each slot's name and port replace its own.
    CStationGroup(const Recipe& recipe, IRecordStore& store, IStationObserver& observer,
                  const StationOptions& options, std::vector<StationSlot> slots);
    // Stops every slot as two stop requests do (a running unit ends at its
    // next request, recorded aborted) and joins them: whoever owns the
    // group asks the operator before letting it go during a unit.
    ~CStationGroup();
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
    // After Wait(): each slot's last unit result as CStation::Run returned
    // it, in the order of Slots().
    std::vector<std::optional<UnitResult>> Results() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
