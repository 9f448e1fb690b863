// The shift report and the recall filters over a store filled by real
// station runs against box simulators: two slots, passes, failures of three
// reasons, a retry, a rework and an aborted unit, into a SQLite store and
// into a PostgreSQL store (scripts/with-postgres.sh). The figures must be
// those of the units that ran.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>

#include "layouts/option_table.h"
#include "link/command_codes.h"
#include "records/record_time.h"
#include "records/report/report_figures.h"
#include "records/report/shift_report.h"
#include "tests/records/store_backend.h"
#include "tests/station/station_fixture.h"

namespace {

constexpr int kPortB = 5;

// One unit: its slot's station, the serial its box reports, what goes wrong.
struct RunCase {
    char slot;  // 'A' on the fixture's simulator, 'B' on the second
    std::uint8_t serialTail;
    std::function<void(CBoxSimulator&)> fault;
    bool rework = false;
    bool abort = false;  // the station is stopped twice mid-update
    UnitResult result;
    const char* step;  // the failed step, "" for a pass
    const char* reason;
};

std::string SerialHex(std::uint8_t tail) {
    char text[16];
    std::snprintf(text, sizeof text, "1234AB005E%02X", tail);
    return text;
}

void StoreFault(CBoxSimulator& sim) {
    const OptionInfo* pke = FindOptionByField("activePke");
    ASSERT_NE(pke, nullptr);
    sim.SetStoreFault(SimStoreFault{pke->block, static_cast<std::size_t>(pke->byte),
                                    static_cast<std::uint8_t>(1u << pke->bit)});
}

void RefusedWrite(CBoxSimulator& sim) {
    SimOverride refused;
    refused.resultWord = 0x1234;
    sim.SetOverride(CMD_CONFIG_WRITE_2, refused);
}

void SilentJump(CBoxSimulator& sim) {
    SimOverride silent;
    silent.silent = true;
    sim.SetOverride(CMD_JUMP, silent);
}

// In run order. The first four run before the test's midpoint.
const RunCase kRuns[] = {
    {'A', 0x01, nullptr, false, false, UnitResult::Pass, "", ""},
    {'B', 0x02, StoreFault, false, false, UnitResult::Fail, "settings", kReasonVerifyMismatch},
    {'A', 0x03, RefusedWrite, false, false, UnitResult::Fail, "settings", kReasonBoxRefused},
    {'B', 0x04, StoreFault, false, false, UnitResult::Fail, "settings", kReasonVerifyMismatch},
    // 02 again: a retry that passes; 01 again: a rework.
    {'B', 0x02, nullptr, false, false, UnitResult::Pass, "", ""},
    {'A', 0x01, nullptr, true, false, UnitResult::Pass, "", ""},
    {'A', 0x05, SilentJump, false, false, UnitResult::Fail, "jump", kReasonNoReply},
    {'B', 0x06, nullptr, false, true, UnitResult::Aborted, "firmware", kReasonAborted},
};
constexpr std::size_t kRunsBeforeMidpoint = 4;

class StationRunsReportTest : public StationTest, public testing::WithParamInterface<Backend> {
protected:
    void SetUp() override {
        StationTest::SetUp();
        std::string why;
        m_backend = CStoreBackend::Create(GetParam(), why);
        if (!m_backend)
            GTEST_SKIP() << why;
        m_records = m_backend->Open("line");
        ASSERT_TRUE(m_simB.Start(m_workspace.PortDir(), kPortB));
        m_simB.SetRestartTime(kSimRestart);
        m_boxVersion = m_sim.Version();
        UseRecipe(FullRecipeText());
    }
    void TearDown() override {
        m_simB.Stop();
        StationTest::TearDown();
    }

    // Runs `run` through a station of its own, as its slot's station would,
    // on a box as it comes to the line.
    void Run(const RunCase& run) {
        CBoxSimulator& sim = run.slot == 'A' ? m_sim : m_simB;
        sim.SetVersion(m_boxVersion);
        sim.SetSerial({0x12, 0x34, 0xAB, 0x00, 0x5E, run.serialTail});
        sim.SetStoreFault(std::nullopt);
        sim.ClearOverrides();
        if (run.fault)
            run.fault(sim);
        StationOptions options = Options();
        options.station = std::string("line-") + run.slot;
        options.slot = std::string(1, run.slot);
        options.port.number = run.slot == 'A' ? kStationPort : kPortB;
        options.rework = run.rework;
        CStation station(m_recipe, *m_records, m_events, options);
        if (run.abort) {
            sim.SetRequestHook([&station](const SimRequest& request) {
                if (request.command == CMD_UPGRADE_DATA) {
                    station.RequestStop();
                    station.RequestStop();
                }
            });
        }
        const std::optional<UnitResult> result = station.Run();
        sim.SetRequestHook(nullptr);
        EXPECT_EQ(result, std::optional<UnitResult>(run.result));
    }

    // The figures of the report over `filter`, after writing the report.
    ReportFigures Report(const RecordFilter& filter) {
        const ShiftSchedule shifts;
        std::string error;
        std::size_t units = 0;
        EXPECT_TRUE(WriteRecordsReport(*m_records, filter, shifts, "report.html", units, error))
            << error;
        const std::vector<UnitRecord> records = ListRecords(*m_records, filter);
        EXPECT_EQ(units, records.size());
        return ComputeReportFigures(records, shifts);
    }

