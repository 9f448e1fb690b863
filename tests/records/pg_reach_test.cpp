// Reaching the PostgreSQL server: a server that refuses the station's
// configuration stops it at the start; one that is away, frozen or stuck
// behind a lock turns into records queued locally (and said), never into a
// hang.

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "records/pg_connection.h"
#include "records/pg_record_store.h"
#include "tests/records/store_backend.h"
#include "tests/support/inserted.h"
#include "tests/support/temp_dir.h"

namespace {

// Far past every time-out of the store: a call that takes this long hangs.
constexpr auto kHang = std::chrono::seconds(60);
constexpr auto kForwardWait = std::chrono::seconds(30);

std::string Replaced(std::string text, const std::string& what, const std::string& with) {
    const auto at = text.find(what);
    if (at != std::string::npos)
        text.replace(at, what.size(), with);
    return text;
}

std::string WithQuery(const std::string& url, const std::string& setting) {
    return url + (url.find('?') == std::string::npos ? "?" : "&") + setting;
}

UnitRecord Record(const std::string& id) {
    UnitRecord record;
    record.id = id;
    record.serial = "SR-" + id;
    record.result = UnitResult::Pass;
    record.startTime = "2026-12-10T12:00:00.000Z";
    record.recipeSha256 = "9f2c1e";
    return record;
}

// Every status the store's hook heard, in order.
class CStatusLog {
public:
    void Hear(const StoreStatus& status) {
        std::lock_guard lock(m_mutex);
        m_heard.push_back(status);
        m_changed.notify_all();
    }
    bool WaitFor(const StoreStatus& status) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, kForwardWait,
                                  [&] { return !m_heard.empty() && m_heard.back() == status; });
    }
    std::vector<StoreStatus> Heard() {
        std::lock_guard lock(m_mutex);
        return m_heard;
    }
    // Whether it heard the server away with `waiting` records at least.
    bool HeardAway(std::size_t waiting) {
        std::lock_guard lock(m_mutex);
        return std::any_of(m_heard.begin(), m_heard.end(), [&](const StoreStatus& status) {
            return status.away && status.waiting >= waiting;
        });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<StoreStatus> m_heard;
};

// The test server's processes: the postmaster (from its pid file beside the
// control script) and its children, the backends.
std::vector<pid_t> ServerProcesses() {
    const char* ctl = getenv("VORNAK_TEST_PG_CTL");
    std::vector<pid_t> pids;
    if (ctl == nullptr)
        return pids;
    std::ifstream pidFile(std::filesystem::path(ctl).parent_path() / "data" / "postmaster.pid");
    pid_t postmaster = 0;
    if (!(pidFile >> postmaster) || postmaster <= 0)
        return pids;
    pids.push_back(postmaster);
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line))
            continue;
        // pid (comm) state ppid ...: comm may hold blanks and parentheses.
        const auto close = line.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream rest(line.substr(close + 1));
        char state = 0;
        pid_t parent = 0;
        if (rest >> state >> parent && parent == postmaster)
            pids.push_back(std::stoi(entry.path().filename().string()));
    }
    return pids;
}

// The whole server stopped with SIGSTOP for the scope, continued at its end
// even when the test fails.
class CFrozenServer {
public:
    CFrozenServer() : m_pids(ServerProcesses()) {
        for (pid_t pid : m_pids)
            kill(pid, SIGSTOP);
    }
    ~CFrozenServer() { Thaw(); }
    void Thaw() {
        for (pid_t pid : m_pids)
            kill(pid, SIGCONT);
        m_pids.clear();
    }
    bool Found() const { return !m_pids.empty(); }

private:
    std::vector<pid_t> m_pids;
};

class PgReachTest : public testing::Test {
protected:
    void SetUp() override {
        std::string why;
        m_backend = CStoreBackend::Create(Backend::Postgres, why);
        if (!m_backend)
            GTEST_SKIP() << why;
    }

    std::unique_ptr<CStoreBackend> m_backend;
    CTempDir m_folder{"pg-reach"};
};

