// A plant's stations on one PostgreSQL server: N stations in this process,
// each with its own records store (one connection for its life, its own
// local queue file) and its own box simulator (unthrottled, or paced at a
// line's rate), each running units back to back through CStation. Every tenth unit of a station
// takes a serial its neighbour station takes at the same time, so the interlock is raced. Prints
// records/s and the commit's p50 and p99 (the store's Insert: the pass-free check and the insert in
// one transaction) against the 50 ms p99 target, and checks that no serial passed twice. Run under
// scripts/with-postgres.sh (VORNAK_TEST_PG_URL set).

#include <libpq-fe.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_pg_schema.h"
#include "bench/bench_station_files.h"
#include "bench/bench_stats.h"
#include "boxsim/box_simulator.h"
#include "link/port_names.h"
#include "records/forwarding_record_store.h"
#include "records/record_store.h"
#include "station/engine/station.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDefaultStations = 50;
constexpr int kDefaultUnits = 20;
constexpr int kFirstPort = 10;
// One unit in this many takes the serial the neighbour station takes too.
constexpr int kSharedSerialEvery = 10;
constexpr double kTargetCommitP99Ms = 50.0;
constexpr char kBoxVersion[] = "VBX-100 V2.3.1";

class CSilentObserver : public IStationObserver {
public:
    void OnStationEvent(const StationEvent&) override {}
};

// The station's store, with the time of each Insert() kept.
class CTimedStore : public CForwardingRecordStore {
public:
    explicit CTimedStore(std::unique_ptr<IRecordStore> store)
        : CForwardingRecordStore(std::move(store)) {}

