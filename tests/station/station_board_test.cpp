// The station screen's toolkit-free parts: the board that turns events into
// tiles and counters, a record's detail text, recipes picked by variant.

#include "station/board/station_board.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <cstdlib>
#include <fstream>
#include <optional>

#include "layouts/option_table.h"
#include "layouts/settings_json.h"
#include "records/record_words.h"
#include "station/board/local_time.h"
#include "station/board/record_detail.h"
#include "station/config/recipe_catalog.h"
#include "tests/support/temp_dir.h"

namespace {

KeptStationEvent Event(StationEventKind kind, const std::string& slot) {
    KeptStationEvent kept;
    kept.event.kind = kind;
    kept.event.slot = slot;
    return kept;
}

KeptStationEvent End(const std::string& slot, UnitResult result, bool retry, const char* start,
                     const char* end, const char* reason = "") {
    KeptStationEvent kept = Event(StationEventKind::UnitEnd, slot);
    UnitRecord r;
    r.id = slot + start;
    r.slot = slot;
    r.serial = "S-" + slot;
    r.result = result;
    r.retry = retry;
    r.startTime = start;
    r.endTime = end;
    r.failedStep = result == UnitResult::Pass ? "" : "settings";
    r.reasonCode = reason;
    kept.record = r;
    return kept;
}

}  // namespace

TEST(StationBoard, TileFollowsAUnitAndKeepsItsResultUntilTheNext) {
    CStationBoard board({"A", "B"});
    EXPECT_EQ(board.Apply(Event(StationEventKind::UnitStart, "B"), 1000), 1);
    KeptStationEvent step = Event(StationEventKind::StepStart, "B");
    step.event.step = "firmware";
    board.Apply(step, 1100);
    KeptStationEvent progress = Event(StationEventKind::Progress, "B");
    progress.event.value = 256;
    progress.event.total = 1024;
    board.Apply(progress, 1200);
    KeptStationEvent identified = Event(StationEventKind::StepEnd, "B");
    identified.event.serial = "ABC";
    board.Apply(identified, 1300);

    const StationTile& b = board.Tiles()[1];
    EXPECT_EQ(b.state, TileState::Running);
    EXPECT_EQ(b.step, "firmware");
    EXPECT_EQ(b.progressValue, 256);
    EXPECT_FALSE(b.busy);
    // After the last packet the box applies the update: no count, busy.
    KeptStationEvent applying = progress;
    applying.event.total = -1;
    board.Apply(applying, 1250);
    EXPECT_TRUE(b.busy);
    EXPECT_EQ(b.progressTotal, 0);
    board.Apply(step, 1260);
    EXPECT_FALSE(b.busy);
    board.Apply(progress, 1270);
    EXPECT_EQ(b.serial, "ABC");
    EXPECT_EQ(board.ElapsedMs(1, 1500), 500);
    EXPECT_TRUE(board.AnyRunning());
    EXPECT_EQ(board.Tiles()[0].state, TileState::Waiting);
    EXPECT_EQ(board.ElapsedMs(0, 1500), -1);

    board.Apply(End("B", UnitResult::Aborted, false, "2026-12-10T10:00:00.000Z",
                    "2026-12-10T10:00:04.000Z", kReasonAborted),
                2000);
    EXPECT_EQ(b.state, TileState::Failed);
    EXPECT_TRUE(b.aborted);
    EXPECT_EQ(b.reasonCode, kReasonAborted);
    EXPECT_EQ(board.ElapsedMs(1, 9000), 1000);  // stops at the unit's end

    // Removal and the next wait keep the result in view; the next unit clears it.
    board.Apply(Event(StationEventKind::Removed, "B"), 2100);
    board.Apply(Event(StationEventKind::Waiting, "B"), 2200);
    EXPECT_EQ(b.state, TileState::Failed);
    EXPECT_TRUE(b.removed);
    board.Apply(Event(StationEventKind::UnitStart, "B"), 3000);
    EXPECT_EQ(b.state, TileState::Running);
    EXPECT_TRUE(b.serial.empty());
    EXPECT_TRUE(b.reasonCode.empty());
    // A unit cut off without an end (the station stopped) goes back to waiting.
    board.Apply(Event(StationEventKind::Waiting, "B"), 3100);
    EXPECT_EQ(b.state, TileState::Waiting);
}