    CBoxSimulator m_simB;
    std::string m_boxVersion;  // before the update
    std::unique_ptr<CStoreBackend> m_backend;
    std::unique_ptr<IRecordStore> m_records;
};

TEST_P(StationRunsReportTest, ReportAndFiltersShowWhatRan) {
    std::string midpoint;
    for (std::size_t i = 0; i < std::size(kRuns); ++i) {
        SCOPED_TRACE(i);
        if (i == kRunsBeforeMidpoint)
            midpoint = RecordTimeText(std::chrono::system_clock::now());
        ASSERT_NO_FATAL_FAILURE(Run(kRuns[i]));
    }

    // What the units left in the store, each as it ran.
    std::vector<UnitRecord> stored = ListRecords(*m_records);
    ASSERT_EQ(stored.size(), std::size(kRuns));
    std::reverse(stored.begin(), stored.end());
    for (std::size_t i = 0; i < stored.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(stored[i].serial, SerialHex(kRuns[i].serialTail));
        EXPECT_EQ(stored[i].slot, std::string(1, kRuns[i].slot));
        EXPECT_EQ(stored[i].result, kRuns[i].result);
        EXPECT_EQ(stored[i].failedStep, kRuns[i].step);
        EXPECT_EQ(stored[i].reasonCode, kRuns[i].reason);
    }
    EXPECT_TRUE(stored[4].retry);
    EXPECT_TRUE(stored[5].rework);

    using Pareto = std::map<std::string, int>;                 // "step reason" -> count
    using Slots = std::map<std::string, std::pair<int, int>>;  // slot -> units, failures
    struct FilterCase {
        const char* name;
        RecordFilter filter;
        int units, passed, failed, aborted;
        Pareto pareto;
        Slots slots;
    };
    const FilterCase cases[] = {
        {"all",
         {},
         8,
         3,
         4,
         1,
         {{"settings VERIFY_MISMATCH", 2},
          {"settings BOX_REFUSED", 1},
          {"jump NO_REPLY", 1},
          {"firmware ABORTED", 1}},
         {{"A", {4, 2}}, {"B", {4, 3}}}},
        {"one station",
         {.station = "line-B"},
         4,
         1,
         2,
         1,
         {{"settings VERIFY_MISMATCH", 2}, {"firmware ABORTED", 1}},
         {{"B", {4, 3}}}},
        {"failed only",
         {.result = UnitResult::Fail},
         4,
         0,
         4,
         0,
         {{"settings VERIFY_MISMATCH", 2}, {"settings BOX_REFUSED", 1}, {"jump NO_REPLY", 1}},
         {{"A", {2, 2}}, {"B", {2, 2}}}},
        {"one serial",
         {.serial = SerialHex(0x02)},
         2,
         1,
         1,
         0,
         {{"settings VERIFY_MISMATCH", 1}},
         {{"B", {2, 1}}}},
        {"before the midpoint",
         {.until = midpoint},
         4,
         1,
         3,
         0,
         {{"settings VERIFY_MISMATCH", 2}, {"settings BOX_REFUSED", 1}},
         {{"A", {2, 1}}, {"B", {2, 2}}}},
        {"from the midpoint, this recipe and variant",
         {.since = midpoint, .recipeSha256 = m_recipe.sha256, .variant = m_recipe.variant},
         4,
         2,
         1,
         1,
         {{"jump NO_REPLY", 1}, {"firmware ABORTED", 1}},
         {{"A", {2, 1}}, {"B", {2, 1}}}},
        {"another variant", {.variant = "V-Z9"}, 0, 0, 0, 0, {}, {}},
    };
    for (const FilterCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ReportFigures f = Report(c.filter);
        EXPECT_EQ(f.period.units, c.units);
        EXPECT_EQ(f.period.passed, c.passed);
        EXPECT_EQ(f.period.failed, c.failed);
        EXPECT_EQ(f.period.aborted, c.aborted);
        Pareto pareto;
        for (const ParetoEntry& e : f.pareto)
            pareto[e.failedStep + " " + e.reasonCode] = e.count;
        EXPECT_EQ(pareto, c.pareto);
        if (!f.pareto.empty()) {
            EXPECT_DOUBLE_EQ(f.pareto.back().cumulativeShare, 1.0);
        }
        Slots slots;
        for (const FailureCount& s : f.slots)
            slots[s.name] = {s.units, s.failures};
        EXPECT_EQ(slots, c.slots);
    }

    // First runs only: 01, 02, 03, 04, 05 and 06, of which 01 passed.
    const ReportFigures all = Report({});
    ASSERT_TRUE(all.period.firstPassYield.has_value());
    EXPECT_DOUBLE_EQ(*all.period.firstPassYield, 1.0 / 6.0);
    ASSERT_FALSE(all.pareto.empty());
    EXPECT_EQ(all.pareto.front().reasonCode, kReasonVerifyMismatch);
}

INSTANTIATE_TEST_SUITE_P(Backends, StationRunsReportTest,
                         testing::Values(Backend::Sqlite, Backend::Postgres),
                         [](const testing::TestParamInfo<Backend>& info) {
                             return BackendName(info.param);
                         });

}  // namespace