TEST_F(PgReachTest, AServerThatRefusesTheConfigurationStopsTheStart) {
    const std::string url = TestPostgresUrl();
    const char* passwordUrl = getenv("VORNAK_TEST_PG_PASSWORD_URL");
    ASSERT_NE(passwordUrl, nullptr) << "run under scripts/with-postgres.sh";
    struct Case {
        const char* name;
        std::string url;
        const char* cause;  // in libpq's words
    };
    const Case cases[] = {
        {"wrong password", Replaced(passwordUrl, "-right@", "-wrong@"), "password"},
        {"unknown user", Replaced(url, "postgres@", "no_such_role@"), "no_such_role"},
        {"unknown database", Replaced(url, "/vornak_test", "/no_such_db"), "no_such_db"},
        {"bad option", WithQuery(url, "options=-cno_such_setting%3D1"), "no_such_setting"},
        {"SSL required, none offered", WithQuery(url, "sslmode=require"), "SSL"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        auto store = OpenRecordStore(c.url, m_folder.Path() + "/queue.db", error);
        EXPECT_EQ(store, nullptr) << "opened as if the server were away";
        EXPECT_NE(error.find(c.cause), std::string::npos) << error;
        // The password itself never shows.
        EXPECT_EQ(error.find("vornak-pw-wrong"), std::string::npos) << error;
    }
    // The right password is let in: the refusal above was the password's.
    std::string error;
    EXPECT_NE(OpenRecordStore(passwordUrl, m_folder.Path() + "/queue.db", error), nullptr) << error;
}

TEST_F(PgReachTest, AServerNobodyAnswersForIsAwayAndSaidSo) {
    // Port 1 of the loopback: nothing listens, the connection is refused.
    const std::string url = "postgresql://postgres@127.0.0.1:1/vornak_test";
    std::string error;
    auto store = OpenRecordStore(url, m_folder.Path() + "/queue.db", error);
    ASSERT_NE(store, nullptr) << error;
    CStatusLog log;
    store->SetStatusHook([&log](const StoreStatus& status) { log.Hear(status); });
    ASSERT_TRUE(Inserted(store->Insert(Record("r1"), true)));
    EXPECT_TRUE(log.WaitFor({true, 1}));
    // Away from the start: the hook hears it at once.
    EXPECT_EQ(log.Heard().front(), (StoreStatus{true, 0}));
    store->SetStatusHook(nullptr);
}

// A station keeps one server session for its life: its units do not each
// open a connection (and check the schema) of their own.
TEST_F(PgReachTest, AStationsRecordsGoThroughOneSession) {
    constexpr int kUnits = 12;
    const std::string tag = "vornak-one-session-" + std::to_string(getpid());
    std::string error;
    auto station = OpenRecordStore(WithQuery(m_backend->PostgresUrl(), "application_name=" + tag),
                                   m_folder.Path() + "/queue.db", error);
    ASSERT_NE(station, nullptr) << error;
    const std::string sessions =
        "SELECT string_agg(pid::text, ',') FROM pg_stat_activity WHERE application_name = '" + tag +
        "'";
    std::set<std::string> seen;
    for (int i = 0; i < kUnits; ++i) {
        const std::string id = "one-" + std::to_string(i);
        EXPECT_EQ(station->Interlock("SR-" + id, "9f2c1e"), InterlockState::New);
        ASSERT_TRUE(Inserted(station->Insert(Record(id), true)));
        seen.insert(m_backend->QueryValue(sessions));
    }
    EXPECT_EQ(ListRecords(*station).size(), static_cast<std::size_t>(kUnits));
    seen.insert(m_backend->QueryValue(sessions));
    ASSERT_EQ(seen.size(), 1u) << "sessions changed between units";
    EXPECT_EQ(seen.begin()->find(','), std::string::npos) << "several sessions: " << *seen.begin();
    EXPECT_FALSE(seen.begin()->empty()) << "no session of the station's";
}

// A station that finds the schema current does not wait for the migration's
// lock, which another station may hold for as long as its migration runs.
TEST_F(PgReachTest, AStationStartsWhileAnotherHoldsTheMigrationLock) {
    m_backend->Open("first");  // makes the schema
    CPgSession migrating(m_backend->PostgresUrl());
    migrating.Run("SELECT pg_advisory_lock(" + std::to_string(kSchemaLockKey) + ")");
    auto station = m_backend->Open("second");
    ASSERT_NE(station, nullptr);
    EXPECT_FALSE(station->Status().away) << "started offline behind the lock";
}

// A server that stalls (frozen, or a table locked by someone else) holds a
// station's insert for at most the store's time-outs: the record waits
// locally, the status says away, and the record arrives once the stall ends.
TEST_F(PgReachTest, AStalledServerTurnsIntoRecordsQueuedLocally) {
    if (getenv("VORNAK_TEST_PG_CTL") == nullptr)
        GTEST_SKIP() << "VORNAK_TEST_PG_CTL is not set: run under scripts/with-postgres.sh";
    struct Stall {
        const char* name;
        std::function<std::function<void()>()> begin;  // returns how to end it
    };
    const std::string lockerUrl = m_backend->PostgresUrl();
    const Stall stalls[] = {
        {"frozen with SIGSTOP",
         [] {
             auto frozen = std::make_shared<CFrozenServer>();
             EXPECT_TRUE(frozen->Found());
             return [frozen] { frozen->Thaw(); };
         }},
        {"table locked by another connection",
         [&] {
             auto locker = std::make_shared<CPgSession>(lockerUrl);
             locker->Run("BEGIN");
             locker->Run("LOCK TABLE unit_records IN ACCESS EXCLUSIVE MODE");
             return [locker] { locker->Run("ROLLBACK"); };
         }},
    };
    auto station = m_backend->Open("east");
    std::string error;
    ASSERT_TRUE(Inserted(station->Insert(Record("before"), true)));
    int number = 0;
    for (const Stall& stall : stalls) {
        SCOPED_TRACE(stall.name);
        CStatusLog log;
        station->SetStatusHook([&log](const StoreStatus& status) { log.Hear(status); });
        const std::string id = "stalled-" + std::to_string(++number);
        {
            const std::function<void()> end = stall.begin();
            auto insert =
                std::async(std::launch::async, [&] { return station->Insert(Record(id), true); });
            const bool returned = insert.wait_for(kHang) == std::future_status::ready;
            end();
            ASSERT_TRUE(returned) << "the insert hung";
            EXPECT_TRUE(Inserted(insert.get())) << "refused instead of queued";
        }
        EXPECT_TRUE(log.HeardAway(1));
        ASSERT_TRUE(log.WaitFor({false, 0})) << station->QueuedCount() << " still queued";
        station->SetStatusHook(nullptr);
        auto other = m_backend->Open("west");
        std::optional<UnitRecord> arrived;
        EXPECT_TRUE(other->Find(id, arrived, error) && arrived.has_value()) << error;
    }
}

}  // namespace
