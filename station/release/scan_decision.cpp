#include "station/release/scan_decision.h"

#include "station/release/source_catalog.h"

RunningSource RunningSourceOf(const StationSource& source) {
    return {source.recipe.sha256, source.release ? source.release->bundleId : std::string()};
}

ScanAnswer LookUpScan(const SourceLookup& lookup, IRecordStore& store, const std::string& variant,
                      const RunningSource& running, std::chrono::system_clock::time_point now) {
    ScanAnswer answer;
    auto next = std::make_shared<StationSource>();
    if (!FindSourceByVariant(lookup.folder, variant, lookup.trust, now, *next, answer.error)) {
        answer.found = ScanFound::None;
        return answer;
    }
    answer.next = next;
    // The same recipe from another bundle (a new release of it) is a switch.
    const RunningSource found = RunningSourceOf(*next);
    if (found.recipeSha256 == running.recipeSha256 && found.bundleId == running.bundleId)
        answer.found = ScanFound::Running;
    else if (!CheckRollback(store, lookup.allowRollback, *next, answer.error))
        answer.found = ScanFound::RollbackRefused;
    else
        answer.found = ScanFound::Other;
    return answer;
}

ScanDecision DecideScan(ScanFound found, const ScanSlotsState& slots) {
    // Whatever was found, the station the scan was for is on its way out.
    if (slots.stopping || slots.closing)
        return ScanDecision::Ignore;
    switch (found) {
        case ScanFound::None:
            return ScanDecision::SayNotFound;
        case ScanFound::Running:
            return ScanDecision::SaySameRecipe;
        case ScanFound::RollbackRefused:
            return ScanDecision::SayRollback;
        case ScanFound::Other:
            break;
    }
    return slots.unitRunning ? ScanDecision::AskThenSwitch : ScanDecision::Switch;
}