TEST(StationBoard, CountersAndLatestRecords) {
    CStationBoard board({"A"});
    EXPECT_FALSE(board.Counters().FirstPassYield());
    EXPECT_FALSE(board.Counters().MeanCycleSeconds());
    board.SetLatest(
        {End("A", UnitResult::Pass, false, "2026-12-10T09:00:00.000Z", "2026-12-10T09:00:01.000Z")
             .record.value()});
    // A first run that fails, its retry that passes, another first pass, and
    // an end from a slot the board does not show (it still counts).
    board.Apply(End("A", UnitResult::Fail, false, "2026-12-10T10:00:00.000Z",
                    "2026-12-10T10:00:10.000Z", kReasonVerifyMismatch),
                1);
    board.Apply(
        End("A", UnitResult::Pass, true, "2026-12-10T10:01:00.000Z", "2026-12-10T10:01:20.000Z"),
        2);
    EXPECT_EQ(board.Apply(End("Z", UnitResult::Pass, false, "2026-12-10T10:02:00.000Z",
                              "2026-12-10T10:02:30.000Z"),
                          3),
              -1);
    const ShiftCounters& c = board.Counters();
    EXPECT_EQ(c.passed, 2);
    EXPECT_EQ(c.failed, 1);
    EXPECT_DOUBLE_EQ(*c.FirstPassYield(), 0.5);  // 1 of the 2 first runs
    EXPECT_DOUBLE_EQ(*c.MeanCycleSeconds(), 20.0);
    ASSERT_EQ(board.Latest().size(), 4u);
    EXPECT_EQ(board.Latest().front().slot, "Z");
    EXPECT_EQ(board.Latest().back().startTime, "2026-12-10T09:00:00.000Z");

    // A record already listed (read from the store after its commit) stays once.
    board.Apply(
        End("Z", UnitResult::Pass, false, "2026-12-10T10:02:00.000Z", "2026-12-10T10:02:30.000Z"),
        4);
    EXPECT_EQ(board.Latest().size(), 4u);
}

// The store's records are read off the window's thread and may arrive after
// a unit ended: the unit's record stays in front and is listed once.
TEST(StationBoard, StoredRecordsArrivingLateGoBehindTheUnitsOfNow) {
    CStationBoard board({"A"});
    const KeptStationEvent now =
        End("A", UnitResult::Pass, false, "2026-12-10T10:00:00.000Z", "2026-12-10T10:00:20.000Z");
    board.Apply(now, 1);
    const UnitRecord earlier =
        End("A", UnitResult::Fail, false, "2026-12-10T09:00:00.000Z", "2026-12-10T09:00:20.000Z")
            .record.value();
    // The store already holds the unit's record, committed before its end.
    board.SetLatest({now.record.value(), earlier});
    ASSERT_EQ(board.Latest().size(), 2u);
    EXPECT_EQ(board.Latest().front().id, now.record->id);
    EXPECT_EQ(board.Latest().back().id, earlier.id);
}

