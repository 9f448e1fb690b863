#pragma once
// vornak-cli records report: the shift report of a store's records as one
// HTML file (records/report/). The records command reads the command line;
// this writes the file and says so on stderr.

#include <cstdio>
#include <string>

#include "records/record_store.h"
#include "records/report/report_shifts.h"

// Writes the report of the records `filter` chooses to `path`. Returns the
// exit status: 0 written, 1 the file could not be written (`err` says why).
int RunRecordsReport(IRecordStore& store, const RecordFilter& filter, const ShiftSchedule& shifts,
                     const std::string& path, std::FILE* err);
