#pragma once
// The figures of a shift report, computed from unit records: the headline
// for the period and per shift, units and first-pass yield over time, the
// failure reasons in Pareto order, failures per slot and per adapter, and
// each slot's cycle times with their control limits. Pure: the records in,
// the figures out; local time as report_shifts.h places it.
//
// A unit "did not pass" when it failed or was aborted; such units make the
// Pareto, the per-slot and per-adapter failures and the table. The
// first-pass yield is that of first runs (neither a retry nor a rework), as
// the station window counts it. Cycle time is a unit's start to its end.

#include <optional>
#include <string>
#include <vector>

#include "records/report/report_shifts.h"
#include "records/unit_record.h"

struct ReportHeadline {
    int units = 0;
    int passed = 0;
    int failed = 0;
    int aborted = 0;
    std::optional<double> firstPassYield;  // 0..1; none without a first run
    std::optional<double> meanCycleSeconds;
    std::optional<double> p95CycleSeconds;  // nearest rank
};

struct ShiftHeadline {
    std::string label;  // the shift as it ran, "2026-12-10 06:00-14:00"
    ReportHeadline headline;
};

// Units started in one hour (or one day, for a long period).
struct TimeBin {
    std::string label;  // "12-10 13:00", or "12-10" for a day
    int units = 0;
    std::optional<double> firstPassYield;
};

struct ParetoEntry {
    std::string failedStep;  // codes, as stored
    std::string reasonCode;
    int count = 0;
    double cumulativeShare = 0;  // 0..1, this entry and all before it
};

// Units and those that did not pass, for one slot or adapter.
struct FailureCount {
    std::string name;  // as stored; empty when the records name none
    int units = 0;
    int failures = 0;
};

struct CyclePoint {
    std::string serial;
    double seconds = 0;
    bool outside = false;  // beyond mean +- 3 sigma
};

struct CycleRun {
    std::string slot;
    std::vector<CyclePoint> points;  // in start order
    double mean = 0;
    double sigma = 0;  // sample standard deviation; 0 below two points
    double Upper() const { return mean + 3 * sigma; }
    double Lower() const { return mean - 3 * sigma; }
};

struct ReportFigures {
    ReportHeadline period;
    std::vector<ShiftHeadline> shifts;  // in time order
    bool binsAreDays = false;           // the period spans more than kMaxHourBins hours
    std::vector<TimeBin> bins;          // only those with units, in time order
    std::vector<ParetoEntry> pareto;    // most frequent first
    std::vector<FailureCount> slots;    // by name
    std::vector<FailureCount> adapters;
    std::vector<CycleRun> cycles;       // by slot name
    std::vector<UnitRecord> notPassed;  // in start order
    std::string firstStart, lastStart;  // stored times; empty without records
};

// A period longer than this many hours is shown per day.
constexpr int kMaxHourBins = 72;

// `records` in any order.
ReportFigures ComputeReportFigures(std::vector<UnitRecord> records, const ShiftSchedule& shifts);

// The headline of `records` alone.
ReportHeadline HeadlineOf(const std::vector<const UnitRecord*>& records);