    InsertResult Insert(const UnitRecord& record, bool requirePassFree) override {
        const auto start = Clock::now();
        InsertResult stored = Inner().Insert(record, requirePassFree);
        m_commitMs.push_back(
            std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        m_stored += stored ? 1 : 0;
        return stored;
    }

    const std::vector<double>& CommitMs() const { return m_commitMs; }
    long Stored() const { return m_stored; }

private:
    std::vector<double> m_commitMs;  // the station's one unit loop only
    long m_stored = 0;
};

// The serial unit `unit` of station `station` gives its box: its own, or
// every kSharedSerialEvery-th unit one shared with the other station of its
// pair.
std::vector<std::uint8_t> SerialFor(int station, int unit) {
    const bool shared = unit % kSharedSerialEvery == 0;
    return {static_cast<std::uint8_t>(shared ? 0x20 : 0x10),
            static_cast<std::uint8_t>(shared ? station / 2 : station),
            static_cast<std::uint8_t>(unit >> 8),
            static_cast<std::uint8_t>(unit & 0xff),
            0x00,
            0x01};
}

// The first column of the first row of `sql`, or "" on an error (said).
std::string PgValue(PGconn* conn, const std::string& sql) {
    PGresult* result = PQexec(conn, sql.c_str());
    std::string value;
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        std::fprintf(stderr, "%s: %s", sql.c_str(), PQresultErrorMessage(result));
    else if (PQntuples(result) > 0)
        value = PQgetvalue(result, 0, 0);
    PQclear(result);
    return value;
}

struct StationRun {
    std::unique_ptr<CBoxSimulator> sim;
    std::unique_ptr<CTimedStore> store;
    long passed = 0;
    long refused = 0;  // failed: the serial passed at the neighbour first
    long otherFailures = 0;
};

// The reference for the commit times: the same transaction shape (a lock on
// the serial, a look at its last run, one row of about a record's size, the
// commit) straight over libpq from as many threads, each with a connection of
// its own, with no station or box beside it. Returns each commit's time.
std::vector<double> ReferenceCommitsMs(const std::string& url, const std::string& schema,
                                       int threads, int transactions) {
    constexpr std::size_t kRowBytes = 2048;
    PGconn* setup = PQconnectdb(url.c_str());
    PgValue(setup, "CREATE TABLE " + schema +
                       ".reference_rows (id text PRIMARY KEY, serial text, body text)");
    PgValue(setup, "CREATE INDEX ON " + schema + ".reference_rows (serial)");
    PQfinish(setup);
    std::vector<std::vector<double>> times(static_cast<std::size_t>(threads));
    std::vector<std::thread> workers;
    const std::string body(kRowBytes, 'x');
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            PGconn* conn = PQconnectdb(url.c_str());
            for (int i = 0; i < transactions; ++i) {
                const std::string serial =
                    "'ref-" + std::to_string(t) + "-" + std::to_string(i) + "'";
                const auto start = Clock::now();
                PgValue(conn, "BEGIN; SELECT pg_advisory_xact_lock(hashtext(" + serial + "))");
                PgValue(conn, "SELECT count(*) FROM " + schema +
                                  ".reference_rows WHERE serial = " + serial);
                PgValue(conn, "INSERT INTO " + schema + ".reference_rows VALUES (" + serial + ", " +
                                  serial + ", '" + body + "')");
                PgValue(conn, "COMMIT");
                times[static_cast<std::size_t>(t)].push_back(
                    std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            }
            PQfinish(conn);
        });
    }
    for (std::thread& w : workers)
        w.join();
    std::vector<double> all;
    for (const auto& v : times)
        all.insert(all.end(), v.begin(), v.end());
    return all;
}

}  // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    const int stations = argc > 1 ? std::atoi(argv[1]) : kDefaultStations;
    const int units = argc > 2 ? std::atoi(argv[2]) : kDefaultUnits;
    // 0: the boxes answer as fast as they can; else their line's rate.
    const unsigned baud = argc > 3 ? static_cast<unsigned>(std::atoi(argv[3])) : 0;
    const char* baseUrl = std::getenv("VORNAK_TEST_PG_URL");
    if (baseUrl == nullptr || stations < 2 || units < 1 || stations > kMaxPortNumber - kFirstPort) {
        std::fprintf(stderr,
                     "usage: scripts/with-postgres.sh vornak_plant_bench [stations=%d] "
                     "[units=%d] [baud=0]\n",
                     kDefaultStations, kDefaultUnits);
        return 2;
    }
    char tmpl[] = "/tmp/vornak-plant-bench.XXXXXX";
    if (mkdtemp(tmpl) == nullptr)
        return 1;
    const fs::path dir = tmpl;
    fs::create_directory(dir / "ports");
    setenv("VORNAK_PORT_DIR", (dir / "ports").c_str(), 1);

    Recipe recipe;
    std::unique_ptr<IRecordStore> unused;
    if (!MakeBenchStation(dir, kBoxVersion, 64 * 1024, "", recipe, unused))
        return 1;
    unused.reset();

    const CBenchPgSchema own(baseUrl, "plant_bench");
    const std::string& schema = own.Name();
    const std::string& url = own.Url();
    PGconn* admin = own.Admin();

    std::vector<StationRun> runs(static_cast<std::size_t>(stations));
    bool ready = true;
    for (int s = 0; s < stations && ready; ++s) {
        StationRun& run = runs[static_cast<std::size_t>(s)];
        run.sim = std::make_unique<CBoxSimulator>();
        ready = run.sim->Start((dir / "ports").string(), kFirstPort + s);
        run.sim->SetVersion(kBoxVersion);
        SimFaults line;
        line.throttleBaud = baud;
        run.sim->SetFaults(line);
        std::string error;
        auto store =
            OpenRecordStore(url, (dir / ("queue-" + std::to_string(s) + ".db")).string(), error);
        if (!store) {
            std::fprintf(stderr, "station %d: %s\n", s, error.c_str());
            ready = false;
            break;
        }
        run.store = std::make_unique<CTimedStore>(std::move(store));
        if (run.store->Status().away) {
            std::fprintf(stderr, "station %d: the server does not answer\n", s);
            ready = false;
        }
    }

    const auto start = Clock::now();
    std::vector<std::thread> threads;
    for (int s = 0; s < stations && ready; ++s) {
        threads.emplace_back([&, s] {
            StationRun& run = runs[static_cast<std::size_t>(s)];
            StationOptions options;
            options.station = "plant-" + std::to_string(s);
            options.port.kind = PortChoice::Kind::Number;
            options.port.number = kFirstPort + s;
            options.once = true;
            CSilentObserver observer;
            for (int unit = 0; unit < units; ++unit) {
                run.sim->SetSerial(SerialFor(s, unit));
                CStation station(recipe, *run.store, observer, options);
                const std::optional<UnitResult> result = station.Run();
                if (result == UnitResult::Pass)
                    ++run.passed;
                else if (unit % kSharedSerialEvery == 0)
                    ++run.refused;
                else
                    ++run.otherFailures;
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();

    std::vector<double> commits;
    long stored = 0;
    long passed = 0;
    long refused = 0;
    long otherFailures = 0;
    for (const StationRun& run : runs) {
        if (run.store) {
            commits.insert(commits.end(), run.store->CommitMs().begin(),
                           run.store->CommitMs().end());
            stored += run.store->Stored();
        }
        passed += run.passed;
        refused += run.refused;
        otherFailures += run.otherFailures;
    }
    // The server's word, not the stations': serials with more than one pass.
    const std::string twice =
        ready ? PgValue(admin, "SELECT count(*) FROM (SELECT serial FROM " + schema +
                                   ".unit_records WHERE result = 'pass' GROUP BY serial, "
                                   "recipe_sha256 HAVING count(*) > 1) AS t")
              : "";
    const std::string onServer =
        ready ? PgValue(admin, "SELECT count(*) FROM " + schema + ".unit_records") : "";
    const std::vector<double> reference =
        ready ? ReferenceCommitsMs(url, schema, stations, units) : std::vector<double>{};

    for (StationRun& run : runs) {
        run.store.reset();
        if (run.sim)
            run.sim->Stop();
    }
    fs::remove_all(dir);
    if (!ready)
        return 1;

    const double p50 = Percentile(commits, 0.50);
    const double p99 = Percentile(commits, 0.99);
    std::printf("boxes %s\n",
                baud == 0 ? "unthrottled" : ("at " + std::to_string(baud) + " baud").c_str());
    std::printf(
        "%d stations x %d units on one server: %.1f s, %ld records stored (%s on the "
        "server), %.1f records/s\n",
        stations, units, seconds, stored, onServer.c_str(), static_cast<double>(stored) / seconds);
    std::printf("units: %ld passed, %ld refused on a shared serial, %ld other failures\n", passed,
                refused, otherFailures);
    const bool commitOk = p99 <= kTargetCommitP99Ms;
    std::printf("commit p50 %.2f ms, p99 %.2f ms; target p99 <= %.0f ms (%.2f of it): %s\n", p50,
                p99, kTargetCommitP99Ms, p99 / kTargetCommitP99Ms, commitOk ? "PASS" : "FAIL");
    const double refP99 = Percentile(reference, 0.99);
    std::printf(
        "reference, the same transaction shape over plain libpq from %d connections: p50 %.2f "
        "ms, p99 %.2f ms; the station's p99 is %.2f of it\n",
        stations, Percentile(reference, 0.50), refP99, refP99 > 0 ? p99 / refP99 : 0.0);
    const bool interlockOk = twice == "0";
    std::printf("serials passed twice: %s; target 0: %s\n", twice.c_str(),
                interlockOk ? "PASS" : "FAIL");
    const bool unitsOk = otherFailures == 0;
    if (!unitsOk)
        std::printf("FAIL: %ld units failed that should have passed\n", otherFailures);
    return commitOk && interlockOk && unitsOk ? 0 : 1;
}
