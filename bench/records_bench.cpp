// The record stores' costs: a serial lookup (the interlock and `records list
// --serial`) in a SQLite store of 1,000,000 records against a lookup by id in
// the same file, recall queries (a filter and a day) in the same file, and the
// cost of one durable insert in SQLite; when VORNAK_TEST_PG_URL names a server
// (scripts/with-postgres.sh), the same records go into PostgreSQL too for its
// recall queries and inserts.
//
// Each fill is flushed to disk before anything is timed (a checkpoint, then
// fsync), so the timings measure the store and not the write-back of the
// fill.
//
//   vornak_records_bench [rows=1000000] [lookups=2000] [inserts=200]

#include <fcntl.h>
#include <libpq-fe.h>
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

#include "bench/bench_pg_schema.h"
#include "records/record_columns.h"
#include "records/record_queries.h"
#include "records/record_store.h"
#include "records/record_time.h"
#include "records/sqlite_record_store.h"
#include "records/sqlite_statement.h"

namespace {

// A serial lookup must not be felt by an operator at a station (judged on
// the 99th percentile: on a shared machine the slowest call is noise).
constexpr double kLookupTargetMs = 5.0;
// A recall query (`records list` with a filter and a time range) answers
// well within a reader's patience, judged the same way.
constexpr double kRecallTargetMs = 50.0;
// Each serial runs about this often (a first run, some retries).
constexpr int kRunsPerSerial = 2;
constexpr char kRecipe[] = "5c0ffee5";
// One unit a minute: 1,000,000 records are about two years of a busy station.
constexpr long kSecondsPerRecord = 60;
// The firmware changes every this many records (and its package with it).
constexpr long kRecordsPerVersion = 100000;
constexpr int kStations = 4;
// Recall queries per filter and store.
constexpr int kRecallQueries = 50;

using Clock = std::chrono::steady_clock;

std::chrono::system_clock::time_point BenchStart() {
    using namespace std::chrono;
    return sys_days{year{2025} / January / 1};
}

UnitRecord BenchRecord(long index) {
    UnitRecord record;
    char serial[16];
    std::snprintf(serial, sizeof serial, "%08lX", index / kRunsPerSerial);
    record.id = "unit-" + std::to_string(index);
    record.serial = serial;
    record.recipeSha256 = kRecipe;
    record.recipeName = "door-4";
    record.variant = index / kRunsPerSerial % 2 == 0 ? "LHD" : "RHD";
    record.station = "east-" + std::to_string(index % kStations);
    const auto start = BenchStart() + std::chrono::seconds(index * kSecondsPerRecord);
    record.startTime = RecordTimeText(start);
    record.endTime = RecordTimeText(start + std::chrono::seconds(41));
    record.result = index % kRunsPerSerial == 0 ? UnitResult::Fail : UnitResult::Pass;
    const long version = index / kRecordsPerVersion;
    record.versionBefore = "BCM V1.0";
    record.versionAfter = "BCM V1." + std::to_string(version);
    record.packageSha256 = std::string(64, "0123456789abcdef"[version % 16]);
    record.settingsAfterSha256 = std::string(64, 'a');
    record.steps = {{"identify", true, 120, {"设备连接成功."}},
                    {"settings", true, 900, {"写入成功."}}};
    return record;
}

// Flushes a file and the file system it is on.
void SyncFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    fsync(fd);
    syncfs(fd);
    close(fd);
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
    // The fill went to the write-ahead log unsynced: move it into the file
    // now, so the first timed insert does not pay for that checkpoint.
    ok = ok && SqliteExec(db, "COMMIT; PRAGMA wal_checkpoint(TRUNCATE)", error);
    if (!ok)
        std::fprintf(stderr, "fill failed: %s %s\n", error.c_str(), sqlite3_errmsg(db));
    sqlite3_close(db);
    SyncFile(path);
    return ok;
}

// COPY text format: a backslash, tab, line feed and carriage return escaped.
std::string CopyField(const std::string& value) {
    std::string out;
    for (const char c : value) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out;
}

bool PgCommand(PGconn* conn, const std::string& sql) {
    PGresult* result = PQexec(conn, sql.c_str());
    const bool ok = PQresultStatus(result) == PGRES_COMMAND_OK;
    if (!ok)
        std::fprintf(stderr, "%s: %s", sql.c_str(), PQresultErrorMessage(result));
    PQclear(result);
    return ok;
}

