#pragma once
// The station against the box simulator on a pseudo-terminal: a workspace of
// its own (port and working directory), a recipe written into it with the
// files it names, a SQLite store in a folder of its own and an observer that
// keeps every event.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "boxsim/box_simulator.h"
#include "station/config/recipe.h"
#include "station/engine/station.h"
#include "station/engine/station_events.h"
#include "tests/station/temp_record_store.h"
#include "tests/support/box_workspace.h"
#include "tests/support/quick_upgrade_timing.h"
#include "tests/support/test_files.h"

using Bytes = std::vector<std::uint8_t>;

inline const char kNewVersion[] = "VBX-100 V3.0.0";
inline const char kBoxSerialHex[] = "1234AB005E01";
constexpr int kStationPort = 4;
// The box restarts quickly here; the update's waits shrink to match.
constexpr std::chrono::milliseconds kSimRestart{30};
// Long enough for any unit here on a loaded machine.
constexpr std::chrono::seconds kEventWait{20};

// A copy of each event, the record of a unit's end included.
struct KeptEvent {
    StationEvent event;
    UnitRecord record;
};

class CEventKeeper : public IStationObserver {
public:
    void OnStationEvent(const StationEvent& e) override {
        std::lock_guard lock(m_mutex);
        KeptEvent kept{e, e.record != nullptr ? *e.record : UnitRecord{}};
        kept.event.record = nullptr;
        m_events.push_back(kept);
        m_cv.notify_all();
    }

    std::vector<KeptEvent> Events() const {
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    std::vector<KeptEvent> OfKind(StationEventKind kind) const {
        std::vector<KeptEvent> out;
        for (const KeptEvent& e : Events()) {
            if (e.event.kind == kind)
                out.push_back(e);
        }
        return out;
    }
    // Waits until `count` events of `kind` arrived.
    bool WaitFor(StationEventKind kind, std::size_t count) {
        return WaitUntil([&](const std::vector<KeptEvent>& events) {
            return static_cast<std::size_t>(std::count_if(
                       events.begin(), events.end(),
                       [&](const KeptEvent& e) { return e.event.kind == kind; })) >= count;
        });
    }
    // Waits until `seen` holds for the events so far, at most `limit`.
    bool WaitUntil(const std::function<bool(const std::vector<KeptEvent>&)>& seen,
                   std::chrono::seconds limit = kEventWait) {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, limit, [&] { return seen(m_events); });
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<KeptEvent> m_events;
};

class StationTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_sim.Start(m_workspace.PortDir(), kStationPort));
        m_sim.SetRestartTime(kSimRestart);
        m_package = MakeSamplePackage(kNewVersion, 600);
        WriteBytesFile("fw.pkg", m_package);
        WriteBytesFile("app.bin", Bytes(700, 0x5A));
    }
    void TearDown() override { m_sim.Stop(); }

    // Firmware, two options, a download with a jump.
    static std::string FullRecipeText() {
        return "name = \"Door module\"\n"
               "variant = \"V-A1\"\n"
               "[firmware]\n"
               "package = \"fw.pkg\"\n"
               "version = \"VBX-100 V3.0.0\"\n"
               "[settings]\n"
               "activePke = true\n"
               "crankTime = 2\n"
               "[[download]]\n"
               "file = \"app.bin\"\n"
               "slot = 1\n"
               "jump = true\n";
    }

    // Loads `text` as the recipe (recipe.toml in the working directory).
    void UseRecipe(const std::string& text) {
        WriteTextFile("recipe.toml", text);
        std::string error;
        ASSERT_TRUE(LoadRecipe(m_workspace.WorkDir() + "/recipe.toml", m_recipe, error)) << error;
    }

    StationOptions Options(bool once = true) const {
        StationOptions o;
        o.station = "line-1";
        o.operatorName = "op";
        o.port.kind = PortChoice::Kind::Number;
        o.port.number = kStationPort;
        o.once = once;
        o.timing = QuickUpgradeTiming();
        o.toolVersion = "test";
        return o;
    }

    // One unit with `once`; the record as the unit's end showed it.
    UnitRecord RunOnce(const StationOptions& options) {
        CStation station(m_recipe, m_store, m_events, options);
        const auto result = station.Run();
        const auto ends = m_events.OfKind(StationEventKind::UnitEnd);
        EXPECT_TRUE(result.has_value());
        if (ends.empty()) {
            ADD_FAILURE() << "no unit ended";
            return {};
        }
        EXPECT_EQ(ends.back().record.result, *result);
        return ends.back().record;
    }
    UnitRecord RunOnce() { return RunOnce(Options()); }

    std::size_t RequestCount(std::uint16_t command) const {
        std::size_t n = 0;
        for (const SimRequest& r : m_sim.Requests())
            n += r.command == command ? 1 : 0;
        return n;
    }

    CBoxWorkspace m_workspace{"station"};
    CBoxSimulator m_sim;
    Bytes m_package;
    Recipe m_recipe;
    CTempRecordStore m_store;
    CEventKeeper m_events;
};
