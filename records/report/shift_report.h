#pragma once
// Writing a shift report file: the records a filter chooses, read from any
// store, made into the report page and written whole (a failed write leaves
// the file as it was). For `vornak-cli records report` and for a station
// window's report button.
//
// Threads: any; the store serialises its own use. Local time is the
// process's (TZ).

#include <chrono>
#include <string>

#include "records/record_store.h"
#include "records/report/report_shifts.h"

// The report of the records `filter` chooses (its limit ignored), into
// `path`. `units` gets how many records it covers. False with `error` when
// the file can't be written.
bool WriteRecordsReport(IRecordStore& store, const RecordFilter& filter,
                        const ShiftSchedule& shifts, const std::string& path, std::size_t& units,
                        std::string& error);

// The report of the shift `now` falls in (from its start to its end), into
// `path`: what a station's report button writes.
bool WriteShiftReport(IRecordStore& store, std::chrono::system_clock::time_point now,
                      const ShiftSchedule& shifts, const std::string& path, std::string& error);

// Where a station's report button writes the report of the shift `now` falls
// in: `folder`/shift-report-2026-12-10-0600.html, named by the shift's local
// start, so a second click in one shift brings its report up to date.
std::string ShiftReportPath(const std::string& folder, std::chrono::system_clock::time_point now,
                            const ShiftSchedule& shifts);
