// The records' own texts: unit ids, times, and the --since a user types.

#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <set>

#include "records/record_time.h"
#include "records/unit_id.h"

namespace {

TEST(RecordTextTest, UnitIdsAreVersion4UuidsThatDoNotRepeat) {
    const std::regex uuid("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}");
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) {
        const std::string id = NewUnitId();
        ASSERT_TRUE(std::regex_match(id, uuid)) << id;
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 1000u);
}

TEST(RecordTextTest, TimesAreUtcToTheMillisecond) {
    using namespace std::chrono;
    const sys_time<milliseconds> when = sys_days{2026y / 12 / 10} + 13h + 45min + 12s + 5ms;
    EXPECT_EQ(RecordTimeText(when), "2026-12-10T13:45:12.005Z");

    // A stored time reads back; a damaged one is refused, also a year the
    // clock cannot hold.
    system_clock::time_point back;
    ASSERT_TRUE(RecordTimePoint("2026-12-10T13:45:12.005Z", back));
    EXPECT_EQ(back, when);
    for (const char* damaged : {"4052-12-10T13:45:12.345Z", "2026-12-10T13:45:12Z", ""}) {
        SCOPED_TRACE(damaged);
        EXPECT_FALSE(RecordTimePoint(damaged, back));
    }
}

TEST(RecordTextTest, ReadsTheStartOfATimeRange) {
    struct Case {
        const char* text;
        const char* since;  // null: refused
    };
    const Case cases[] = {
        {"2026-12-10", "2026-12-10"},
        {"2026-12-10T13:45", "2026-12-10T13:45"},
        {"2026-12-10T13:45Z", "2026-12-10T13:45"},
        {"2026-12-10T13:45:12.5Z", "2026-12-10T13:45:12.5"},
        {"2026-12-10 13:45", nullptr},
        {"2026-13-10", nullptr},
        {"2026-12-10T24:00", nullptr},
        {"10.12.2026", nullptr},
        {"", nullptr},
        {"2026-12-10' OR 1=1 --", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::string since = "untouched";
        EXPECT_EQ(ParseRecordTime(c.text, since), c.since != nullptr);
        EXPECT_EQ(since, c.since != nullptr ? c.since : "untouched");
    }
}

}  // namespace
