// Station start against the size of its store: `vornak-cli station --once`
// (start, one unit, exit) with an empty SQLite store and with one holding
// N records of full size (copies of a real unit's record: its settings twice
// as JSON, its steps, its frame trace), the box a simulator. Before each
// run the page cache is dropped where the machine lets us (root), else the
// runs are warm; the benchmark says which.
//
// Prints the median of each and their ratio. Target: the full store's run
// takes at most 1.1 x the empty one's (a start checks what it can at once;
// the full check of every page runs beside the units).
//
// Usage: vornak_store_start_bench [records=1000000] [runs=5] [folder=$TMPDIR]
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_stats.h"
#include "boxsim/box_simulator.h"
#include "records/record_columns.h"
#include "records/record_queries.h"
#include "records/record_store.h"

namespace {

namespace fs = std::filesystem;

constexpr int kDefaultRecords = 1000000;
constexpr int kDefaultRuns = 5;
constexpr double kMaxRatio = 1.1;
constexpr int kBoxPort = 7;
// Records per transaction while the store is filled.
constexpr int kFillBatch = 20000;

const char kRecipe[] =
    "name = \"bench\"\nvariant = \"B\"\n"
    "[settings]\nactivePke = true\ncrankTime = 2\nhornOutputTime = 1\n";

// Runs vornak-cli with `args` in `dir`; its exit status, or -1.
int RunCli(const fs::path& dir, const std::vector<std::string>& args, const fs::path& portDir) {
    std::fflush(stdout);  // the child must not print what this process buffered
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0)
            _exit(127);
        setenv("VORNAK_PORT_DIR", portDir.c_str(), 1);
        if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr))
            _exit(127);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(VORNAK_CLI_PATH));
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(VORNAK_CLI_PATH, argv.data());
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) < 0 || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

std::vector<std::string> UnitArgs() {
    return {"station", "r.toml", "--once", "--rework", "--port", std::to_string(kBoxPort)};
}

// Drops the page cache (root only); whether it could.
bool DropCaches() {
    sync();
    std::ofstream drop("/proc/sys/vm/drop_caches");
    return static_cast<bool>(drop << "3\n" << std::flush);
}

// The record of the unit the folder's store holds.
bool OneRecord(const fs::path& dir, UnitRecord& record) {
    std::string error;
    auto store = OpenRecordStore("sqlite:" + (dir / "records.db").string(), "", error);
    std::vector<UnitRecord> records;
    if (!store || !store->List({}, records, error) || records.empty()) {
        std::fprintf(stderr, "no record to copy: %s\n", error.c_str());
        return false;
    }
    record = records.front();
    return true;
}

// Adds `count` copies of `model` (each its own id and serial) to the store.
bool Fill(const fs::path& dir, const UnitRecord& model, int count) {
    sqlite3* db = nullptr;
    if (sqlite3_open((dir / "records.db").c_str(), &db) != SQLITE_OK)
        return false;
    UnitRecord record = model;
    const RecordQuery insert = InsertRecordQuery(ParamStyle::Sqlite, record);
    sqlite3_stmt* stmt = nullptr;
    bool ok = sqlite3_prepare_v2(db, insert.sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK;
    for (int i = 0; ok && i < count; ++i) {
        if (i % kFillBatch == 0)
            ok = sqlite3_exec(db, i == 0 ? "BEGIN" : "COMMIT; BEGIN", nullptr, nullptr, nullptr) ==
                 SQLITE_OK;
        char serial[32];
        std::snprintf(serial, sizeof serial, "F%011d", i);
        record.id = "fill-" + std::to_string(i);
        record.serial = serial;
        const std::vector<std::string> values = RecordColumnValues(record);
        for (std::size_t k = 0; k < values.size(); ++k) {
            sqlite3_bind_text(stmt, static_cast<int>(k + 1), values[k].data(),
                              static_cast<int>(values[k].size()), SQLITE_TRANSIENT);
        }
        ok = ok && sqlite3_step(stmt) == SQLITE_DONE;
        sqlite3_reset(stmt);
    }
    ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!ok)
        std::fprintf(stderr, "filling the store failed: %s\n", sqlite3_errmsg(db));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return ok;
}

// Median milliseconds of `runs` starts with one unit each; -1 on a failure.
double MedianStartMs(const fs::path& dir, const fs::path& portDir, int runs, bool cold) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        if (cold)
            DropCaches();
        const auto start = std::chrono::steady_clock::now();
        if (RunCli(dir, UnitArgs(), portDir) != 0)
            return -1;
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    return Percentile(ms, 0.5);
}

}  // namespace

int main(int argc, char** argv) {
    const int records = argc > 1 ? std::atoi(argv[1]) : kDefaultRecords;
    const int runs = argc > 2 ? std::atoi(argv[2]) : kDefaultRuns;
    const char* tmp = getenv("TMPDIR");
    const fs::path base = argc > 3 ? fs::path(argv[3]) : fs::path(tmp != nullptr ? tmp : "/tmp");
    const fs::path root = base / ("vornak-store-start-" + std::to_string(getpid()));
    const fs::path empty = root / "empty";
    const fs::path full = root / "full";
    const fs::path ports = root / "ports";
    for (const fs::path& dir : {empty, full, ports}) {
        fs::create_directories(dir);
        std::ofstream(dir / "r.toml") << kRecipe;
    }
    CBoxSimulator box;
    if (!box.Start(ports.string(), kBoxPort)) {
        std::printf("FAIL: the simulator did not start\n");
        return 1;
    }
    // A real unit's record, the model of every copy.
    UnitRecord model;
    if (RunCli(empty, UnitArgs(), ports) != 0 || !OneRecord(empty, model) ||
        RunCli(full, UnitArgs(), ports) != 0) {
        std::printf("FAIL: a first unit did not pass\n");
        return 1;
    }
    fs::remove(empty / "records.db");
    fs::remove(empty / "records.db-wal");
    fs::remove(empty / "records.db-shm");
    std::printf("filling a store with %d records ...\n", records);
    if (!Fill(full, model, records))
        return 1;
    const auto bytes = fs::file_size(full / "records.db");
    std::printf("store: %d records, %.2f GB, %.0f bytes a record\n", records, bytes / 1e9,
                static_cast<double>(bytes) / std::max(records, 1));

    const bool cold = DropCaches();
    std::printf(
        "runs: %d each, %s\n", runs,
        cold ? "cold (page cache dropped before each)" : "warm (no right to drop the page cache)");
    // The empty store's first start makes it; that one is not counted.
    RunCli(empty, UnitArgs(), ports);
    const double emptyMs = MedianStartMs(empty, ports, runs, cold);
    const double fullMs = MedianStartMs(full, ports, runs, cold);
    box.Stop();
    std::error_code ec;
    fs::remove_all(root, ec);
    if (emptyMs < 0 || fullMs < 0) {
        std::printf("FAIL: a unit did not pass\n");
        return 1;
    }
    const double ratio = fullMs / emptyMs;
    std::printf("start and one unit, empty store   median %.1f ms (reference, same run)\n",
                emptyMs);
    std::printf("start and one unit, %d records median %.1f ms\n", records, fullMs);
    std::printf("ratio %.3f (target <= %.2f): %s\n", ratio, kMaxRatio,
                ratio <= kMaxRatio ? "PASS" : "FAIL");
    return ratio <= kMaxRatio ? 0 : 1;
}
