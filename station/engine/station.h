#pragma once
// CStation: the production station's unit loop for one fixture slot.
//
// Principles of operation. The station owns a link of its own (never the
// window's process-wide one), a flight recorder fed by the link's trace hook
// and the box operations over that link. Run() loops: wait for a box
// (link/box_wait.h: the chosen port looked up afresh and probed, or a scan,
// at once when the system's ports change and else every probe interval), run
// one unit through the recipe (CUnitRun), commit its record to the store,
// tell the observer the unit's end (the result line is shown from that event,
// so a record is always committed before its result is shown), then wait
// until the box stops answering (box_wait's WaitForRemoval, woken the same
// way) and start again. With `once` it stops after one unit.
//
// Stopping. RequestStop() may be called from any thread. While no unit
// runs, the first request ends Run() at once (it raises the wake signals the
// waits sleep on). During a unit the first request lets the unit finish and
// ends Run() after it; the second makes the box operations hold back every
// further request, so the step in progress (a transfer included) ends at its
// next packet and the unit is recorded as aborted with that step.
// RequestStop says which of these it caused, so the front end can tell the
// operator at once (a firmware update may sit in a pause of several seconds
// before its next request).
//
// A box left behind. A station started again on a slot (a recipe switch)
// whose box ended a unit under the previous run is told that box's serial
// (StationOptions::leftSerial): while a box with that serial is still in the
// slot it is not run again; the station waits for its removal first. Any
// other box, or one placed later, runs as usual.
//
// Rework on request. A box whose serial already passed the recipe is refused
// at interlock and left in the slot; RequestRework(serial) (the operator
// agreed, at the station's screen) wakes the wait for its removal, ends it and
// runs the box in the slot again as a rework, provided it still reports that
// serial.
// The request lapses when the box is removed first.
//
// Threads: Run() on one thread (the unit loop); the observer is called on it.
// RequestStop(), RequestRework() and InUnit() from any thread. m_reworkMutex
// guards m_reworkSerial only.
// Several stations, each with its own options and link, may run on threads
// of their own against one store.

#include <atomic>
#include <mutex>
#include <optional>

#include "link/box_wait.h"
#include "link/device_link.h"
#include "link/port_identity.h"
#include "link/wake_signal.h"
#include "records/record_store.h"
#include "station/config/recipe.h"
#include "station/engine/box_operations.h"
#include "station/engine/flight_recorder.h"
#include "station/engine/station_events.h"
#include "station/engine/station_options.h"
#include "station/engine/store_gate.h"
#include "station/engine/unit_run.h"

class CStation {
public:
    // `recipe`, `store` and `observer` must outlive the station.
    CStation(const Recipe& recipe, IRecordStore& store, IStationObserver& observer,
             StationOptions options);
    ~CStation();
    CStation(const CStation&) = delete;
    CStation& operator=(const CStation&) = delete;

    // The loop, on the calling thread. The result of the last unit as shown
    // (a unit whose record could not be stored shows as failed), or nullopt
    // when it stopped before any unit ended.
    std::optional<UnitResult> Run();

    enum class StopEffect {
        EndsNow,           // no unit runs: Run() returns
        EndsAfterTheUnit,  // the unit finishes first; another request aborts it
        AbortsTheUnit,     // the unit ends at its next request, recorded aborted
    };
    StopEffect RequestStop();
    // Runs the box in the slot again as a rework when its serial is `serial`
    // (see above); any thread.
    void RequestRework(const std::string& serial);
    // Whether a unit runs now; any thread (a window asks before closing).
    bool InUnit() const { return m_inUnit.load(); }

private:
    bool StopRequested() const { return m_stopRequests.load() > 0; }
    std::optional<UnitResult> Loop();
    // The port for the operator: the watched port, or the COM number a scan found.
    std::string PortText() const;
    // Which physical port the box answered on, for its record.
    PortIdentity AnsweredPort() const;
    // Tells the operator what keeps the watched port from being probed, once
    // for each new problem.
    void SayPortProblem(const BoxWaitResult& attempt);
    // How the waits for a box go: the probe interval, the port problems said.
    BoxWaitOptions WaitOptions();
    // False when stopped first.
    bool WaitForBox();
    // False when stopped; true when the box went, or a rework was asked for
    // (the box is still there: the next unit takes it).
    bool WaitForRemoval();
    // When the box the options name as left behind is still in the slot,
    // waits for its removal; false when stopped.
    bool WaitForBoxLeftBehind();
    // The serial a rework was asked for (empty for none), cleared.
    std::string TakeRework();
    bool ReworkAsked() const;
    // Waits while the store can't take the next unit's record (see
    // CStoreGate); false when stopped.
    bool StoreOpen();
    // Asked before every request of a unit.
    bool AbortCheck() const;
    // Commits the unit's record; returns the record to show (failed at step
    // "record" when it could not be stored) and whether it was stored.
    UnitRecord Commit(const UnitOutcome& outcome, bool& stored);
    void Emit(StationEvent event);

    const Recipe& m_recipe;
    IRecordStore& m_store;
    IStationObserver& m_observer;
    const StationOptions m_options;

    // Declared before the link, whose trace hook feeds it, so it outlives it.
    CFlightRecorder m_recorder;
    CDeviceLink m_link;
    CBoxOperations m_box;

    std::atomic<int> m_stopRequests{0};
    // Raised by RequestStop, never cleared: ends the waits for a box.
    CWakeSignal m_stopSignal;
    // Raised by RequestStop and RequestRework: ends a wait for removal, which
    // clears it before it looks at both requests.
    CWakeSignal m_removalWake;
    // Set before the last look at the stop requests ahead of a unit, so a
    // request is either seen there or told that the unit finishes first.
    std::atomic<bool> m_inUnit{false};
    // Unit-loop thread only.
    CStoreGate m_storeGate;
    std::string m_unitId;
    std::string m_portPath;     // where the watched port led when the box answered
    std::string m_portProblem;  // what was last said about the watched port

    mutable std::mutex m_reworkMutex;
    std::string m_reworkSerial;
};
