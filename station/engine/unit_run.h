#pragma once
// CUnitRun: one box through the recipe, from its identity to the record that
// describes the run; the station stores the record and shows the result.
//
// Steps, each timed and recorded with the notes the station made:
// identify (version, serial), interlock (what the store knows of the serial
// for this recipe), firmware (skipped when the box already reports the
// recipe's version; the version is checked afterwards), settings (read;
// for a factory-based recipe restore the factory settings unless the update
// just did, and want the recipe's complete configuration; for a box-based
// one lay the recipe's options over what was read; write, read back, compare
// all options),
// then each download and the jump. The first failing step ends the unit.
// A step cut short because the station held its requests back for an abort
// makes the unit aborted, with the step it was in. A failed or aborted record carries the flight
// recorder's frames.
//
// Threads: the unit loop's thread only.

#include <functional>
#include <string>

#include "link/port_identity.h"
#include "ops/op_result.h"
#include "records/record_store.h"
#include "records/unit_record.h"
#include "station/config/recipe.h"
#include "station/engine/station_events.h"
#include "station/engine/station_options.h"

class CBoxOperations;
class CFlightRecorder;

struct UnitOutcome {
    UnitRecord record;
    // False for a serial the interlock refused: storing that refusal would
    // make the serial's last run a failure, which the next attempt would
    // then be allowed to retry.
    bool store = true;
};

class CUnitRun {
public:
    using Emit = std::function<void(StationEvent event)>;

    CUnitRun(const Recipe& recipe, IRecordStore& store, CBoxOperations& box,
             CFlightRecorder& recorder, const StationOptions& options, Emit emit);

    // Lets the unit run a box with this serial that passed the recipe, as a
    // rework (as the rework option does for every serial); empty: none.
    void AllowReworkOf(std::string serial) { m_reworkSerial = std::move(serial); }

    UnitOutcome Run(const std::string& unitId, const PortIdentity& port);

private:
    bool Identify();
    bool Interlock(bool& store);
    bool Firmware();
    bool Settings();
    bool Downloads();

    void BeginStep(const char* name);
    // Ends the current step; false when it failed (the caller returns false).
    bool EndStep(bool ok);
    // Ends the current step as failed with `reason` and the operator's words;
    // `aborted`: cut short by an abort instead, which the record says.
    bool FailStep(const char* reason, const std::string& text, bool aborted = false);
    // Fails the current step with the reason the failed transaction in
    // `result` gives, or `noTransaction` and its text when nothing was sent.
    bool FailFromBox(const OpResult& result, const char* noTransaction,
                     const std::string& noTransactionText = {});
    void Note(const std::string& text);

    const Recipe& m_recipe;
    IRecordStore& m_store;
    CBoxOperations& m_box;
    CFlightRecorder& m_recorder;
    const StationOptions& m_options;
    Emit m_emit;
    std::string m_reworkSerial;
    bool m_updated = false;  // the firmware update ran to its end (and reset the settings)

    UnitRecord m_record;
    StepRecord m_step;
    long long m_stepStartMs = 0;
    long long m_lastProgressMs = -1;  // -1: none yet in this step
};
