// The station's own cost per unit: whole units (recipe with settings and a
// download, the box already at the recipe's version) run through CStation
// with a SQLite store, against a reference made of the same box exchanges
// through the same operations with no station around them (open and probe,
// identity, settings read, write and read back, the download). The
// difference is what the station adds: interlock, hashing, JSON, the record
// committed with synchronous=FULL, events, thread and link set-up. Run under
// scripts/with-postgres.sh (VORNAK_TEST_PG_URL set) it measures the same with
// a local PostgreSQL store as well.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_station_files.h"
#include "boxsim/box_simulator.h"
#include "link/device_link.h"
#include "records/record_store.h"
#include "station/config/recipe.h"
#include "station/engine/box_operations.h"
#include "station/engine/station.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPort = 5;
constexpr int kWarmUpUnits = 3;
constexpr int kUnits = 40;
constexpr double kTargetOverheadMs = 20.0;
constexpr double kTargetPostgresOverheadMs = 50.0;
constexpr std::size_t kDownloadSize = 4096;
constexpr char kBoxVersion[] = "VBX-100 V2.3.1";

class CSilentObserver : public IStationObserver {
public:
    void OnStationEvent(const StationEvent&) override { ++m_events; }
    long m_events = 0;
};

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The unit's box exchanges alone.
bool ReferenceUnit(const Recipe& recipe, const UpgradeTiming& timing) {
    CDeviceLink link;
    CBoxOperations box(link, timing);
    if (link.OpenPort(kPort) != ST_OK || !box.Probe())
        return false;
    std::string version;
    std::string serial;
    DeviceSettings settings;
    if (!box.ReadVersion(version) || !box.ReadSerial(serial) || !box.ReadSettings(settings).ok)
        return false;
    ApplyRecipeSettings(recipe, settings);
    DeviceSettings after;
    return box.WriteSettings(settings).ok && box.ReadSettings(after).ok &&
           box.Download(*recipe.downloads.front().bytes, recipe.downloads.front().slot);
}

// Units through the station with `store`, against the same exchanges alone;
// prints the overhead against `targetMs`. False when a unit failed or the
// target was missed.
bool Measure(const Recipe& recipe, IRecordStore& store, const char* storeName, double targetMs) {
    StationOptions options;
    options.station = "bench";
    options.port.kind = PortChoice::Kind::Number;
    options.port.number = kPort;
    options.once = true;
    options.rework = true;  // the same box every time
    CSilentObserver observer;

    std::vector<double> station;
    std::vector<double> reference;
    bool ok = true;
    for (int i = 0; i < kWarmUpUnits + kUnits; ++i) {
        auto t0 = Clock::now();
        {
            // Gone before the reference opens the port: it holds the port
            // for itself.
            CStation s(recipe, store, observer, options);
            ok = s.Run() == UnitResult::Pass && ok;
        }
        const double unitMs = Ms(Clock::now() - t0);
        t0 = Clock::now();
        ok = ReferenceUnit(recipe, options.timing) && ok;
        const double refMs = Ms(Clock::now() - t0);
        if (i >= kWarmUpUnits) {
            station.push_back(unitMs);
            reference.push_back(refMs);
        }
    }
    if (!ok) {
        std::printf("FAIL: a unit did not pass (%s store)\n", storeName);
        return false;
    }
    const double unit = Median(station);
    const double ref = Median(reference);
    const double overhead = unit - ref;
    std::printf("station unit      median %.2f ms (%d units, %s store)\n", unit, kUnits, storeName);
    std::printf("box exchanges     median %.2f ms (reference, same run)\n", ref);
    std::printf(
        "station overhead  %.2f ms per unit, %.2f x the reference; target < %.0f ms "
        "(%.2f of it): %s\n",
        overhead, overhead / ref, targetMs, overhead / targetMs,
        overhead < targetMs ? "PASS" : "FAIL");
    return overhead < targetMs;
}

}  // namespace

int main() {
    namespace fs = std::filesystem;
    char tmpl[] = "/tmp/vornak-station-bench.XXXXXX";
    if (mkdtemp(tmpl) == nullptr)
        return 1;
    const fs::path dir = tmpl;
    fs::create_directory(dir / "ports");
    setenv("VORNAK_PORT_DIR", (dir / "ports").c_str(), 1);

    CBoxSimulator sim;
    if (!sim.Start((dir / "ports").string(), kPort))
        return 1;
    sim.SetVersion(kBoxVersion);
    std::ofstream(dir / "app.bin", std::ios::binary) << std::string(kDownloadSize, 'x');
    Recipe recipe;
    std::unique_ptr<IRecordStore> store;
    if (!MakeBenchStation(dir, kBoxVersion, 64 * 1024,
                          "[[download]]\nfile = \"app.bin\"\nslot = 0\n", recipe, store))
        return 1;

    bool ok = Measure(recipe, *store, "SQLite", kTargetOverheadMs);
    if (const char* url = std::getenv("VORNAK_TEST_PG_URL")) {
        std::string error;
        std::unique_ptr<IRecordStore> pg =
            OpenRecordStore(url, (dir / "pg-queue.db").string(), error);
        ok = pg ? Measure(recipe, *pg, "PostgreSQL", kTargetPostgresOverheadMs) && ok : false;
        if (!pg)
            std::printf("FAIL: %s\n", error.c_str());
    } else {
        std::printf("(PostgreSQL: run under scripts/with-postgres.sh to measure it too)\n");
    }
    sim.Stop();
    fs::remove_all(dir);
    return ok ? 0 : 1;
}
