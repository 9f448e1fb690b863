// The record stores' contract, one table of cases run against both backends.

#include <gtest/gtest.h>

#include <thread>

#include "records/record_schema.h"
#include "tests/records/store_backend.h"
#include "tests/support/inserted.h"

namespace {

constexpr char kRecipe[] = "9f2c1e";
constexpr char kOtherRecipe[] = "77aa01";

UnitRecord MakeRecord(const std::string& id, const std::string& serial, UnitResult result,
                      const std::string& startTime = "2026-12-10T08:00:00.000Z",
                      const std::string& recipe = kRecipe) {
    UnitRecord record;
    record.id = id;
    record.serial = serial;
    record.result = result;
    record.startTime = startTime;
    record.endTime = startTime;
    record.recipeSha256 = recipe;
    record.recipeName = "door-4";
    record.variant = "LHD";
    return record;
}

// Every field set, with text that needs care: quotes, commas, line breaks,
// Chinese status texts.
UnitRecord FullRecord() {
    UnitRecord record = MakeRecord("u-full", "0A1B2C3D", UnitResult::Fail);
    record.endTime = "2026-12-10T08:00:41.250Z";
    record.station = "line 2, \"east\"";
    record.operatorName = "王工";
    record.slot = "B";
    record.versionBefore = "BCM V1.0";
    record.versionAfter = "BCM V1.2";
    record.packageSha256 = std::string(64, 'e');
    record.settingsBefore = R"({"central_lock":1})";
    record.settingsAfter = R"({"central_lock":2})";
    record.settingsAfterSha256 = std::string(64, 'a');
    record.retry = true;
    record.rework = true;
    record.failedStep = "settings";
    record.reasonCode = kReasonVerifyMismatch;
    record.reasonText = "central_lock: wanted 2\ngot 1";
    record.steps = {{"identify", true, 120, {"设备连接成功."}},
                    {"settings", false, 900, {"正在写入...", "写入失败, 错误:EF03"}}};
    record.portDevice = "/dev/ttyUSB0";
    record.portByPath = "pci-0000:00:14.0-usb-0:2:1.0-port0";
    record.adapterSerial = "FT4X9";
    record.toolVersion = "1.2";
    record.frameTrace = {"> 7E 01 02", "< 7E 81 00"};
    record.bundleId = std::string(64, 'b');
    record.releaseNumber = 12;
    record.signerKeyId = "0123456789abcdef";
    record.rollback = true;
    return record;
}

RecordFilter Filter(std::optional<std::string> serial, std::optional<std::string> since = {},
                    std::optional<UnitResult> result = {}, std::size_t limit = 0) {
    RecordFilter filter;
    filter.serial = std::move(serial);
    filter.since = std::move(since);
    filter.result = result;
    filter.limit = limit;
    return filter;
}

std::vector<std::string> IdsOf(const std::vector<UnitRecord>& records) {
    std::vector<std::string> ids;
    for (const UnitRecord& record : records) {
        ids.push_back(record.id);
    }
    return ids;
}

class RecordStoreTest : public testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        std::string why;
        m_backend = CStoreBackend::Create(GetParam(), why);
        if (!m_backend)
            GTEST_SKIP() << why;
    }

    void InsertAll(IRecordStore& store, const std::vector<UnitRecord>& records) {
        for (const UnitRecord& record : records) {
            std::string error;
            ASSERT_TRUE(Inserted(store.Insert(record, false))) << record.id;
        }
    }

    // Runs of `serial` through kRecipe, oldest first, all before 09:00.
    void InsertHistory(IRecordStore& store, const std::string& serial,
                       const std::vector<UnitResult>& history) {
        int minute = 10;
        for (const UnitResult result : history) {
            InsertAll(store, {MakeRecord(serial + "-" + std::to_string(minute), serial, result,
                                         "2026-12-10T08:" + std::to_string(minute) + ":00.000Z")});
            ++minute;
        }
    }

    std::unique_ptr<CStoreBackend> m_backend;
};

TEST_P(RecordStoreTest, KeepsEveryFieldOfARecord) {
    auto store = m_backend->Open();
    const UnitRecord record = FullRecord();
    std::string error;
    ASSERT_TRUE(Inserted(store->Insert(record, true)));

    // Read back through a second connection: what was committed, not a cache.
    auto reader = m_backend->Open("b");
    EXPECT_EQ(FindRecord(*reader, record.id), record);
    EXPECT_EQ(FindRecord(*reader, "u-none"), std::nullopt);
}

