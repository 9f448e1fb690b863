#pragma once
// CStationBoard: what a station screen shows, kept apart from any toolkit so
// that it is tested without one: a tile per fixture slot (its state, step,
// transfer progress, the box's serial, the unit's times), the shift's
// counters and the latest records, all driven by the station's events.
//
// Threads: none of its own and no lock. The station calls its observer on
// the slots' threads; a front end copies each event (KeepStationEvent) and
// hands the copy to the board on the one thread that owns it (a window's GUI
// thread). Times are the caller's steady clock in milliseconds, so tests
// choose them.

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "records/unit_record.h"
#include "station/engine/station_events.h"

// The latest records a board keeps: more than a screen's list shows, few
// enough to redraw at every unit's end.
constexpr std::size_t kBoardRecords = 100;

enum class TileState {
    Waiting,  // no unit has started on the slot since its last result
    Running,  // a unit runs: `step`, progress
    Passed,   // the last unit passed (shown until the next unit starts)
    Failed,   // the last unit failed or was aborted: `failedStep`, reason
    // The box's serial already passed the recipe and nothing was stored:
    // not a failure, it wants a rework (or was put back by mistake).
    Refused,
};

struct StationTile {
    std::string slot;
    TileState state = TileState::Waiting;
    std::string step;             // Running: the step under way (its code)
    long long progressValue = 0;  // Running: the step's transfer, bytes
    long long progressTotal = 0;  // 0: the step moves no bytes (yet)
    // Running: the step goes on with no count to show (after the last
    // firmware packet, the box applying the update).
    bool busy = false;
    std::string serial;      // the box's, once identify read it
    bool aborted = false;    // Failed: the unit was aborted
    std::string failedStep;  // Failed: codes and the operator's words
    std::string reasonCode;
    std::string reasonText;
    bool removed = false;        // the box that gave the result was taken off
    long long unitStartMs = -1;  // -1: no unit yet
    long long unitEndMs = -1;    // -1: none ended since the last start
};

struct ShiftCounters {
    int passed = 0;
    int failed = 0;   // aborted units included
    int refused = 0;  // refusals of serials that passed: in no other figure
    // Units that were a serial's first run through the recipe (neither a
    // retry nor a rework), and how many of them passed.
    int firstRuns = 0;
    int firstRunPasses = 0;
    double cycleSecondsTotal = 0;  // over passed and failed units

    // Fraction 0..1 of first runs that passed; nullopt before any.
    std::optional<double> FirstPassYield() const;
    // Mean seconds per unit; nullopt before any.
    std::optional<double> MeanCycleSeconds() const;
};

// A station event with its own copy of the unit's record, to hand to another
// thread (the event's record pointer is valid during the call only).
struct KeptStationEvent {
    StationEvent event;
    std::optional<UnitRecord> record;
};
KeptStationEvent KeepStationEvent(const StationEvent& event);

// Whether a unit's end is a refusal of a serial that already passed (nothing
// stored), which the board counts apart from passes and failures.
bool IsRefusal(const KeptStationEvent& kept);

class CStationBoard {
public:
    explicit CStationBoard(const std::vector<std::string>& slots);

    // Applies one event at steady time `nowMs`. Returns the index of the tile
    // it changed, or -1 (an event for no known slot changes no tile; a unit's
    // end still counts and lists its record).
    int Apply(const KeptStationEvent& kept, long long nowMs);

    // Fills the list from the store (newest first) once it was read when the
    // screen opened: records the events added meanwhile stay in front, and
    // those added later go in front of them.
    void SetLatest(const std::vector<UnitRecord>& newestFirst);

    const std::vector<StationTile>& Tiles() const { return m_tiles; }
    const ShiftCounters& Counters() const { return m_counters; }
    const std::deque<UnitRecord>& Latest() const { return m_latest; }
    // The unit's running time, or its whole time once it ended; -1 for none.
    long long ElapsedMs(std::size_t tile, long long nowMs) const;
    bool AnyRunning() const;

private:
    void AddLatest(const UnitRecord& record);
    void CountUnit(const UnitRecord& record);

    std::vector<StationTile> m_tiles;
    ShiftCounters m_counters;
    std::deque<UnitRecord> m_latest;
};
