// The shift report's figures from known records: shifts in local time, the
// headline's yield and percentile, the Pareto order, control limits.

#include "records/report/report_figures.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include "records/record_time.h"
#include "records/report/report_shifts.h"

namespace {

// Sets TZ for one test and puts the old one back.
class CTimeZoneScope {
public:
    explicit CTimeZoneScope(const char* zone) {
        if (const char* old = getenv("TZ"))
            m_old = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~CTimeZoneScope() {
        if (m_old)
            setenv("TZ", m_old->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> m_old;
};

std::chrono::system_clock::time_point At(const std::string& stored) {
    std::chrono::system_clock::time_point when;
    EXPECT_TRUE(RecordTimePoint(stored, when)) << stored;
    return when;
}

UnitRecord Unit(const std::string& start, UnitResult result, double seconds, bool retry = false,
                bool rework = false) {
    UnitRecord r;
    r.id = start;
    r.startTime = start;
    r.endTime = RecordTimeText(At(start) +
                               std::chrono::milliseconds(static_cast<long long>(seconds * 1000)));
    r.result = result;
    r.retry = retry;
    r.rework = rework;
    return r;
}

TEST(ReportShiftsTest, ReadsTheShiftStarts) {
    struct Case {
        const char* text;
        std::vector<int> minutes;  // empty: refused
    };
    const Case cases[] = {
        {"06:00,14:00,22:00", {360, 840, 1320}},
        {"00:00", {0}},
        {"07:30,19:30", {450, 1170}},
        {"14:00,06:00", {}},
        {"06:00,06:00", {}},
        {"6:00", {}},
        {"24:00", {}},
        {"06:00,", {}},
        {"", {}},
        {"06:00;14:00", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ShiftSchedule schedule{{1}};
        std::string error;
        EXPECT_EQ(ParseShiftSchedule(c.text, schedule, error), !c.minutes.empty()) << error;
        EXPECT_EQ(schedule.startMinutes, c.minutes.empty() ? std::vector<int>{1} : c.minutes);
    }
}

TEST(ReportShiftsTest, PlacesATimeInItsLocalShift) {
    ShiftSchedule three;
    std::string error;
    ASSERT_TRUE(ParseShiftSchedule("06:00,14:00,22:00", three, error)) << error;
    // What the help calls the default is the default.
    EXPECT_EQ(three.startMinutes, ShiftSchedule{}.startMinutes);
    struct Case {
        const char* zone;
        const char* when;  // stored, UTC
        const char* label;
    };
    const Case cases[] = {
        {"UTC0", "2026-12-10T06:00:00.000Z", "2026-12-10 06:00-14:00"},
        {"UTC0", "2026-12-10T13:59:59.999Z", "2026-12-10 06:00-14:00"},
        {"UTC0", "2026-12-10T23:30:00.000Z", "2026-12-10 22:00-06:00"},
        // Before the day's first shift: the night shift that began the day before.
        {"UTC0", "2026-12-10T05:59:00.000Z", "2026-12-09 22:00-06:00"},
        {"UTC0", "2026-01-01T01:00:00.000Z", "2025-12-31 22:00-06:00"},
        // Shifts are the plant's local hours: 22:30 UTC is 06:30 the next day at UTC+8.
        {"CST-8", "2026-12-10T22:30:00.000Z", "2026-12-11 06:00-14:00"},
        {"CST-8", "2026-12-10T13:00:00.000Z", "2026-12-10 14:00-22:00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.zone) + " " + c.when);
        CTimeZoneScope zone(c.zone);
        const ShiftSpan span = ShiftOf(three, At(c.when));
        EXPECT_EQ(span.label, c.label);
        EXPECT_LE(span.start, At(c.when));
        EXPECT_GT(span.end, At(c.when));
        EXPECT_EQ(span.end - span.start, std::chrono::hours(8));
    }
}

TEST(ReportFiguresTest, HeadlineCountsFirstRunsAndTheSlowTail) {
    CTimeZoneScope zone("UTC0");
    // Twenty units, cycle times 1..20 s; the 95th percentile by nearest rank
    // is the 19th value. Retries and reworks are not first runs.
    std::vector<UnitRecord> units;
    for (int i = 1; i <= 20; ++i) {
        char start[32];
        std::snprintf(start, sizeof start, "2026-12-10T08:%02d:00.000Z", i);
        const UnitResult result = i <= 3 ? UnitResult::Fail : UnitResult::Pass;
        units.push_back(Unit(start, i == 4 ? UnitResult::Aborted : result, i, i == 5, i == 6));
    }
    const ReportFigures f = ComputeReportFigures(units, ShiftSchedule{{360, 840, 1320}});
    EXPECT_EQ(f.period.units, 20);
    EXPECT_EQ(f.period.passed, 16);
    EXPECT_EQ(f.period.failed, 3);
    EXPECT_EQ(f.period.aborted, 1);
    // 18 first runs (not 5, not 6), of which 14 passed (not 1-4).
    ASSERT_TRUE(f.period.firstPassYield);
    EXPECT_DOUBLE_EQ(*f.period.firstPassYield, 14.0 / 18.0);
    EXPECT_DOUBLE_EQ(*f.period.meanCycleSeconds, 10.5);
    EXPECT_DOUBLE_EQ(*f.period.p95CycleSeconds, 19.0);
    ASSERT_EQ(f.shifts.size(), 1u);
    EXPECT_EQ(f.shifts[0].headline.units, 20);

    const ReportFigures none = ComputeReportFigures({}, ShiftSchedule{{0}});
    EXPECT_EQ(none.period.units, 0);
    EXPECT_FALSE(none.period.firstPassYield);
    EXPECT_FALSE(none.period.p95CycleSeconds);
    EXPECT_TRUE(none.bins.empty());
}

TEST(ReportFiguresTest, ParetoAndControlLimits) {
    CTimeZoneScope zone("UTC0");
    std::vector<UnitRecord> units;
    auto add = [&](const char* start, UnitResult result, double seconds, const char* step,
                   const char* reason) {
        UnitRecord r = Unit(start, result, seconds);
        r.slot = "A";
        r.failedStep = step;
        r.reasonCode = reason;
        units.push_back(r);
    };
    // Eleven alike and one far slower: beyond mean + 3 sigma even though it
    // pulls the mean and sigma itself.
    const double seconds[] = {40, 41, 40, 42, 41, 40, 41, 40, 42, 41, 40, 120};
    for (int i = 0; i < 12; ++i) {
        char start[32];
        std::snprintf(start, sizeof start, "2026-12-10T09:%02d:00.000Z", i);
        add(start, UnitResult::Pass, seconds[i], "", "");
    }
    add("2026-12-10T10:00:00.000Z", UnitResult::Fail, 40, "firmware", kReasonNoReply);
    add("2026-12-10T10:01:00.000Z", UnitResult::Fail, 40, "settings", kReasonVerifyMismatch);
    add("2026-12-10T10:02:00.000Z", UnitResult::Aborted, 40, "firmware", kReasonAborted);
    add("2026-12-10T10:03:00.000Z", UnitResult::Fail, 40, "settings", kReasonVerifyMismatch);

    const ReportFigures f = ComputeReportFigures(units, ShiftSchedule{{360}});
    ASSERT_EQ(f.pareto.size(), 3u);
    EXPECT_EQ(f.pareto[0].reasonCode, kReasonVerifyMismatch);
    EXPECT_EQ(f.pareto[0].count, 2);
    EXPECT_DOUBLE_EQ(f.pareto[0].cumulativeShare, 0.5);
    EXPECT_DOUBLE_EQ(f.pareto.back().cumulativeShare, 1.0);
    EXPECT_EQ(f.notPassed.size(), 4u);

    ASSERT_EQ(f.cycles.size(), 1u);
    const CycleRun& run = f.cycles[0];
    ASSERT_EQ(run.points.size(), 16u);
    int outside = 0;
    for (const CyclePoint& p : run.points)
        outside += p.outside ? 1 : 0;
    EXPECT_EQ(outside, 1);
    EXPECT_TRUE(run.points[11].outside);
    ASSERT_EQ(f.slots.size(), 1u);
    EXPECT_EQ(f.slots[0].units, 16);
    EXPECT_EQ(f.slots[0].failures, 4);
    // Two hours with units: 09 and 10.
    ASSERT_EQ(f.bins.size(), 2u);
    EXPECT_EQ(f.bins[0].label, "12-10 09:00");
    EXPECT_EQ(f.bins[1].units, 4);
}

}  // namespace
