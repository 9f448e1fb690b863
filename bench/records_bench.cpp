// The record stores' costs: a serial lookup (the interlock and `records list
// --serial`) in a SQLite store of 1,000,000 records against a lookup by id in
// the same file, and the cost of one durable insert in SQLite and, when
// VORNAK_TEST_PG_URL names a server (scripts/with-postgres.sh), in PostgreSQL.
//
//   vornak_records_bench [rows=1000000] [lookups=2000] [inserts=200]

#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "records/record_queries.h"
#include "records/record_store.h"
#include "records/sqlite_record_store.h"
#include "records/sqlite_statement.h"

namespace {

// A serial lookup must not be felt by an operator at a station (judged on
// the 99th percentile: on a shared machine the slowest call is noise).
constexpr double kLookupTargetMs = 5.0;
// Each serial runs about this often (a first run, some retries).
constexpr int kRunsPerSerial = 2;
constexpr char kRecipe[] = "5c0ffee5";

using Clock = std::chrono::steady_clock;

UnitRecord BenchRecord(long index) {
    UnitRecord record;
    char serial[16];
    std::snprintf(serial, sizeof serial, "%08lX", index / kRunsPerSerial);
    record.id = "unit-" + std::to_string(index);
    record.serial = serial;
    record.recipeSha256 = kRecipe;
    record.recipeName = "door-4";
    record.variant = "LHD";
    record.station = "east-" + std::to_string(index % 4);
    // Times advance with the index, in the records' format.
    char time[32];
    std::snprintf(time, sizeof time, "2026-%02ld-%02ldT%02ld:%02ld:%02ld.000Z",
                  1 + index / 2600000 % 12, 1 + index / 86400 % 28, index / 3600 % 24,
                  index / 60 % 60, index % 60);
    record.startTime = time;
    record.endTime = time;
    record.result = index % kRunsPerSerial == 0 ? UnitResult::Fail : UnitResult::Pass;
    record.versionBefore = "BCM V1.0";
    record.versionAfter = "BCM V1.2";
    record.settingsAfterSha256 = std::string(64, 'a');
    record.steps = {{"identify", true, 120, {"设备连接成功."}},
                    {"settings", true, 900, {"写入成功."}}};
    return record;
}

// One transaction and one prepared statement for the whole fill.
bool Fill(const std::string& path, long rows) {
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK)
        return false;
    std::string error;
    bool ok = SqliteExec(db, "PRAGMA synchronous = OFF; BEGIN", error);
    CSqliteStatement insert(db, InsertRecordQuery(ParamStyle::Sqlite, BenchRecord(0)).sql);
    for (long i = 0; ok && i < rows; ++i) {
        const RecordQuery query = InsertRecordQuery(ParamStyle::Sqlite, BenchRecord(i));
        for (std::size_t p = 0; p < query.params.size(); ++p) {
            insert.BindText(static_cast<int>(p + 1), query.params[p]);
        }
        ok = insert.Step() == SQLITE_DONE;
        insert.Reset();
    }
    ok = ok && SqliteExec(db, "COMMIT", error);
    if (!ok)
        std::fprintf(stderr, "fill failed: %s %s\n", error.c_str(), sqlite3_errmsg(db));
    sqlite3_close(db);
    return ok;
}

struct Timing {
    double meanMs;
    double p99Ms;
    double maxMs;
};

Timing Summary(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    double sum = 0;
    for (const double m : ms) {
        sum += m;
    }
    return {sum / static_cast<double>(ms.size()), ms[ms.size() * 99 / 100], ms.back()};
}

