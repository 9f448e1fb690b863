#include "cli/cli_records_gate.h"

#include <vector>

#include "cli/cli_options.h"
#include "cli/cli_text_escape.h"
#include "records/record_store.h"

int RunRecordsGate(IRecordStore& store, const std::string& serial,
                   const std::optional<std::string>& variant, std::FILE* out, std::FILE* err) {
    // The last run is the newest record of the serial (of the variant).
    RecordFilter filter;
    filter.serial = serial;
    filter.variant = variant;
    filter.limit = 1;
    std::vector<UnitRecord> records;
    std::string error;
    if (!store.List(filter, records, error)) {
        std::fprintf(err, "vornak-cli: %s\n", EscapeForOutput(error).c_str());
        return kExitFailure;
    }
    const std::string what = serial + (variant ? " (" + *variant + ")" : "");
    if (records.empty()) {
        std::fprintf(out, "NEVER_RAN %s\n", EscapeForOutput(what).c_str());
        return kExitFailure;
    }
    const UnitRecord& last = records.front();
    const bool passed = last.result == UnitResult::Pass;
    std::string line = (passed ? "PASSED " : "NOT_PASSED ") + what + " " +
                       UnitResultName(last.result) + " " + last.variant + " " + last.startTime;
    if (!passed)
        line += " " + last.failedStep + " " + last.reasonCode;
    std::fprintf(out, "%s\n", EscapeForOutput(line).c_str());
    return passed ? kExitSuccess : kExitFailure;
}
