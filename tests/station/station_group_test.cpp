// Several slots at once: one station per slot, all against simulators on
// pseudo-terminals in one port folder, sharing the store and the observer.

#include "station/engine/station_group.h"

#include <gtest/gtest.h>

#include <future>

#include "link/command_codes.h"
#include "res/station_texts.h"
#include "station_fixture.h"
#include "tests/support/port_holder.h"

namespace {

constexpr int kPortB = 5;
constexpr int kPortC = 6;
const Bytes kSerialB = {0x12, 0x34, 0xAB, 0x00, 0x5E, 0x02};
const Bytes kSerialC = {0x12, 0x34, 0xAB, 0x00, 0x5E, 0x03};

SimOverride Silent() {
    SimOverride o;
    o.silent = true;
    return o;
}

// Opened by the test; a simulator's request hook waits on it to hold its box
// mid-run. Opened at the latest when the test ends, so no hook waits on.
class CGate {
public:
    ~CGate() { Open(); }
    void Open() {
        std::lock_guard lock(m_mutex);
        if (!m_open) {
            m_open = true;
            m_promise.set_value();
        }
    }
    void Pass() const { m_future.wait_for(kEventWait); }

private:
    std::mutex m_mutex;
    bool m_open = false;
    std::promise<void> m_promise;
    std::shared_future<void> m_future = m_promise.get_future().share();
};

class StationGroupTest : public StationTest {
protected:
    void SetUp() override {
        StationTest::SetUp();
        for (auto [sim, port] : {std::pair{&m_simB, kPortB}, std::pair{&m_simC, kPortC}}) {
            ASSERT_TRUE(sim->Start(m_workspace.PortDir(), port));
            sim->SetRestartTime(kSimRestart);
        }
        m_simB.SetSerial(kSerialB);
        m_simC.SetSerial(kSerialC);
        UseRecipe(FullRecipeText());
    }
    void TearDown() override {
        m_gate.Open();
        m_simB.Stop();
        m_simC.Stop();
        StationTest::TearDown();
    }

    // Slot A by COM name, B by bare number, C by device path.
    std::vector<StationSlot> Slots() const {
        return {{"A", "COM" + std::to_string(kStationPort)},
                {"B", std::to_string(kPortB)},
                {"C", m_simC.LinkPath()}};
    }

    // The unit end of each slot, by slot name.
    std::map<std::string, UnitRecord> Ends() const {
        std::map<std::string, UnitRecord> ends;
        for (const KeptEvent& e : m_events.OfKind(StationEventKind::UnitEnd))
            ends[e.event.slot] = e.record;
        return ends;
    }