// A serial that already passed, refused and not stored, is neither a pass nor
// a failure: it counts apart and changes neither yield nor cycle time.
TEST(StationBoard, RefusalOfAPassedSerialCountsApart) {
    CStationBoard board({"A"});
    board.Apply(
        End("A", UnitResult::Pass, false, "2026-12-10T10:00:00.000Z", "2026-12-10T10:00:40.000Z"),
        1);
    struct Case {
        const char* step;
        const char* reason;
        bool stored;
        TileState state;
    };
    const Case cases[] = {
        {"interlock", kReasonAlreadyPassed, false, TileState::Refused},
        // Another station passed the serial while this one ran it.
        {"record", kReasonAlreadyPassed, false, TileState::Refused},
        {"interlock", kReasonDuplicateSerial, false, TileState::Failed},
    };
    int failed = 0;
    int refused = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        KeptStationEvent end = End("A", UnitResult::Fail, false, "2026-12-10T10:01:00.000Z",
                                   "2026-12-10T10:01:01.000Z", c.reason);
        end.record->failedStep = c.step;
        end.record->id += c.step + std::string(c.reason);
        end.event.stored = c.stored;
        board.Apply(end, 2);
        EXPECT_EQ(board.Tiles()[0].state, c.state);
        (c.state == TileState::Refused ? refused : failed) += 1;
        const ShiftCounters& counters = board.Counters();
        EXPECT_EQ(counters.refused, refused);
        EXPECT_EQ(counters.failed, failed);
        EXPECT_EQ(counters.passed, 1);
        EXPECT_EQ(board.Latest().size(), static_cast<std::size_t>(1 + failed));
    }
    EXPECT_DOUBLE_EQ(*board.Counters().FirstPassYield(), 0.5);  // the pass and the duplicate
    EXPECT_DOUBLE_EQ(*board.Counters().MeanCycleSeconds(), 20.5);
}

TEST(RecordDetail, SettingsDiffStepsAndFrames) {
    DeviceSettings before;
    for (const OptionInfo& o : Options()) {
        if (!o.IsFlag())
            before.*o.selection = 0;
    }
    DeviceSettings after = before;
    after.activePke = true;
    after.crankTime = 2;
    const std::string beforeText = SettingsToJson(before).dump();
    const std::string afterText = SettingsToJson(after).dump();
    EXPECT_EQ(SettingsDiff(beforeText, afterText),
              (std::vector<std::string>{"主动PKE (activePke): 关闭 -> 开启",
                                        "启动点火时间 (crankTime): 0.7秒 -> 0.9秒"}));
    EXPECT_TRUE(SettingsDiff(beforeText, beforeText).empty());
    EXPECT_TRUE(SettingsDiff("", afterText).empty());
    EXPECT_TRUE(SettingsDiff(R"({"activePke":true})", afterText).empty());

    UnitRecord r;
    r.result = UnitResult::Fail;
    r.failedStep = "settings";
    r.reasonCode = kReasonVerifyMismatch;
    r.reasonText = "读回不一致:主动PKE (activePke): 应为 开启, 读回 关闭";
    r.settingsBefore = beforeText;
    r.settingsAfter = afterText;
    r.versionBefore = "V1";
    r.versionAfter = "V2";
    r.steps = {{"identify", true, 120, {}}, {"settings", false, 800, {}}};
    r.frameTrace = {"> 55 AA 01", "< 55 AA 81"};
    const std::string text = RecordDetailText(r);
    for (const char* part :
         {"不合格", "写入配置", "配置读回不一致 (VERIFY_MISMATCH)",
          "主动PKE (activePke): 应为 开启", "启动点火时间 (crankTime): 0.7秒 -> 0.9秒", "V1 -> V2",
          "读取身份  120 ms", "> 55 AA 01", "< 55 AA 81"})
        EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
    EXPECT_EQ(text.find("发布包"), std::string::npos);
    r.result = UnitResult::Pass;
    r.frameTrace.clear();
    EXPECT_EQ(RecordDetailText(r).find("最后的帧"), std::string::npos);

    // A unit from a release bundle names it, and a rollback says so.
    r.bundleId = std::string(64, 'b');
    r.releaseNumber = 7;
    r.signerKeyId = "0123456789abcdef";
    r.rollback = true;
    const std::string released = RecordDetailText(r);
    for (const std::string& part : {std::string("版本号 7"), std::string("0123456789abcdef"),
                                    std::string("(回退)"), r.bundleId})
        EXPECT_NE(released.find(part), std::string::npos) << part << "\n" << released;
}

