// The PostgreSQL store while its server is away: records queue in the local
// file and reach the server once it is back, each exactly once, in order.
// These tests stop and start the test server (VORNAK_TEST_PG_CTL).

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "records/pg_record_store.h"
#include "records/report/shift_report.h"
#include "records/sqlite_record_store.h"
#include "tests/records/store_backend.h"
#include "tests/support/inserted.h"
#include "tests/support/temp_dir.h"

namespace {

// Queued records reach a server that is back within a few forwarder rounds;
// a slow machine gets ample room.
constexpr auto kForwardWait = std::chrono::seconds(20);

UnitRecord QueuedRecord(int number, UnitResult result = UnitResult::Fail) {
    UnitRecord record;
    record.id = "q-" + std::to_string(number);
    record.serial = "SQ" + std::to_string(number % 3);
    record.result = result;
    // One start time for all: List() then orders them by arrival alone.
    record.startTime = "2026-12-10T12:00:00.000Z";
    record.recipeSha256 = "9f2c1e";
    record.station = "east";
    return record;
}

void ServerCtl(const char* action) {
    const char* ctl = getenv("VORNAK_TEST_PG_CTL");
    ASSERT_NE(ctl, nullptr);
    ASSERT_EQ(std::system((std::string(ctl) + " " + action).c_str()), 0) << action;
}

// The server stopped for the test's scope, and started again at its end even
// when the test fails.
class CServerAway {
public:
    CServerAway() { ServerCtl("stop"); }
    ~CServerAway() { Back(); }
    void Back() {
        if (!m_back) {
            m_back = true;
            ServerCtl("start");
        }
    }

private:
    bool m_back = false;
};

// Whether a report of every record, made now, says it holds only the records
// waiting on this PC.
bool ReportSaysLocalOnly(IRecordStore& store) {
    CTempDir dir("vornak-pgreport");
    const std::string path = dir / "report.html";
    std::size_t units = 0;
    std::string error;
    EXPECT_TRUE(WriteRecordsReport(store, {}, ShiftSchedule{}, path, units, error)) << error;
    std::ostringstream page;
    page << std::ifstream(path).rdbuf();
    return page.str().find("id=\"local-only\"") != std::string::npos;
}

bool WaitForEmptyQueue(IRecordStore& store) {
    const auto deadline = std::chrono::steady_clock::now() + kForwardWait;
    while (store.QueuedCount() > 0) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

class PgQueueTest : public testing::Test {
protected:
    void SetUp() override {
        std::string why;
        m_backend = CStoreBackend::Create(Backend::Postgres, why);
        if (!m_backend)
            GTEST_SKIP() << why;
        if (getenv("VORNAK_TEST_PG_CTL") == nullptr)
            GTEST_SKIP() << "VORNAK_TEST_PG_CTL is not set: run under scripts/with-postgres.sh";
    }

    std::unique_ptr<CStoreBackend> m_backend;
};

TEST_F(PgQueueTest, RecordsMadeWhileTheServerIsAwayArriveOnceInOrder) {
    constexpr int kQueued = 12;
    auto station = m_backend->Open("east");
    std::string error;
    ASSERT_TRUE(Inserted(station->Insert(QueuedRecord(0), false)));

    CServerAway away;
    for (int i = 1; i <= kQueued; ++i) {
        // The pass-free check still holds against what the station knows.
        const UnitResult result = i == kQueued ? UnitResult::Pass : UnitResult::Fail;
        ASSERT_TRUE(Inserted(station->Insert(QueuedRecord(i, result), true))) << i;
    }
    EXPECT_EQ(station->QueuedCount(), static_cast<std::size_t>(kQueued));
    // The interlock answers from the local file meanwhile.
    ASSERT_EQ(QueuedRecord(kQueued).serial, "SQ0");
    EXPECT_EQ(station->Interlock("SQ0", "9f2c1e"), InterlockState::Passed);
    EXPECT_FALSE(station->Insert(QueuedRecord(99, UnitResult::Pass), true))
        << "a second pass of SQ0 queued although its last run passed";
    EXPECT_EQ(station->QueuedCount(), static_cast<std::size_t>(kQueued));
    EXPECT_EQ(ListRecords(*station).size(), static_cast<std::size_t>(kQueued + 1));
    // A report made meanwhile is not taken for the whole story.
    EXPECT_TRUE(ReportSaysLocalOnly(*station));

    away.Back();
    ASSERT_TRUE(WaitForEmptyQueue(*station)) << station->QueuedCount() << " still queued";
    EXPECT_FALSE(ReportSaysLocalOnly(*station));

    // What another station sees on the server.
    auto other = m_backend->Open("west");
    std::vector<std::string> arrived;
    for (const UnitRecord& record : ListRecords(*other)) {
        arrived.insert(arrived.begin(), record.id);
    }
    std::vector<std::string> expected;
    for (int i = 0; i <= kQueued; ++i) {
        expected.push_back("q-" + std::to_string(i));
    }
    EXPECT_EQ(arrived, expected);
}

// The station went down after the server committed a forwarded record but
// before the record left the outbox: it is sent again and stored once.
TEST_F(PgQueueTest, AForwardInDoubtIsStoredOnce) {
    std::string error;
    auto station = m_backend->Open("east");
    ASSERT_TRUE(Inserted(station->Insert(QueuedRecord(1), false)));
    station.reset();
    // The outbox as a crash between the server's commit and the dequeue
    // leaves it.
    SqliteExecute(m_backend->QueuePath("east"), "INSERT INTO outbox (id) VALUES ('q-1')");

    station = m_backend->Open("east");
    ASSERT_TRUE(WaitForEmptyQueue(*station));
    ASSERT_TRUE(Inserted(station->Insert(QueuedRecord(2), false)));
    auto other = m_backend->Open("west");
    std::vector<std::string> ids;
    for (const UnitRecord& record : ListRecords(*other)) {
        ids.push_back(record.id);
    }
    EXPECT_EQ(ids, (std::vector<std::string>{"q-2", "q-1"}));
}

TEST_F(PgQueueTest, AStationStartsWhileTheServerIsAway) {
    {
        CServerAway away;
        auto station = m_backend->Open("east");
        ASSERT_TRUE(station);
        std::string error;
        ASSERT_TRUE(Inserted(station->Insert(QueuedRecord(1, UnitResult::Pass), true)));
        EXPECT_EQ(station->QueuedCount(), 1u);
        away.Back();
        ASSERT_TRUE(WaitForEmptyQueue(*station));
    }
    auto other = m_backend->Open("west");
    EXPECT_EQ(other->Interlock("SQ1", "9f2c1e"), InterlockState::Passed);
}

}  // namespace
