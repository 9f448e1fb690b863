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

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "records/record_store.h"
#include "station/config/recipe.h"
#include "station/config/slots_file.h"
#include "station/engine/station.h"
#include "station/engine/station_events.h"
#include "station/engine/station_options.h"

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

    // Before Start: the serials of boxes that ended a unit under the group
    // this one replaces, by slot name (StationOptions::leftSerial).
    void SetBoxesLeft(std::map<std::string, std::string> serialBySlot);
    // False with `error` when a slot's port cannot be resolved (nothing starts).
    bool Start(std::string& error);
    // Asks every slot to stop; returns the strongest effect it had on any slot.
    CStation::StopEffect Stop();
    void Wait();
    // Runs the box in slot `slot` (its index in Slots()) again as a rework
    // when it still reports `serial` (CStation::RequestRework); after Start.
    void RequestRework(std::size_t slot, const std::string& serial);
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
