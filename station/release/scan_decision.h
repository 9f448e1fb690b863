#pragma once
// The barcode switch: what a station does with a scanned variant. The lookup
// (LookUpScan) reads the folder's recipes and bundles and asks the store
// about earlier releases, so a front end runs it off its GUI thread on
// values of its own; the decision (DecideScan) takes its answer and the
// slots' state as they are once the answer is back, on the front end's
// thread. A front end says the outcome in its own words. No threads of its
// own, no locks.

#include <chrono>
#include <memory>
#include <string>

#include "records/record_store.h"
#include "station/release/station_source.h"

// What the lookup of a scanned variant found.
enum class ScanFound {
    Other,            // a recipe or bundle other than the one running
    None,             // no usable one (unknown variant, unreadable files)
    Running,          // the very recipe (and bundle) the station runs
    RollbackRefused,  // an older release than one that passed, not allowed
};

struct ScanAnswer {
    ScanFound found = ScanFound::None;
    // What was found (Other, Running, RollbackRefused); null for None.
    std::shared_ptr<StationSource> next;
    // Why, for None and RollbackRefused.
    std::string error;
};

// Which recipe and bundle a station runs, copied for the lookup's thread.
struct RunningSource {
    std::string recipeSha256;
    std::string bundleId;  // empty for a plain recipe
};
RunningSource RunningSourceOf(const StationSource& source);

// Looks `variant` up in `lookup`'s folder (FindSourceByVariant) and, unless
// it is what runs, checks its release against `store` (CheckRollback).
ScanAnswer LookUpScan(const SourceLookup& lookup, IRecordStore& store, const std::string& variant,
                      const RunningSource& running, std::chrono::system_clock::time_point now);

// The slots as the answer finds them.
struct ScanSlotsState {
    bool stopping = false;     // the group is stopping (a switch under way)
    bool closing = false;      // the window's close was agreed
    bool unitRunning = false;  // a slot runs a unit
};

enum class ScanDecision {
    Ignore,         // a close or a switch began while the lookup ran
    SayNotFound,    // say the lookup's error
    SaySameRecipe,  // say the scanned recipe is already running
    SayRollback,    // say the release was refused, and why
    Switch,         // stop the group and start it on the new source
    AskThenSwitch,  // a unit runs: switch only when the operator agrees to abort it
};

ScanDecision DecideScan(ScanFound found, const ScanSlotsState& slots);