    CBoxSimulator m_simB;
    CBoxSimulator m_simC;
    CGate m_gate;
};

TEST_F(StationGroupTest, EverySlotPassesWithItsNameInRecordsAndEvents) {
    CStationGroup group(m_recipe, m_store, m_events, Options(), Slots());
    std::string error;
    ASSERT_TRUE(group.Start(error)) << error;
    group.Wait();

    const auto results = group.Results();
    ASSERT_EQ(results.size(), 3u);
    for (const auto& r : results)
        EXPECT_EQ(r, UnitResult::Pass);
    std::map<std::string, std::string> serials;
    for (const UnitRecord& r : m_store.Records()) {
        EXPECT_EQ(r.result, UnitResult::Pass) << r.slot << " " << r.reasonText;
        serials[r.slot] = r.serial;
    }
    EXPECT_EQ(serials, (std::map<std::string, std::string>{
                           {"A", kBoxSerialHex}, {"B", "1234AB005E02"}, {"C", "1234AB005E03"}}));
    for (const KeptEvent& e : m_events.Events())
        EXPECT_TRUE(e.event.slot == "A" || e.event.slot == "B" || e.event.slot == "C");
    for (const CBoxSimulator* sim : {&m_sim, &m_simB, &m_simC})
        EXPECT_EQ(sim->Version(), kNewVersion);
}

// B falls silent and C is unplugged in the middle of their updates: A ends
// before B's reply wait runs out, and B and C fail on their own.
TEST_F(StationGroupTest, SilentAndUnpluggedSlotsDoNotHoldUpTheOthers) {
    m_simB.SetRequestHook([this](const SimRequest& r) {
        if (r.command == CMD_UPGRADE_DATA)
            m_simB.SetOverride(CMD_UPGRADE_DATA, Silent());
    });
    std::promise<void> cMidUpdate;
    std::once_flag cOnce;
    m_simC.SetRequestHook([&](const SimRequest& r) {
        if (r.command != CMD_UPGRADE_BEGIN)
            return;
        m_simC.SetOverride(CMD_UPGRADE_DATA, Silent());
        std::call_once(cOnce, [&] { cMidUpdate.set_value(); });
    });

    CStationGroup group(m_recipe, m_store, m_events, Options(), Slots());
    std::string error;
    ASSERT_TRUE(group.Start(error)) << error;
    ASSERT_EQ(cMidUpdate.get_future().wait_for(kEventWait), std::future_status::ready);
    m_simC.Unplug();

    // A's unit is over while B still waits for its reply.
    ASSERT_TRUE(m_events.WaitFor(StationEventKind::UnitEnd, 1));
    const auto first = Ends();
    ASSERT_EQ(first.count("B"), 0u) << "B ended before A";
    group.Wait();

    const auto ends = Ends();
    ASSERT_EQ(ends.size(), 3u);
    EXPECT_EQ(ends.at("A").result, UnitResult::Pass);
    EXPECT_EQ(ends.at("B").result, UnitResult::Fail);
    EXPECT_EQ(ends.at("B").failedStep, "firmware");
    EXPECT_EQ(ends.at("B").reasonCode, kReasonNoReply);
    EXPECT_EQ(ends.at("C").result, UnitResult::Fail);
    EXPECT_EQ(ends.at("C").failedStep, "firmware");
    EXPECT_EQ(ends.at("C").slot, "C");
}

// B's box answers its identity only once A holds the same serial (A is
// updating); the slots run on, so A holds the serial until its box goes.
TEST_F(StationGroupTest, SecondSlotWithTheSameSerialFailsDuplicate) {
    m_simB.SetSerial(Bytes{0x12, 0x34, 0xAB, 0x00, 0x5E, 0x01});
    m_sim.SetRequestHook([this](const SimRequest& r) {
        if (r.command == CMD_UPGRADE_BEGIN)
            m_gate.Open();
    });
    m_simB.SetRequestHook([this](const SimRequest& r) {
        if (r.command == CMD_GET_VERSION)
            m_gate.Pass();
    });
    CStationGroup group(
        m_recipe, m_store, m_events, Options(/*once=*/false),
        {{"A", "COM" + std::to_string(kStationPort)}, {"B", std::to_string(kPortB)}});
    std::string error;
    ASSERT_TRUE(group.Start(error)) << error;
    ASSERT_TRUE(m_events.WaitFor(StationEventKind::UnitEnd, 2));
    EXPECT_EQ(group.Stop(), CStation::StopEffect::EndsNow);
    group.Wait();

    const auto ends = Ends();
    EXPECT_EQ(ends.at("A").result, UnitResult::Pass);
    const UnitRecord& b = ends.at("B");
    EXPECT_EQ(b.result, UnitResult::Fail);
    EXPECT_EQ(b.failedStep, "interlock");
    EXPECT_EQ(b.reasonCode, kReasonDuplicateSerial);
    EXPECT_NE(b.reasonText.find("工位 A"), std::string::npos) << b.reasonText;
    EXPECT_EQ(b.slot, "B");
    // Only A's run is the serial's history.
    const auto stored = m_store.Records();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored.front().slot, "A");
}

// A slot whose port another process holds says so with the holder, a slot
// whose stable name leads nowhere says that; each once, in Chinese first with
// the technical cause after, and the held slot says the port is back and runs
// when the port is let go.
TEST_F(StationGroupTest, PortProblemsAreSaidOnceWithTheHolder) {
    CPortHolder holder(m_sim.SlavePath());
    ASSERT_TRUE(holder.Ready());
    const std::string missing = "/dev/serial/by-id/usb-Nobody_Cable-if00-port0";
    StationOptions options = Options();
    options.probeIntervalMs = 20;
    CStationGroup group(m_recipe, m_store, m_events, options,
                        {{"A", "COM" + std::to_string(kStationPort)}, {"B", missing}});
    std::string error;
    ASSERT_TRUE(group.Start(error)) << error;
    ASSERT_TRUE(m_events.WaitFor(StationEventKind::Notice, 2));
    const pid_t holderPid = holder.Pid();
    holder.Release();
    ASSERT_TRUE(m_events.WaitFor(StationEventKind::UnitEnd, 1));
    EXPECT_EQ(group.Stop(), CStation::StopEffect::EndsNow);
    group.Wait();

    std::map<std::string, std::vector<std::string>> notices;
    for (const KeptEvent& e : m_events.OfKind(StationEventKind::Notice))
        notices[e.event.slot].push_back(e.event.text);
    ASSERT_EQ(notices["A"].size(), 2u);
    EXPECT_TRUE(notices["A"][0].starts_with(std::string(kTextPortBusy) + " / ")) << notices["A"][0];
    EXPECT_NE(notices["A"][0].find("busy: held by another process: PID " +
                                   std::to_string(holderPid) + " (sleep)"),
              std::string::npos)
        << notices["A"][0];
    EXPECT_EQ(notices["A"][1], kTextPortBack);
    ASSERT_EQ(notices["B"].size(), 1u);
    EXPECT_TRUE(
        notices["B"][0].starts_with(std::string(kTextPortGone) + " / " + missing + ": gone"))
        << notices["B"][0];
    EXPECT_EQ(Ends().at("A").result, UnitResult::Pass);
}

}  // namespace
