#include "cli/cli_report.h"

#include "cli/cli_options.h"
#include "records/report/shift_report.h"

int RunRecordsReport(IRecordStore& store, const RecordFilter& filter, const ShiftSchedule& shifts,
                     const std::string& path, std::FILE* err) {
    std::size_t units = 0;
    std::string error;
    if (!WriteRecordsReport(store, filter, shifts, path, units, error)) {
        std::fprintf(err, "vornak-cli: %s\n", error.c_str());
        return kExitFailure;
    }
    std::fprintf(err, "report of %zu records written to %s\n", units, path.c_str());
    return kExitSuccess;
}
