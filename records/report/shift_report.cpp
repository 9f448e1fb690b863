#include "records/report/shift_report.h"

#include <algorithm>

#include "base/file_replace.h"
#include "records/record_time.h"
#include "records/report/report_figures.h"
#include "records/report/report_html.h"

bool WriteRecordsReport(IRecordStore& store, const RecordFilter& filter,
                        const ShiftSchedule& shifts, const std::string& path, std::size_t& units,
                        std::string& error) {
    // Checked first, so a report that can't be written costs no query.
    if (!CanReplaceFile(path, error))
        return false;
    RecordFilter all = filter;
    all.limit = 0;
    std::vector<UnitRecord> records;
    if (!store.List(all, records, error))
        return false;
    units = records.size();
    ReportHeader header;
    header.localOnly = store.Status().away;
    header.filter = filter;
    header.made = LocalTimeText(std::chrono::system_clock::now());
    const std::string page =
        RenderReportHtml(ComputeReportFigures(std::move(records), shifts), header);
    return ReplaceFileWhole(path, page, error);
}

bool WriteShiftReport(IRecordStore& store, std::chrono::system_clock::time_point now,
                      const ShiftSchedule& shifts, const std::string& path, std::string& error) {
    const ShiftSpan shift = ShiftOf(shifts, now);
    RecordFilter filter;
    filter.since = RecordTimeText(shift.start);
    filter.until = RecordTimeText(shift.end);
    std::size_t units = 0;
    return WriteRecordsReport(store, filter, shifts, path, units, error);
}

std::string ShiftReportPath(const std::string& folder, std::chrono::system_clock::time_point now,
                            const ShiftSchedule& shifts) {
    std::string start = LocalTimeText(ShiftOf(shifts, now).start);  // "2026-12-10 06:00"
    std::replace(start.begin(), start.end(), ' ', '-');
    start.erase(std::remove(start.begin(), start.end(), ':'), start.end());
    return folder + "/shift-report-" + start + ".html";
}