TEST_P(RecordStoreTest, ListFiltersNewestFirst) {
    auto store = m_backend->Open();
    InsertAll(*store, {
                          MakeRecord("r1", "S1", UnitResult::Fail, "2026-12-09T10:00:00.000Z"),
                          MakeRecord("r2", "S1", UnitResult::Pass, "2026-12-10T09:00:00.000Z"),
                          MakeRecord("r3", "S2", UnitResult::Aborted, "2026-12-10T11:00:00.000Z"),
                          MakeRecord("r4", "S2", UnitResult::Pass, "2026-12-10T11:00:00.000Z"),
                          MakeRecord("r5", "S3", UnitResult::Fail, "2026-12-11T07:30:00.000Z"),
                      });
    struct Case {
        const char* name;
        RecordFilter filter;
        std::vector<std::string> ids;
    };
    const Case cases[] = {
        // Equal start times: the later insert counts as newer.
        {"all", {}, {"r5", "r4", "r3", "r2", "r1"}},
        {"serial", Filter("S1"), {"r2", "r1"}},
        {"unknown serial", Filter("S9"), {}},
        {"since a date", Filter({}, "2026-12-10"), {"r5", "r4", "r3", "r2"}},
        {"since an instant", Filter({}, "2026-12-10T11:00:00.000Z"), {"r5", "r4", "r3"}},
        {"result", Filter({}, {}, UnitResult::Pass), {"r4", "r2"}},
        {"aborted", Filter({}, {}, UnitResult::Aborted), {"r3"}},
        {"all filters", Filter("S2", "2026-12-10", UnitResult::Pass), {"r4"}},
        {"limit", Filter({}, {}, {}, 2), {"r5", "r4"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IdsOf(ListRecords(*store, c.filter)), c.ids);
    }
}

// A recall: which units left with a version, package or recipe, on a
// variant or station, in a time range, with a result.
TEST_P(RecordStoreTest, RecallFiltersNarrowTheList) {
    const std::string pkgA(64, 'a');
    const std::string pkgB(64, 'b');
    auto unit = [](const char* id, const char* start, UnitResult result, const char* version,
                   const std::string& package, const char* recipe, const char* variant,
                   const char* station) {
        UnitRecord record = MakeRecord(id, std::string("S-") + id, result, start, recipe);
        record.versionAfter = version;
        record.packageSha256 = package;
        record.variant = variant;
        record.station = station;
        return record;
    };
    auto store = m_backend->Open();
    InsertAll(*store, {
                          unit("r1", "2026-12-09T23:59:59.999Z", UnitResult::Pass, "V2.3.1", pkgA,
                               kRecipe, "LHD", "east"),
                          unit("r2", "2026-12-10T00:00:00.000Z", UnitResult::Pass, "V2.3.1", pkgA,
                               kRecipe, "RHD", "west"),
                          unit("r3", "2026-12-10T12:00:00.000Z", UnitResult::Fail, "V2.3.0", pkgB,
                               kOtherRecipe, "LHD", "east"),
                          unit("r4", "2026-12-11T00:00:00.000Z", UnitResult::Pass, "V2.3.1", pkgB,
                               kOtherRecipe, "LHD", "west"),
                          unit("r5", "2026-12-11T06:30:00.000Z", UnitResult::Aborted, "", "",
                               kRecipe, "LHD", "east"),
                      });
    struct Case {
        const char* name;
        RecordFilter filter;
        std::vector<std::string> ids;
    };
    const Case cases[] = {
        {"version", {.versionAfter = "V2.3.1"}, {"r4", "r2", "r1"}},
        {"version is matched whole", {.versionAfter = "V2.3"}, {}},
        {"package", {.packageSha256 = pkgB}, {"r4", "r3"}},
        {"recipe", {.recipeSha256 = kOtherRecipe}, {"r4", "r3"}},
        {"variant", {.variant = "RHD"}, {"r2"}},
        {"station", {.station = "east"}, {"r5", "r3", "r1"}},
        // The end is open: a unit that started exactly then is not before it.
        {"until a date", {.until = "2026-12-10"}, {"r1"}},
        {"until an instant", {.until = "2026-12-11T00:00:00.000"}, {"r3", "r2", "r1"}},
        {"one day", {.since = "2026-12-10", .until = "2026-12-11"}, {"r3", "r2"}},
        {"empty range", {.since = "2026-12-11", .until = "2026-12-10"}, {}},
        {"a recall: version over a range, passed",
         {.since = "2026-12-10",
          .until = "2026-12-12",
          .result = UnitResult::Pass,
          .versionAfter = "V2.3.1"},
         {"r4", "r2"}},
        {"station and variant", {.variant = "LHD", .station = "west"}, {"r4"}},
        {"with a limit", {.station = "east", .limit = 1}, {"r5"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IdsOf(ListRecords(*store, c.filter)), c.ids);
    }
}

// The view a plant's dashboards read: times as times, the cycle time in
// seconds, the flags as truth values; a record with no end time still shows.
TEST_P(RecordStoreTest, UnitsViewShowsEachUnit) {
    auto store = m_backend->Open();
    UnitRecord retried = FullRecord();  // 41.25 s, a retry and a rework
    UnitRecord first = MakeRecord("u-first", "S2", UnitResult::Pass);
    first.endTime = "";
    InsertAll(*store, {retried, first});
    const bool sqlite = GetParam() == Backend::Sqlite;
    struct Case {
        std::string sql;
        std::string value;
    };
    const Case cases[] = {
        {"SELECT COUNT(*) FROM vornak_units", "2"},
        {"SELECT CAST(ROUND(cycle_seconds * 1000) AS INTEGER) FROM vornak_units WHERE id = "
         "'u-full'",
         "41250"},
        {"SELECT COUNT(*) FROM vornak_units WHERE retry AND rework AND NOT first_run", "1"},
        {"SELECT release_number || ' ' || signer_key_id FROM vornak_units WHERE rollback AND "
         "bundle_id <> ''",
         "12 0123456789abcdef"},
        {"SELECT COUNT(*) FROM vornak_units WHERE first_run AND ended_at IS NULL AND "
         "cycle_seconds IS NULL",
         "1"},
        {sqlite ? "SELECT started_at FROM vornak_units WHERE id = 'u-first'"
                : "SELECT to_char(started_at AT TIME ZONE 'UTC', 'YYYY-MM-DD HH24:MI:SS.MS') "
                  "FROM vornak_units WHERE id = 'u-first'",
         sqlite ? "2026-12-10T08:00:00.000Z" : "2026-12-10 08:00:00.000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        EXPECT_EQ(m_backend->QueryValue(c.sql), c.value);
    }
}

// Records of release bundles: by bundle, number and signer, and the
// rollback check's "a later release passed for the variant" (numbers compare
// as numbers: 10 is above 9).
TEST_P(RecordStoreTest, ListFiltersByRelease) {
    auto store = m_backend->Open();
    auto released = [](const char* id, UnitResult result, const char* variant, std::int64_t number,
                       const char* signer) {
        UnitRecord r = MakeRecord(id, "S1", result);
        r.variant = variant;
        r.releaseNumber = number;
        r.bundleId = std::string(64, id[1]);
        r.signerKeyId = signer;
        return r;
    };
    InsertAll(*store, {
                          MakeRecord("r1", "S1", UnitResult::Pass),
                          released("r2", UnitResult::Pass, "LHD", 9, "k1"),
                          released("r3", UnitResult::Pass, "LHD", 10, "k2"),
                          released("r4", UnitResult::Pass, "RHD", 12, "k1"),
                          released("r5", UnitResult::Fail, "LHD", 11, "k1"),
                      });
    struct Case {
        const char* name;
        RecordFilter filter;
        std::vector<std::string> ids;
    };
    const Case cases[] = {
        {"bundle", {.bundleId = std::string(64, '3')}, {"r3"}},
        {"release", {.releaseNumber = 9}, {"r2"}},
        {"signer", {.signerKeyId = "k1"}, {"r5", "r4", "r2"}},
        {"passed above 9",
         {.result = UnitResult::Pass, .variant = "LHD", .releaseAbove = 9},
         {"r3"}},
        {"passed above 10", {.result = UnitResult::Pass, .variant = "LHD", .releaseAbove = 10}, {}},
        {"plain recipes are release 0",
         {.result = UnitResult::Pass, .variant = "LHD", .releaseAbove = -1},
         {"r3", "r2", "r1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IdsOf(ListRecords(*store, c.filter)), c.ids);
    }
}

TEST_P(RecordStoreTest, InterlockFollowsTheLastRunOfTheRecipe) {
    struct Case {
        const char* name;
        std::vector<UnitResult> history;  // oldest first, all through kRecipe
        InterlockState state;
    };
    const Case cases[] = {
        {"never run", {}, InterlockState::New},
        {"passed", {UnitResult::Pass}, InterlockState::Passed},
        {"failed", {UnitResult::Fail}, InterlockState::LastFailed},
        {"aborted", {UnitResult::Aborted}, InterlockState::LastFailed},
        {"failed, then passed", {UnitResult::Fail, UnitResult::Pass}, InterlockState::Passed},
        {"passed, then a rework failed",
         {UnitResult::Pass, UnitResult::Fail},
         InterlockState::LastFailed},
    };
    auto store = m_backend->Open();
    int serialNumber = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string serial = "S" + std::to_string(++serialNumber);
        InsertHistory(*store, serial, c.history);
        // Another recipe's runs of the same serial don't count.
        InsertAll(*store, {MakeRecord(serial + "-other", serial, UnitResult::Pass,
                                      "2026-12-10T09:00:00.000Z", kOtherRecipe)});
        EXPECT_EQ(store->Interlock(serial, kRecipe), c.state);
    }
}

TEST_P(RecordStoreTest, InsertingAStoredIdChangesNothing) {
    auto store = m_backend->Open();
    const UnitRecord first = MakeRecord("u-1", "S1", UnitResult::Pass);
    UnitRecord again = first;
    again.reasonText = "a second copy";
    std::string error;
    ASSERT_TRUE(Inserted(store->Insert(first, true)));
    // A pass sent again (a forward in doubt) is not refused as a second pass.
    EXPECT_TRUE(Inserted(store->Insert(again, true)));
    EXPECT_TRUE(Inserted(store->Insert(again, false)));
    EXPECT_EQ(IdsOf(ListRecords(*store)), std::vector<std::string>{"u-1"});
    EXPECT_EQ(FindRecord(*store, "u-1"), first);
}

// A row the store can't read back (a result name no tool writes) is an
// error that names the record, never a record left out of the answer.
TEST_P(RecordStoreTest, ARowThatCannotBeReadIsAnErrorNamingIt) {
    auto store = m_backend->Open();
    std::string error;
    ASSERT_TRUE(Inserted(store->Insert(MakeRecord("u-good", "S1", UnitResult::Pass), false)));
    ASSERT_TRUE(Inserted(store->Insert(MakeRecord("u-bad", "S2", UnitResult::Fail), false)));
    m_backend->Execute("UPDATE unit_records SET result = 'MAYBE' WHERE id = 'u-bad'");

    std::vector<UnitRecord> records;
    error.clear();
    EXPECT_FALSE(store->List({}, records, error));
    EXPECT_NE(error.find("u-bad"), std::string::npos) << error;
    std::optional<UnitRecord> record;
    error.clear();
    EXPECT_FALSE(store->Find("u-bad", record, error));
    EXPECT_NE(error.find("u-bad"), std::string::npos) << error;
    EXPECT_EQ(FindRecord(*store, "u-good")->serial, "S1");
}

TEST_P(RecordStoreTest, PassFreeInsertRefusesASecondPass) {
    struct Case {
        const char* name;
        std::vector<UnitResult> history;
        UnitResult result;
        bool requirePassFree;
        bool stored;
    };
    const Case cases[] = {
        {"first pass", {}, UnitResult::Pass, true, true},
        {"second pass", {UnitResult::Pass}, UnitResult::Pass, true, false},
        {"rework pass", {UnitResult::Pass}, UnitResult::Pass, false, true},
        {"fail after a pass", {UnitResult::Pass}, UnitResult::Fail, true, true},
        {"pass after a fail", {UnitResult::Fail}, UnitResult::Pass, true, true},
        {"pass after a failed rework",
         {UnitResult::Pass, UnitResult::Fail},
         UnitResult::Pass,
         true,
         true},
    };
    auto store = m_backend->Open();
    int serialNumber = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string serial = "P" + std::to_string(++serialNumber);
        InsertHistory(*store, serial, c.history);
        const UnitRecord record =
            MakeRecord(serial + "-new", serial, c.result, "2026-12-10T09:00:00.000Z");
        const InsertResult inserted = store->Insert(record, c.requirePassFree);
        const std::string& error = inserted.message;
        EXPECT_EQ(static_cast<bool>(inserted), c.stored) << error;
        EXPECT_EQ(FindRecord(*store, record.id).has_value(), c.stored);
        if (!c.stored) {
            EXPECT_NE(error.find("already passed"), std::string::npos) << error;
            EXPECT_EQ(inserted.outcome, InsertOutcome::AlreadyPassed);
        }
    }
}

// Two stations pass the same serial at the same moment, each through its own
// connection: exactly one record is stored, and the other is refused.
TEST_P(RecordStoreTest, TwoStationsRacingOnASerialPassItOnce) {
    constexpr int kRounds = 20;
    auto stationA = m_backend->Open("a");
    auto stationB = m_backend->Open("b");
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE(round);
        const std::string serial = "RACE" + std::to_string(round);
        std::atomic<bool> go{false};
        bool passed[2] = {false, false};
        auto run = [&](IRecordStore& store, int index) {
            while (!go) {
            }
            passed[index] = static_cast<bool>(store.Insert(
                MakeRecord(serial + "-" + std::to_string(index), serial, UnitResult::Pass), true));
        };
        std::thread a(run, std::ref(*stationA), 0);
        std::thread b(run, std::ref(*stationB), 1);
        go = true;
        a.join();
        b.join();
        EXPECT_NE(passed[0], passed[1]);
        EXPECT_EQ(ListRecords(*stationA, Filter(serial)).size(), 1u);
    }
}

TEST_P(RecordStoreTest, BringsAnOlderSchemaForward) {
    m_backend->BuildSchema(1);
    m_backend->Execute(
        "INSERT INTO unit_records (id, start_time, serial, result, recipe_sha256) "
        "VALUES ('old-1', '2026-01-05T10:00:00.000Z', 'S-OLD', 'pass', '9f2c1e')");
    ASSERT_EQ(m_backend->SchemaVersion(), 1);

    auto store = m_backend->Open();
    ASSERT_TRUE(store);
    const int latest =
        LatestVersion(GetParam() == Backend::Sqlite ? SqliteSchemaSteps() : PostgresSchemaSteps());
    EXPECT_EQ(m_backend->SchemaVersion(), latest);
    const std::optional<UnitRecord> old = FindRecord(*store, "old-1");
    ASSERT_TRUE(old);
    EXPECT_EQ(old->serial, "S-OLD");
    EXPECT_TRUE(old->steps.empty());
    EXPECT_EQ(store->Interlock("S-OLD", kRecipe), InterlockState::Passed);
    EXPECT_TRUE(Inserted(store->Insert(MakeRecord("new-1", "S-OLD", UnitResult::Fail), false)));
}

TEST_P(RecordStoreTest, RefusesASchemaNewerThanItKnows) {
    m_backend->Open().reset();
    const int newer = m_backend->SchemaVersion() + 1;
    m_backend->SetSchemaVersion(newer);

    std::string error;
    EXPECT_FALSE(m_backend->TryOpen("a", error));
    EXPECT_NE(error.find("newer"), std::string::npos) << error;
    EXPECT_EQ(m_backend->SchemaVersion(), newer);
}

INSTANTIATE_TEST_SUITE_P(Backends, RecordStoreTest,
                         testing::Values(Backend::Sqlite, Backend::Postgres),
                         [](const testing::TestParamInfo<Backend>& info) {
                             return BackendName(info.param);
                         });

TEST(OpenRecordStoreTest, ReadsTheKindOfStoreFromTheUrl) {
    CTempDir folder{"records"};
    struct Case {
        std::string url;
        bool opens;
    };
    const Case cases[] = {
        {"sqlite:" + folder.Path() + "/a.db", true},
        {folder.Path() + "/b.db", true},
        {"sqlite:", false},
        {"mysql://host/db", false},
        {"sqlite:" + folder.Path() + "/missing/c.db", false},
        // A server that does not answer is not an error: the store queues.
        {"postgresql://nobody@127.0.0.1:1/none", true},
        {"postgres://nobody@127.0.0.1:1/none", true},
        {"postgresql://host/db?nosuchsetting=1", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        std::string error;
        auto store = OpenRecordStore(c.url, folder.Path() + "/queue.db", error);
        EXPECT_EQ(store != nullptr, c.opens) << error;
        EXPECT_EQ(error.empty(), c.opens) << error;
    }
}

}  // namespace
