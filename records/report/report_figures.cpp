#include "records/report/report_figures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "records/record_time.h"
#include "records/unit_record.h"

namespace {

using SystemClock = std::chrono::system_clock;

bool Passed(const UnitRecord& record) {
    return record.result == UnitResult::Pass;
}

bool FirstRun(const UnitRecord& record) {
    return !record.retry && !record.rework;
}

std::optional<double> FirstPassYield(const std::vector<const UnitRecord*>& records) {
    int firstRuns = 0;
    int passes = 0;
    for (const UnitRecord* r : records) {
        if (FirstRun(*r)) {
            ++firstRuns;
            passes += Passed(*r) ? 1 : 0;
        }
    }
    if (firstRuns == 0)
        return std::nullopt;
    return static_cast<double>(passes) / firstRuns;
}

// The start of the local hour or day `when` falls in, and its label.
std::pair<SystemClock::time_point, std::string> BinOf(SystemClock::time_point when, bool days) {
    std::tm local = LocalCalendar(when);
    local.tm_min = 0;
    local.tm_sec = 0;
    if (days)
        local.tm_hour = 0;
    char label[64];
    if (days) {
        std::snprintf(label, sizeof label, "%02d-%02d", local.tm_mon + 1, local.tm_mday);
    } else {
        std::snprintf(label, sizeof label, "%02d-%02d %02d:00", local.tm_mon + 1, local.tm_mday,
                      local.tm_hour);
    }
    return {LocalInstant(local), label};
}

std::vector<FailureCount> CountBy(const std::vector<UnitRecord>& records,
                                  std::string UnitRecord::*field) {
    std::map<std::string, FailureCount> counts;
    for (const UnitRecord& r : records) {
        FailureCount& count = counts[r.*field];
        count.name = r.*field;
        ++count.units;
        count.failures += Passed(r) ? 0 : 1;
    }
    std::vector<FailureCount> list;
    for (auto& [name, count] : counts)
        list.push_back(count);
    return list;
}

CycleRun CycleRunOf(const std::string& slot, const std::vector<const UnitRecord*>& records) {
    CycleRun run;
    run.slot = slot;
    double sum = 0;
    for (const UnitRecord* r : records) {
        run.points.push_back({r->serial, UnitSeconds(*r), false});
        sum += run.points.back().seconds;
    }
    const double n = static_cast<double>(run.points.size());
    run.mean = sum / n;
    if (run.points.size() >= 2) {
        double squares = 0;
        for (const CyclePoint& p : run.points)
            squares += (p.seconds - run.mean) * (p.seconds - run.mean);
        run.sigma = std::sqrt(squares / (n - 1));
    }
    for (CyclePoint& p : run.points)
        p.outside = p.seconds > run.Upper() || p.seconds < run.Lower();
    return run;
}

}  // namespace

ReportHeadline HeadlineOf(const std::vector<const UnitRecord*>& records) {
    ReportHeadline h;
    std::vector<double> cycles;
    for (const UnitRecord* r : records) {
        ++h.units;
        switch (r->result) {
            case UnitResult::Pass:
                ++h.passed;
                break;
            case UnitResult::Fail:
                ++h.failed;
                break;
            case UnitResult::Aborted:
                ++h.aborted;
                break;
        }
        cycles.push_back(UnitSeconds(*r));
    }
    h.firstPassYield = FirstPassYield(records);
    if (!cycles.empty()) {
        std::sort(cycles.begin(), cycles.end());
        double sum = 0;
        for (const double c : cycles)
            sum += c;
        h.meanCycleSeconds = sum / static_cast<double>(cycles.size());
        // Nearest rank: the smallest value with at least 95% at or below it.
        const std::size_t rank =
            static_cast<std::size_t>(std::ceil(0.95 * static_cast<double>(cycles.size())));
        h.p95CycleSeconds = cycles[std::max<std::size_t>(rank, 1) - 1];
    }
    return h;
}

ReportFigures ComputeReportFigures(std::vector<UnitRecord> records, const ShiftSchedule& shifts) {
    // Stored times sort as text; equal ones keep the order they came in.
    std::stable_sort(records.begin(), records.end(), [](const UnitRecord& a, const UnitRecord& b) {
        return a.startTime < b.startTime;
    });
    ReportFigures f;
    std::vector<const UnitRecord*> all;
    for (const UnitRecord& r : records)
        all.push_back(&r);
    f.period = HeadlineOf(all);
    if (records.empty())
        return f;
    f.firstStart = records.front().startTime;
    f.lastStart = records.back().startTime;

    // Shifts and time bins: records whose start time can't be read are left out.
    std::vector<std::pair<SystemClock::time_point, const UnitRecord*>> timed;
    for (const UnitRecord& r : records) {
        SystemClock::time_point when;
        if (RecordTimePoint(r.startTime, when))
            timed.emplace_back(when, &r);
    }
    std::map<SystemClock::time_point, ShiftHeadline> byShift;
    std::map<SystemClock::time_point, std::vector<const UnitRecord*>> shiftUnits;
    for (const auto& [when, r] : timed) {
        const ShiftSpan span = ShiftOf(shifts, when);
        byShift[span.start].label = span.label;
        shiftUnits[span.start].push_back(r);
    }
    for (auto& [start, shift] : byShift) {
        shift.headline = HeadlineOf(shiftUnits[start]);
        f.shifts.push_back(shift);
    }

    if (!timed.empty()) {
        const auto span = timed.back().first - timed.front().first;
        f.binsAreDays = span > std::chrono::hours(kMaxHourBins);
    }
    std::map<SystemClock::time_point, std::pair<std::string, std::vector<const UnitRecord*>>> bins;
    for (const auto& [when, r] : timed) {
        auto [start, label] = BinOf(when, f.binsAreDays);
        bins[start].first = label;
        bins[start].second.push_back(r);
    }
    for (const auto& [start, bin] : bins) {
        f.bins.push_back(
            {bin.first, static_cast<int>(bin.second.size()), FirstPassYield(bin.second)});
    }

    std::map<std::pair<std::string, std::string>, int> reasons;
    int notPassed = 0;
    for (const UnitRecord& r : records) {
        if (Passed(r))
            continue;
        ++reasons[{r.failedStep, r.reasonCode}];
        ++notPassed;
        f.notPassed.push_back(r);
    }
    for (const auto& [key, count] : reasons)
        f.pareto.push_back({key.first, key.second, count, 0});
    std::stable_sort(f.pareto.begin(), f.pareto.end(),
                     [](const ParetoEntry& a, const ParetoEntry& b) { return a.count > b.count; });
    int running = 0;
    for (ParetoEntry& e : f.pareto) {
        running += e.count;
        e.cumulativeShare = static_cast<double>(running) / notPassed;
    }

    f.slots = CountBy(records, &UnitRecord::slot);
    f.adapters = CountBy(records, &UnitRecord::adapterSerial);
    std::map<std::string, std::vector<const UnitRecord*>> bySlot;
    for (const UnitRecord& r : records)
        bySlot[r.slot].push_back(&r);
    for (const auto& [slot, units] : bySlot)
        f.cycles.push_back(CycleRunOf(slot, units));
    return f;
}
