#pragma once
// What a station tells whoever shows it (the command-line tool prints lines
// or JSON, a window would draw tiles): one event type through one small
// interface, so every front end renders the same run.
//
// Threads: a station calls its observer on its own unit-loop thread, one
// event at a time. An observer of several stations (one per fixture slot)
// tells them apart by `slot` and must be safe to call from each of their
// threads; it must not call back into the station except RequestStop.

#include <cstdint>
#include <string>

#include "records/unit_record.h"

enum class StationEventKind {
    Waiting,    // looking for a box (text: the port, or empty for any)
    UnitStart,  // a box answered (text: the port)
    StepStart,  // step begins
    StepEnd,    // step ended: ok, durationMs, text = its last note
    Progress,   // a transfer moved on: value of total bytes
    UnitEnd,    // the unit is over: record (and whether it was stored)
    Removed,    // the box stopped answering
    Notice,     // words for the operator (text), e.g. what a stop request did
};

struct StationEvent {
    StationEventKind kind = StationEventKind::Notice;
    std::string slot;
    std::string unitId;
    std::string step;
    bool ok = false;
    std::uint32_t durationMs = 0;
    long long value = 0;
    long long total = 0;
    std::string text;
    // StepEnd: the box's serial once identify has read it (empty before), so
    // a front end can show whose unit runs before the unit ends.
    std::string serial;
    // UnitEnd: the unit's record, valid during the call only. `stored` says
    // whether it was committed to the store; when it was not, the record
    // says why (failed step "record").
    const UnitRecord* record = nullptr;
    bool stored = false;
};

class IStationObserver {
public:
    virtual ~IStationObserver() = default;
    virtual void OnStationEvent(const StationEvent& event) = 0;
};

// The operator's one line for a finished unit: "PASS <serial> <variant>
// <seconds>" or "FAIL <serial> <step> <reason>" (an aborted unit fails with
// reason ABORTED). Blanks inside the variant become '_' and an empty field
// shows as '-', so the line always splits into four words.
std::string ResultLine(const UnitRecord& record);