// The same records into the store's schema at `url`, by one COPY; then the
// planner's statistics and a checkpoint.
bool FillPostgres(const std::string& url, long rows) {
    PGconn* conn = PQconnectdb(url.c_str());
    bool ok = PQstatus(conn) == CONNECTION_OK;
    ok = ok && PgCommand(conn, "SET synchronous_commit = off");
    if (ok) {
        PGresult* copy =
            PQexec(conn, ("COPY unit_records (" + RecordColumnList() + ") FROM STDIN").c_str());
        ok = PQresultStatus(copy) == PGRES_COPY_IN;
        PQclear(copy);
    }
    std::string chunk;
    for (long i = 0; ok && i < rows; ++i) {
        std::string line;
        for (const std::string& value : RecordColumnValues(BenchRecord(i))) {
            line += (line.empty() ? "" : "\t") + CopyField(value);
        }
        chunk += line + "\n";
        if (chunk.size() > (1 << 20) || i + 1 == rows) {
            ok = PQputCopyData(conn, chunk.data(), static_cast<int>(chunk.size())) == 1;
            chunk.clear();
        }
    }
    ok = PQputCopyEnd(conn, ok ? nullptr : "fill failed") == 1 && ok;
    while (PGresult* result = PQgetResult(conn)) {
        if (PQresultStatus(result) != PGRES_COMMAND_OK) {
            std::fprintf(stderr, "COPY: %s", PQresultErrorMessage(result));
            ok = false;
        }
        PQclear(result);
    }
    ok = ok && PgCommand(conn, "ANALYZE unit_records") && PgCommand(conn, "CHECKPOINT");
    if (!ok && PQstatus(conn) != CONNECTION_OK)
        std::fprintf(stderr, "%s", PQerrorMessage(conn));
    PQfinish(conn);
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

// Recall queries: one filter and one day, the day of a random record.
void TimeRecallQueries(IRecordStore& store, long rows, bool& allPassed) {
    struct Recall {
        const char* name;
        std::function<void(RecordFilter&, const UnitRecord&)> narrow;
    };
    const Recall recalls[] = {
        {"--version, a day",
         [](RecordFilter& f, const UnitRecord& r) { f.versionAfter = r.versionAfter; }},
        {"--package-sha256, a day",
         [](RecordFilter& f, const UnitRecord& r) { f.packageSha256 = r.packageSha256; }},
        {"--recipe-sha256, a day",
         [](RecordFilter& f, const UnitRecord& r) { f.recipeSha256 = r.recipeSha256; }},
        {"--variant, a day", [](RecordFilter& f, const UnitRecord& r) { f.variant = r.variant; }},
        {"--station, a day", [](RecordFilter& f, const UnitRecord& r) { f.station = r.station; }},
        {"--result fail, a day",
         [](RecordFilter& f, const UnitRecord&) { f.result = UnitResult::Fail; }},
    };
    std::mt19937 random(7);
    std::uniform_int_distribution<long> pick(0, rows - 1);
    for (const Recall& recall : recalls) {
        std::size_t found = 0;
        const Timing t = Time(kRecallQueries, [&](int) {
            const long index = pick(random);
            const UnitRecord record = BenchRecord(index);
            const auto day = std::chrono::days(index * kSecondsPerRecord / 86400);
            RecordFilter filter;
            filter.since = RecordTimeText(BenchStart() + day).substr(0, 10);
            filter.until = RecordTimeText(BenchStart() + day + std::chrono::days(1)).substr(0, 10);
            recall.narrow(filter, record);
            std::vector<UnitRecord> records;
            std::string error;
            if (!store.List(filter, records, error))
                std::fprintf(stderr, "recall failed: %s\n", error.c_str());
            found += records.size();
        });
        const bool passed = t.p99Ms < kRecallTargetMs;
        allPassed = allPassed && passed;
        std::printf(
            "%-26s mean %7.3f ms  p99 %7.3f ms  max %7.3f ms  %5zu records  %s (target %.0f ms)\n",
            recall.name, t.meanMs, t.p99Ms, t.maxMs, found / kRecallQueries,
            passed ? "PASS" : "FAIL", kRecallTargetMs);
    }
}

void TimeInserts(const char* name, IRecordStore& store, int count, long firstIndex) {
    const Timing t = Time(count, [&](int i) {
        UnitRecord record = BenchRecord(firstIndex + i);
        record.id = "insert-" + std::to_string(getpid()) + "-" + std::to_string(firstIndex + i);
        if (const InsertResult inserted = store.Insert(record, true); !inserted)
            std::fprintf(stderr, "insert failed: %s\n", inserted.message.c_str());
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
                std::optional<UnitRecord> record;
                std::string error;
                if (!store->Find("unit-" + std::to_string(p), record, error) || !record)
                    std::fprintf(stderr, "missing unit-%ld\n", p);
            });
            timed(interlockMs, [&] {
                if (store->Interlock(serial, kRecipe) == InterlockState::New)
                    std::fprintf(stderr, "interlock missed %ld\n", p);
            });
            timed(listMs, [&] {
                RecordFilter filter;
                filter.serial = serial;
                std::vector<UnitRecord> records;
                std::string error;
                if (!store->List(filter, records, error) || records.size() != kRunsPerSerial)
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

        std::printf("SQLite, recall queries, %d each:\n", kRecallQueries);
        bool recallPassed = true;
        TimeRecallQueries(*store, rows, recallPassed);
        status = recallPassed ? status : 1;

        std::printf("SQLite, insert, %d:\n", inserts);
        TimeInserts("SQLite", *store, inserts, rows);
    }
    std::filesystem::remove_all(folder);

    if (const char* url = getenv("VORNAK_TEST_PG_URL")) {
        const CBenchPgSchema own(url, "records_bench");
        const std::string& schemaUrl = own.Url();
        const std::string queue = folder + "-queue.db";
        auto pg = OpenRecordStore(schemaUrl, queue, error);
        const auto fillStart = Clock::now();
        if (pg && FillPostgres(schemaUrl, rows)) {
            std::printf("PostgreSQL: filled %ld records in %.1f s\n", rows,
                        std::chrono::duration<double>(Clock::now() - fillStart).count());
            std::printf("PostgreSQL (local), recall queries, %d each:\n", kRecallQueries);
            bool recallPassed = true;
            TimeRecallQueries(*pg, rows, recallPassed);
            status = recallPassed ? status : 1;
            std::printf("PostgreSQL (local), insert, %d:\n", inserts);
            TimeInserts("PostgreSQL (local)", *pg, inserts, rows);
        } else {
            std::fprintf(stderr, "PostgreSQL: %s\n", pg ? "the fill failed" : error.c_str());
            status = 1;
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
