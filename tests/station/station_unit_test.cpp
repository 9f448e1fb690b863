// One unit, and the loop, of the station against the box simulator.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <sstream>
#include <thread>

#include "layouts/option_table.h"
#include "link/command_codes.h"
#include "records/record_json.h"
#include "res/station_texts.h"
#include "station/board/event_json.h"
#include "station/config/digest.h"
#include "station_fixture.h"

namespace {

// Every field, compared through the record's JSON form.
void ExpectSameRecord(const UnitRecord& a, const UnitRecord& b) {
    EXPECT_EQ(RecordToJson(a), RecordToJson(b));
}

std::vector<std::string> StepNames(const UnitRecord& r) {
    std::vector<std::string> names;
    for (const StepRecord& s : r.steps)
        names.push_back(s.name);
    return names;
}

bool HasText(const std::vector<std::string>& texts, const std::string& part) {
    return std::any_of(texts.begin(), texts.end(),
                       [&](const std::string& t) { return t.find(part) != std::string::npos; });
}

TEST_F(StationTest, PassRunsEveryStepAndStoresTheRecordBeforeShowingIt) {
    UseRecipe(FullRecipeText());
    const UnitRecord r = RunOnce();

    EXPECT_EQ(r.result, UnitResult::Pass) << r.reasonCode << " " << r.reasonText;
    EXPECT_EQ(StepNames(r), (std::vector<std::string>{"identify", "interlock", "firmware",
                                                      "settings", "download", "jump"}));
    EXPECT_EQ(r.serial, kBoxSerialHex);
    EXPECT_EQ(r.versionBefore, "VBX-100 V2.3.1");
    EXPECT_EQ(r.versionAfter, kNewVersion);
    EXPECT_EQ(r.packageSha256, Sha256Hex(m_package.data(), m_package.size()));
    EXPECT_EQ(r.recipeSha256, m_recipe.sha256);
    EXPECT_EQ(r.station, "line-1");
    EXPECT_FALSE(r.portDevice.empty());
    EXPECT_TRUE(r.frameTrace.empty());  // kept for failures only
    const auto after = nlohmann::json::parse(r.settingsAfter);
    EXPECT_EQ(after["activePke"], true);
    EXPECT_EQ(after["crankTime"], 2);
    EXPECT_EQ(r.settingsAfterSha256, Sha256Hex(r.settingsAfter));
    EXPECT_TRUE(m_sim.Slot(1).sha1Matches);
    EXPECT_EQ(m_sim.LastJumpAddress(), std::optional<std::uint32_t>(2 * 0x1E000));

    // Stored whole, and stored when the end was shown.
    const auto stored = m_store.Records();
    ASSERT_EQ(stored.size(), 1u);
    ExpectSameRecord(stored.front(), r);
    const auto ends = m_events.OfKind(StationEventKind::UnitEnd);
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_TRUE(ends.front().event.stored);
    EXPECT_TRUE(ResultLine(r).starts_with("PASS 1234AB005E01 V-A1 ")) << ResultLine(r);

    // Each step started and ended once, in order, and the update showed progress.
    EXPECT_EQ(m_events.OfKind(StationEventKind::StepEnd).size(), r.steps.size());
    EXPECT_FALSE(m_events.OfKind(StationEventKind::Progress).empty());
    // The serial travels with every step's end from identify on, so a screen
    // shows whose unit runs before it ends.
    for (const KeptEvent& e : m_events.OfKind(StationEventKind::StepEnd))
        EXPECT_EQ(e.event.serial, kBoxSerialHex) << e.event.step;

    StationEvent end = ends.front().event;
    end.record = &r;
    const nlohmann::json j = StationEventToJson(end, "t");
    EXPECT_EQ(j["schema"], kStationEventSchema);
    EXPECT_EQ(j["event"], "unit_end");
    EXPECT_EQ(j["record"]["result"], "pass");
    EXPECT_EQ(j["record"]["steps"].size(), r.steps.size());
}

TEST_F(StationTest, BoxAlreadyAtTheVersionSkipsTheUpdate) {
    m_sim.SetVersion(kNewVersion);
    UseRecipe(FullRecipeText());
    const UnitRecord r = RunOnce();
    EXPECT_EQ(r.result, UnitResult::Pass) << r.reasonText;
    EXPECT_EQ(RequestCount(CMD_UPGRADE_BEGIN), 0u);
    ASSERT_GE(r.steps.size(), 3u);
    EXPECT_EQ(r.steps[2].name, "firmware");
    EXPECT_TRUE(r.steps[2].ok);
    EXPECT_EQ(r.versionAfter, kNewVersion);
}

// Whatever an earlier test left on the box, a factory-based recipe leaves one
// configuration, its own; a box-based one keeps the box's other values.
TEST_F(StationTest, SettingsBaseDecidesWhatTheUnitLeavesOnTheBox) {
    const OptionInfo* chirp = FindOptionByField("lockHornChirp");
    ASSERT_NE(chirp, nullptr);
    struct Case {
        const char* name;
        const char* base;
        bool update;         // the box is at an older version
        std::size_t resets;  // factory resets the box saw, the update's included
        bool leftoverKept;
    };
    const Case cases[] = {
        {"factory, update skipped", "", false, 1, false},
        {"factory, update ran", "base = \"factory\"\n", true, 1, false},
        {"box", "base = \"box\"\n", false, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_sim.ClearRequests();
        m_sim.SetVersion(c.update ? "VBX-100 V1.0.0" : kNewVersion);
        std::vector<std::uint8_t> block = m_sim.ConfigBlock(chirp->block);
        block[static_cast<std::size_t>(chirp->byte)] |= static_cast<std::uint8_t>(1u << chirp->bit);
        m_sim.SetConfigBlock(chirp->block, block);
        std::string text = FullRecipeText();
        text.insert(text.find("activePke"), c.base);
        UseRecipe(text);
        StationOptions options = Options();
        options.rework = true;  // the same serial each time
        const UnitRecord r = RunOnce(options);
        ASSERT_EQ(r.result, UnitResult::Pass) << r.reasonText;
        EXPECT_EQ(RequestCount(CMD_FACTORY_RESET), c.resets);
        // The update's own factory reset comes before the settings are read.
        EXPECT_EQ(r.settingsBefore.find("\"lockHornChirp\":true") != std::string::npos, !c.update);
        EXPECT_EQ(r.settingsAfter.find("\"lockHornChirp\":true") != std::string::npos,
                  c.leftoverKept);
        if (!c.leftoverKept) {
            EXPECT_EQ(r.settingsAfterSha256, ExpectedSettingsSha256(m_recipe));
            EXPECT_FALSE(r.settingsAfterSha256.empty());
        }
    }
}

// A fresh box holds the factory configuration as this tool defines it.
TEST_F(StationTest, FreshBoxHoldsTheFactoryConfiguration) {
    UseRecipe("name = \"n\"\nvariant = \"v\"\n[settings]\nbase = \"box\"\n");
    const UnitRecord r = RunOnce();
    ASSERT_EQ(r.result, UnitResult::Pass) << r.reasonText;
    EXPECT_EQ(r.settingsAfter, SettingsRecordText(FactorySettings()));
    EXPECT_EQ(RequestCount(CMD_FACTORY_RESET), 0u);
}

// Units that fail at one step: the step, the reason, and what was stored.
TEST_F(StationTest, FailuresNameTheirStepAndReason) {
    const OptionInfo* pke = FindOptionByField("activePke");
    ASSERT_NE(pke, nullptr);
    struct Case {
        const char* name;
        std::function<void(CBoxSimulator&)> fault;
        std::string recipe;
        std::string step;
        std::string reason;
        std::string detail;  // part of a status text of the failed step
    };
    const std::string wrongVersion = [] {
        std::string t = FullRecipeText();
        t.replace(t.find("VBX-100 V3.0.0"), 14, "VBX-100 V9.9.9");
        return t;
    }();
    const Case cases[] = {
        {"read-back mismatch",
         [&](CBoxSimulator& sim) {
             sim.SetStoreFault(SimStoreFault{pke->block, static_cast<std::size_t>(pke->byte),
                                             static_cast<std::uint8_t>(1u << pke->bit)});
         },
         FullRecipeText(), "settings", kReasonVerifyMismatch,
         "主动PKE (activePke): 应为 开启, 读回 关闭"},
        {"refused write",
         [](CBoxSimulator& sim) {
             SimOverride refused;
             refused.resultWord = 0x1234;
             sim.SetOverride(CMD_CONFIG_WRITE_2, refused);
         },
         FullRecipeText(), "settings", kReasonBoxRefused, "1234"},
        // Too short to be the block: taken for a frame of the box's own and
        // dropped, so no reply comes within the time-out, however often the
        // read is asked again.
        {"short settings reply, as a frame of the box's own",
         [](CBoxSimulator& sim) {
             SimOverride own;
             own.replyData = std::vector<std::uint8_t>{0x55, 0xAA, 0x07};
             sim.SetOverride(CMD_CONFIG_READ_2, own);
         },
         FullRecipeText(), "settings", kReasonNoReply, "EF03"},
        {"version after the update differs", [](CBoxSimulator&) {}, wrongVersion, "firmware",
         kReasonVersionMismatch, "VBX-100 V3.0.0"},
        {"silent jump",
         [](CBoxSimulator& sim) {
             SimOverride silent;
             silent.silent = true;
             sim.SetOverride(CMD_JUMP, silent);
         },
         FullRecipeText(), "jump", kReasonNoReply, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_sim.Stop();
        CBoxSimulator sim;
        ASSERT_TRUE(sim.Start(m_workspace.PortDir(), kStationPort));
        sim.SetRestartTime(kSimRestart);
        c.fault(sim);
        UseRecipe(c.recipe);
        const std::size_t before = m_store.Records().size();

        const UnitRecord r = RunOnce();
        EXPECT_EQ(r.result, UnitResult::Fail);
        EXPECT_EQ(r.failedStep, c.step);
        EXPECT_EQ(r.reasonCode, c.reason);
        ASSERT_FALSE(r.steps.empty());
        EXPECT_FALSE(r.steps.back().ok);
        EXPECT_TRUE(HasText(r.steps.back().statusTexts, c.detail));
        EXPECT_FALSE(r.frameTrace.empty());
        EXPECT_LE(r.frameTrace.size(), 64u);
        EXPECT_EQ(ResultLine(r),
                  "FAIL " + std::string(kBoxSerialHex) + " " + c.step + " " + c.reason);
        ASSERT_EQ(m_store.Records().size(), before + 1);
        ExpectSameRecord(m_store.Records().back(), r);
        sim.Stop();
    }
}

// The files are read when the recipe is loaded; replacing them afterwards
// (same size, a few bytes changed) changes nothing the box gets or the
// record says.
TEST_F(StationTest, FilesReplacedAfterTheRecipeLoadedAreNotSent) {
    const Bytes app(700, 0x5A);
    UseRecipe(FullRecipeText());
    for (const auto& [name, original] :
         {std::pair{"fw.pkg", m_package}, std::pair{"app.bin", app}}) {
        Bytes other = original;
        for (std::size_t i = other.size() - 8; i < other.size(); ++i)
            other[i] ^= 0xFF;
        WriteBytesFile(name, other);
    }
    const UnitRecord r = RunOnce();
    EXPECT_EQ(r.result, UnitResult::Pass) << r.reasonText;
    EXPECT_EQ(m_sim.UpgradeData(), Bytes(m_package.begin() + 32, m_package.end()));
    EXPECT_EQ(m_sim.Slot(1).data, app);
    EXPECT_EQ(r.packageSha256, Sha256Hex(m_package.data(), m_package.size()));
}

// A download or jump the box answers with a word other than success fails
// the unit unless the recipe says to ignore it; the record keeps every word.
TEST_F(StationTest, RefusedDownloadOrJumpFailsUnlessTheRecipeIgnoresIt) {
    SimOverride refused;
    refused.resultWord = 0x0001;
    SimOverride none;
    none.times = 0;
    struct Case {
        const char* name;
        std::uint16_t command;  // answered with 0001 every time
        bool ignore;
        UnitResult result;
        std::string failedStep;
        std::string downloadWords;
        std::string jumpWords;  // empty: no jump step ran
    };
    // 700 bytes: the information block and three packets.
    const Case cases[] = {
        {"refused packets", CMD_FILE_DATA, false, UnitResult::Fail, "download", "0001", ""},
        {"refused jump", CMD_JUMP, false, UnitResult::Fail, "jump", "EE00*4", "0001"},
        {"refused packets, ignored", CMD_FILE_DATA, true, UnitResult::Pass, "", "0001*4", "EE00"},
        {"refused jump, ignored", CMD_JUMP, true, UnitResult::Pass, "", "EE00*4", "0001"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_sim.SetOverride(CMD_FILE_DATA, none);
        m_sim.SetOverride(CMD_JUMP, none);
        m_sim.SetOverride(c.command, refused);
        m_sim.SetVersion(kNewVersion);  // no update: only the steps that matter here
        UseRecipe(FullRecipeText() + (c.ignore ? "ignore_result = true\n" : ""));
        StationOptions again = Options();
        again.rework = true;  // one box passes more than once here
        const UnitRecord r = RunOnce(again);
        EXPECT_EQ(r.result, c.result) << r.reasonText;
        EXPECT_EQ(r.failedStep, c.failedStep);
        if (c.result == UnitResult::Fail) {
            EXPECT_EQ(r.reasonCode, kReasonBoxRefused);
            EXPECT_NE(r.reasonText.find("0001"), std::string::npos) << r.reasonText;
        }
        std::map<std::string, std::string> words;
        for (const StepRecord& step : r.steps)
            words[step.name] = step.resultWords;
        EXPECT_EQ(words["download"], c.downloadWords);
        EXPECT_EQ(words["jump"], c.jumpWords);
        EXPECT_EQ(words["settings"], "");
    }
}

// The options are compared, not the bytes: a box that stores a byte no option
// maps otherwise than written still passes, and the record keeps both blocks.
TEST_F(StationTest, ByteNoOptionMapsStoredOtherwisePassesAndTheRecordKeepsBothBlocks) {
    constexpr int kBlock = 1;
    constexpr int kByte = 4;  // written as 0F
    ASSERT_TRUE(std::ranges::none_of(
        ::Options(), [](const OptionInfo& o) { return o.block == kBlock && o.byte == kByte; }));
    m_sim.SetStoreFault(SimStoreFault{kBlock, kByte, 0x01});
    UseRecipe(FullRecipeText());
    const UnitRecord r = RunOnce();
    EXPECT_EQ(r.result, UnitResult::Pass) << r.reasonText;

    const auto settings = std::find_if(r.steps.begin(), r.steps.end(),
                                       [](const StepRecord& s) { return s.name == "settings"; });
    ASSERT_NE(settings, r.steps.end());
    const auto blocks = [](const std::string& text) {
        std::vector<std::string> out;
        std::istringstream in(text);
        for (std::string b; in >> b;)
            out.push_back(b);
        return out;
    };
    std::vector<std::string> written = blocks(settings->blocksWritten);
    const std::vector<std::string> read = blocks(settings->blocksRead);
    ASSERT_EQ(written.size(), 3u);
    ASSERT_EQ(read.size(), 3u);
    EXPECT_EQ(written[0].substr(2 * kByte, 2), "0F");
    EXPECT_EQ(read[0].substr(2 * kByte, 2), "0E");
    // That byte is all that differs.
    written[0].replace(2 * kByte, 2, "0E");
    EXPECT_EQ(written, read);
    ExpectSameRecord(m_store.Records().back(), r);
}

TEST_F(StationTest, BoxRemovedMidUpdateFailsTheUnitWithItsReason) {
    m_package = MakeSamplePackage(kNewVersion, 64 * 1024);
    WriteBytesFile("fw.pkg", m_package);
    UseRecipe(FullRecipeText());
    // Paced at the line's real speed, so the transfer is still running when
    // the cable goes.
    m_sim.SetFaults({.throttleBaud = 115200});
    std::thread unplug([this] {
        m_sim.WaitForRequestCount(12, std::chrono::seconds(10));
        m_sim.Unplug();
    });
    const UnitRecord r = RunOnce();
    unplug.join();

    EXPECT_EQ(r.result, UnitResult::Fail);
    EXPECT_EQ(r.failedStep, "firmware");
    EXPECT_TRUE(r.reasonCode == kReasonNoReply || r.reasonCode == kReasonPortError) << r.reasonCode;
    EXPECT_EQ(r.versionAfter, "");  // not known after a failed update
    // The operator reads that the box needs the update again.
    EXPECT_TRUE(r.reasonText.starts_with(kTextUpdateUnfinished)) << r.reasonText;
    EXPECT_FALSE(r.frameTrace.empty());
    ASSERT_EQ(m_store.Records().size(), 1u);
    ExpectSameRecord(m_store.Records().front(), r);
}

TEST_F(StationTest, SecondStopDuringATransferAbortsAndRecordsTheStep) {
    m_package = MakeSamplePackage(kNewVersion, 16 * 1024);
    WriteBytesFile("fw.pkg", m_package);
    UseRecipe(FullRecipeText());
    CStation station(m_recipe, m_store, m_events, Options());
    int dataPackets = 0;
    std::atomic<int> firstEffect{-1};
    std::atomic<int> secondEffect{-1};
    m_sim.SetRequestHook([&](const SimRequest& request) {
        // The first stop lets the unit finish; the second, a few packets on,
        // aborts it.
        if (request.command != CMD_UPGRADE_DATA)
            return;
        if (++dataPackets == 10)
            firstEffect = static_cast<int>(station.RequestStop());
        if (dataPackets == 15)
            secondEffect = static_cast<int>(station.RequestStop());
    });
    const auto result = station.Run();
    m_sim.SetRequestHook(nullptr);

    EXPECT_EQ(firstEffect, static_cast<int>(CStation::StopEffect::EndsAfterTheUnit));
    EXPECT_EQ(secondEffect, static_cast<int>(CStation::StopEffect::AbortsTheUnit));
    EXPECT_EQ(result, std::optional<UnitResult>(UnitResult::Aborted));
    ASSERT_EQ(m_store.Records().size(), 1u);
    const UnitRecord r = m_store.Records().front();
    EXPECT_EQ(r.result, UnitResult::Aborted);
    EXPECT_EQ(r.failedStep, "firmware");
    EXPECT_EQ(r.reasonCode, kReasonAborted);
    EXPECT_EQ(dataPackets, 15);  // nothing was sent after the abort
    EXPECT_EQ(ResultLine(r), "FAIL 1234AB005E01 firmware ABORTED");
}

TEST_F(StationTest, StopBetweenUnitsEndsAtOnceAndOneStopLetsAUnitFinish) {
    UseRecipe(FullRecipeText());
    m_sim.SetFaults({.silent = true});  // no box answers: the station waits
    {
        CStation station(m_recipe, m_store, m_events, Options(false));
        std::thread stopper([&] {
            m_events.WaitFor(StationEventKind::Waiting, 1);
            EXPECT_EQ(station.RequestStop(), CStation::StopEffect::EndsNow);
        });
        EXPECT_EQ(station.Run(), std::nullopt);
        stopper.join();
    }
    m_sim.SetFaults({});
    CStation station(m_recipe, m_store, m_events, Options(false));
    int dataPackets = 0;
    m_sim.SetRequestHook([&](const SimRequest& request) {
        if (request.command == CMD_UPGRADE_DATA && ++dataPackets == 1)
            station.RequestStop();
    });
    EXPECT_EQ(station.Run(), std::optional<UnitResult>(UnitResult::Pass));
    m_sim.SetRequestHook(nullptr);
    EXPECT_EQ(m_store.Records().size(), 1u);
}

// A station's stdout belongs to its front end: the link's "ABC" for a bad
// checksum goes to stderr whoever runs the station.
TEST_F(StationTest, ChecksumDiagnosticGoesToStderr) {
    UseRecipe(FullRecipeText());
    SimOverride corrupt;
    corrupt.badChecksum = true;
    corrupt.times = 1;
    m_sim.SetOverride(CMD_CONFIG_READ_1, corrupt);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    RunOnce();
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(out.find("ABC"), std::string::npos) << out;
    EXPECT_NE(err.find("ABC"), std::string::npos) << err;
}

TEST_F(StationTest, InterlockRefusesAPassedSerialUnlessRework) {
    UseRecipe(FullRecipeText());
    ASSERT_EQ(RunOnce().result, UnitResult::Pass);

    const UnitRecord refused = RunOnce();
    EXPECT_EQ(refused.result, UnitResult::Fail);
    EXPECT_EQ(refused.failedStep, "interlock");
    EXPECT_EQ(refused.reasonCode, kReasonAlreadyPassed);
    EXPECT_FALSE(m_events.OfKind(StationEventKind::UnitEnd).back().event.stored);
    EXPECT_EQ(m_store.Records().size(), 1u);          // a refusal is not a run
    EXPECT_EQ(RequestCount(CMD_CONFIG_WRITE_1), 1u);  // the box was left alone

    StationOptions rework = Options();
    rework.rework = true;
    const UnitRecord again = RunOnce(rework);
    EXPECT_EQ(again.result, UnitResult::Pass);
    EXPECT_TRUE(again.rework);
    EXPECT_EQ(m_store.Records().size(), 2u);
}

// The operator asks for a rework of the refused box at the station's screen:
// the box still in the slot runs again, as a rework, only under its serial.
TEST_F(StationTest, ReworkAskedForTheRefusedBoxRunsItAgain) {
    UseRecipe(FullRecipeText());
    ASSERT_EQ(RunOnce().result, UnitResult::Pass);

    CStation station(m_recipe, m_store, m_events, Options(false));
    std::thread loop([&] { station.Run(); });
    const auto ends = [&] { return m_events.OfKind(StationEventKind::UnitEnd); };
    ASSERT_TRUE(m_events.WaitFor(StationEventKind::UnitEnd, 2));
    EXPECT_EQ(ends().back().record.reasonCode, kReasonAlreadyPassed);

    station.RequestRework("FFFF0000");  // another serial: refused again
    ASSERT_TRUE(m_events.WaitFor(StationEventKind::UnitEnd, 3));
    EXPECT_EQ(ends().back().record.reasonCode, kReasonAlreadyPassed);
    EXPECT_FALSE(ends().back().record.rework);

    station.RequestRework(kBoxSerialHex);
    ASSERT_TRUE(m_events.WaitFor(StationEventKind::UnitEnd, 4));
    station.RequestStop();
    loop.join();
    const UnitRecord rework = ends().back().record;
    EXPECT_EQ(rework.result, UnitResult::Pass);
    EXPECT_TRUE(rework.rework);
    EXPECT_EQ(m_store.Records().size(), 2u);
    EXPECT_TRUE(m_events.OfKind(StationEventKind::Removed).empty());
}

TEST_F(StationTest, SerialWhoseLastRunFailedIsRetried) {
    UseRecipe(FullRecipeText());
    SimOverride refused;
    refused.resultWord = 0x1234;
    refused.times = 1;
    m_sim.SetOverride(CMD_CONFIG_WRITE_1, refused);
    ASSERT_EQ(RunOnce().result, UnitResult::Fail);
    const UnitRecord retry = RunOnce();
    EXPECT_EQ(retry.result, UnitResult::Pass);
    EXPECT_TRUE(retry.retry);
}

TEST_F(StationTest, RecordTheStoreRefusesIsNeverShownAsPassed) {
    UseRecipe(FullRecipeText());
    m_store.RefuseInserts();
    const UnitRecord r = RunOnce();
    EXPECT_EQ(r.result, UnitResult::Fail);
    EXPECT_EQ(r.failedStep, "record");
    EXPECT_EQ(r.reasonCode, kReasonRecordError);
    EXPECT_TRUE(m_store.Records().empty());
}

// Without --once the loop waits for the box to go and takes the next one; a
// box that stays is probed, not run again, until a stop ends the wait.
TEST_F(StationTest, LoopTakesTheNextBoxAfterTheFirstIsRemoved) {
    UseRecipe("name = \"n\"\nvariant = \"v\"\n[settings]\nactivePke = true\n");
    // The fixture's box is not in these cases' slot.
    m_sim.Stop();
    PortChoice chosen;
    chosen.kind = PortChoice::Kind::Number;
    chosen.number = kStationPort + 1;
    const struct {
        const char* what;
        PortChoice port;
    } cases[] = {
        {"scan", PortChoice{}},
        {"chosen port", chosen},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CEventKeeper events;
        CTempRecordStore store;
        CBoxSimulator first;
        ASSERT_TRUE(first.Start(m_workspace.PortDir(), kStationPort + 1));
        first.SetSerial({0x77, 0x00});
        StationOptions options = Options(false);
        options.port = c.port;
        options.probeIntervalMs = 50;
        CStation station(m_recipe, store, events, options);
        std::thread loop([&] { station.Run(); });

        ASSERT_TRUE(events.WaitFor(StationEventKind::UnitEnd, 1));
        const std::uint64_t probes = first.RequestCount(CMD_GET_SERIAL);
        EXPECT_TRUE(first.WaitForRequestCount(first.RequestCount() + 4, kEventWait));
        EXPECT_GT(first.RequestCount(CMD_GET_SERIAL), probes);
        EXPECT_EQ(events.OfKind(StationEventKind::UnitStart).size(), 1u);
        first.Stop();
        ASSERT_TRUE(events.WaitFor(StationEventKind::Removed, 1));
        CBoxSimulator second;
        ASSERT_TRUE(second.Start(m_workspace.PortDir(), kStationPort + 1));
        second.SetSerial({0x77, 0x01});
        ASSERT_TRUE(events.WaitFor(StationEventKind::UnitEnd, 2));
        // The second box stays: only the stop ends the wait for its removal.
        EXPECT_EQ(station.RequestStop(), CStation::StopEffect::EndsNow);
        loop.join();
        second.Stop();

        const auto records = store.Records();
        ASSERT_EQ(records.size(), 2u);
        EXPECT_EQ(records[0].serial, "7700");
        EXPECT_EQ(records[1].serial, "7701");
        EXPECT_EQ(records[1].result, UnitResult::Pass);
        EXPECT_NE(records[0].id, records[1].id);
    }
}

}  // namespace