Timing Time(int count, const std::function<void(int)>& call) {
    std::vector<double> ms;
    for (int i = 0; i < count; ++i) {
        const auto start = Clock::now();
        call(i);
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return Summary(std::move(ms));
}

void PrintLookup(const char* name, const Timing& t, const Timing& reference) {
    std::printf(
        "%-26s mean %7.3f ms  p99 %7.3f ms  max %7.3f ms  ratio %5.2f  %s (target %.0f ms)\n", name,
        t.meanMs, t.p99Ms, t.maxMs, t.meanMs / reference.meanMs,
        t.p99Ms < kLookupTargetMs ? "PASS" : "FAIL", kLookupTargetMs);
}

void TimeInserts(const char* name, IRecordStore& store, int count, long firstIndex) {
    const Timing t = Time(count, [&](int i) {
        std::string error;
        UnitRecord record = BenchRecord(firstIndex + i);
        record.id = "insert-" + std::to_string(getpid()) + "-" + std::to_string(firstIndex + i);
        if (!store.Insert(record, true, error))
            std::fprintf(stderr, "insert failed: %s\n", error.c_str());
    });
    std::printf(
        "%-26s mean %7.3f ms  p99 %7.3f ms  max %7.3f ms  (pass-free check, durable commit)\n",
        name, t.meanMs, t.p99Ms, t.maxMs);
}

}  // namespace

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const int lookups = argc > 2 ? std::atoi(argv[2]) : 2000;
    const int inserts = argc > 3 ? std::atoi(argv[3]) : 200;
    if (rows < kRunsPerSerial || lookups < 1 || inserts < 1) {
        std::fprintf(stderr, "usage: %s [rows] [lookups] [inserts]\n", argv[0]);
        return 2;
    }

    std::string folder = "/tmp/vornak-records-bench.XXXXXX";
    if (mkdtemp(folder.data()) == nullptr)
        return 1;
    const std::string path = folder + "/records.db";
    std::string error;
    int status = 0;
    {
        // The store makes the schema; the fill goes around it for speed.
        CSqliteRecordStore::Open(path, error).reset();
        const auto fillStart = Clock::now();
        if (!Fill(path, rows))
            return 1;
        std::printf("filled %ld records in %.1f s (%.0f MB)\n", rows,
                    std::chrono::duration<double>(Clock::now() - fillStart).count(),
                    std::filesystem::file_size(path) / 1e6);

        auto store = OpenRecordStore("sqlite:" + path, "", error);
        if (!store) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        std::mt19937 random(42);
        std::uniform_int_distribution<long> pick(0, rows - 1);
        std::vector<long> picks(static_cast<std::size_t>(lookups));
        for (long& p : picks) {
            p = pick(random);
        }
        // The three lookups take turns on each pick, so a stall of the
        // machine falls on all of them alike.
        std::vector<double> byIdMs, interlockMs, listMs;
        auto timed = [](std::vector<double>& into, const std::function<void()>& call) {
            const auto start = Clock::now();
            call();
            into.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        };
        for (const long p : picks) {
            const std::string serial = BenchRecord(p).serial;
            timed(byIdMs, [&] {
                if (!store->Find("unit-" + std::to_string(p)))
                    std::fprintf(stderr, "missing unit-%ld\n", p);
            });
            timed(interlockMs, [&] {
                if (store->Interlock(serial, kRecipe) == InterlockState::New)
                    std::fprintf(stderr, "interlock missed %ld\n", p);
            });
            timed(listMs, [&] {
                RecordFilter filter;
                filter.serial = serial;
                if (store->List(filter).size() != kRunsPerSerial)
                    std::fprintf(stderr, "list missed %ld\n", p);
            });
        }
        const Timing byId = Summary(byIdMs);
        const Timing interlock = Summary(interlockMs);
        const Timing list = Summary(listMs);
        std::printf("SQLite, %ld records, %d random lookups each:\n", rows, lookups);
        std::printf("%-26s mean %7.3f ms  p99 %7.3f ms  max %7.3f ms  (reference)\n", "Find by id",
                    byId.meanMs, byId.p99Ms, byId.maxMs);
        PrintLookup("Interlock by serial", interlock, byId);
        PrintLookup("List --serial", list, byId);
        if (interlock.p99Ms >= kLookupTargetMs || list.p99Ms >= kLookupTargetMs)
            status = 1;

        std::printf("Insert, %d each:\n", inserts);
        TimeInserts("SQLite", *store, inserts, rows);
    }
    std::filesystem::remove_all(folder);

    if (const char* url = getenv("VORNAK_TEST_PG_URL")) {
        const std::string queue = folder + "-queue.db";
        auto pg = OpenRecordStore(url, queue, error);
        if (pg) {
            TimeInserts("PostgreSQL (local)", *pg, inserts, rows);
        } else {
            std::fprintf(stderr, "%s\n", error.c_str());
        }
        pg.reset();
        for (const char* suffix : {"", "-wal", "-shm"}) {
            std::filesystem::remove(queue + suffix);
        }
    } else {
        std::printf(
            "PostgreSQL: VORNAK_TEST_PG_URL is not set (run under scripts/with-postgres.sh)\n");
    }
    return status;
}
