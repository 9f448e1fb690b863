// The station's own cost per unit: whole units (recipe with settings and a
// download, the box already at the recipe's version) run through CStation
// with a SQLite store, against a reference made of the same box exchanges
// through the same operations with no station around them (open and probe,
// identity, settings read, write and read back, the download). The
// difference is what the station adds: interlock, hashing, JSON, the record
// committed with synchronous=FULL, events, thread and link set-up.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_station_files.h"
#include "boxsim/box_simulator.h"
#include "link/device_link.h"
#include "records/record_store.h"
#include "station/box_operations.h"
#include "station/recipe.h"
#include "station/station.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPort = 5;
constexpr int kWarmUpUnits = 3;
constexpr int kUnits = 40;
constexpr double kTargetOverheadMs = 20.0;
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
           box.Download(recipe.downloads.front().file, recipe.downloads.front().slot);
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

    StationOptions options;
    options.station = "bench";
    options.port = "COM" + std::to_string(kPort);
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
            CStation s(recipe, *store, observer, options);
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
    sim.Stop();
    fs::remove_all(dir);
    if (!ok) {
        std::printf("FAIL: a unit did not pass\n");
        return 1;
    }

    const double unit = Median(station);
    const double ref = Median(reference);
    const double overhead = unit - ref;
    std::printf("station unit      median %.2f ms (%d units, SQLite store)\n", unit, kUnits);
    std::printf("box exchanges     median %.2f ms (reference, same run)\n", ref);
    std::printf(
        "station overhead  %.2f ms per unit, %.2f x the reference; target < %.0f ms "
        "(%.2f of it): %s\n",
        overhead, overhead / ref, kTargetOverheadMs, overhead / kTargetOverheadMs,
        overhead < kTargetOverheadMs ? "PASS" : "FAIL");
    return overhead < kTargetOverheadMs ? 0 : 1;
}