TEST(RecordDetail, TimesInLocalTimeLikeTheList) {
    const std::optional<std::string> zone =
        std::getenv("TZ") != nullptr ? std::optional<std::string>(std::getenv("TZ")) : std::nullopt;
    setenv("TZ", "UTC-8", 1);  // eight hours east of UTC, no daylight saving
    tzset();
    UnitRecord r;
    r.startTime = "2026-12-10T13:45:12.345Z";
    const std::string text = RecordDetailText(r);
    EXPECT_NE(text.find("开始: 2026-12-10 21:45:12"), std::string::npos) << text;
    EXPECT_EQ(LocalTimeText(r.startTime, false), "12-10 21:45:12");
    EXPECT_EQ(LocalTimeText("not a time", false), "not a time");
    if (zone)
        setenv("TZ", zone->c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST(StationBoard, TileNamesOptionsByCaptionAlone) {
    CStationBoard board({"A"});
    KeptStationEvent end = End("A", UnitResult::Fail, false, "2026-12-10T10:00:00.000Z",
                               "2026-12-10T10:00:01.000Z", kReasonVerifyMismatch);
    end.record->reasonText =
        "读回不一致:锁车输出时间 (lockOutputTime): 应为 2秒, 读回 1秒; 主动PKE (activePke): 应为 "
        "开启, 读回 关闭";
    board.Apply(end, 1);
    EXPECT_EQ(board.Tiles()[0].reasonText,
              "读回不一致:锁车输出时间: 应为 2秒, 读回 1秒; 主动PKE: 应为 开启, 读回 关闭");
}

TEST(StationWords, KnownCodesInWordsUnknownAsTheyAre) {
    EXPECT_EQ(ReasonWords(kReasonNoReply), "设备无应答");
    EXPECT_EQ(ReasonWords("NEW_CODE"), "NEW_CODE");
    EXPECT_EQ(StepWords("download"), "下载文件");
    EXPECT_EQ(StepWords("other"), "other");
}

TEST(RecipeCatalog, FindsTheOneRecipeOfAVariant) {
    CTempDir dir("catalog");
    const auto write = [&](const char* name, const std::string& text) {
        std::ofstream(dir.Path() + "/" + name) << text;
    };
    write("a.toml", "name = \"A\"\nvariant = \"V-A\"\n");
    write("b.toml", "name = \"B\"\nvariant = \"V-B\"\n");
    write("b2.toml", "name = \"B again\"\nvariant = \"V-B\"\n");
    write("broken.toml", "name = \n");
    write("notes.txt", "variant = \"V-C\"\n");
    write("slots.toml", "[[slot]]\nname = \"A\"\nport = \"COM3\"\n");

    Recipe recipe;
    recipe.name = "untouched";
    std::string error;
    EXPECT_TRUE(FindRecipeByVariant(dir.Path(), "  V-A\r\n", recipe, error)) << error;
    EXPECT_EQ(recipe.name, "A");

    struct Case {
        const char* scanned;
        const char* errorPart;
    };
    for (const Case& c :
         {Case{"V-C", "未知型号: V-C"}, Case{"V-C", "broken.toml"},
          Case{"V-B", "型号 V-B 有多个配方: b.toml b2.toml"}, Case{"   ", "扫描内容为空"}}) {
        SCOPED_TRACE(c.scanned);
        Recipe untouched;
        untouched.name = "untouched";
        EXPECT_FALSE(FindRecipeByVariant(dir.Path(), c.scanned, untouched, error));
        EXPECT_NE(error.find(c.errorPart), std::string::npos) << error;
        EXPECT_EQ(untouched.name, "untouched");
        // The slots file beside the recipes is no broken recipe.
        EXPECT_EQ(error.find("slots.toml"), std::string::npos) << error;
    }
}
