// Several slots at once: four boxes, each a vornak-boxsim process paced at
// 115200 baud, each taking a 64 KiB firmware update and a full configuration
// (settings read, written, read back) through a CStationGroup with a SQLite
// store. The reference, measured in the same run, is one box alone through a
// group of one. Figures: the four together against one alone (target at most
// 1.1 x), and the tool's CPU per slot (this process only; the boxes are
// processes of their own) as a share of one core over the run's wall time
// (target under 5 %).

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_station_files.h"
#include "boxsim/box_simulator.h"
#include "records/record_store.h"
#include "station/config/recipe.h"
#include "station/engine/station_group.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kSlots = 4;
constexpr int kRounds = 2;  // each round: one alone, then four together
constexpr char kLineBaud[] = "115200";
constexpr std::size_t kPackageBytes = 64 * 1024;
constexpr char kOldVersion[] = "VBX-100 V2.3.1";
constexpr char kNewVersion[] = "VBX-100 V3.0.0";
// The box's silence after its commit; the update's waits shrink to match.
constexpr char kRestartMs[] = "300";
constexpr double kTargetTimeRatio = 1.1;
constexpr double kTargetCorePerSlot = 0.05;
// A box's link appears within this once its process runs.
constexpr auto kBoxStartWait = std::chrono::seconds(10);

class CCountingObserver : public IStationObserver {
public:
    void OnStationEvent(const StationEvent&) override {}
};

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(u.ru_utime) + seconds(u.ru_stime);
}

// A vornak-boxsim process serving DIR/COM<com> at the old version.
pid_t StartBox(const fs::path& portDir, int com) {
    const std::string comText = std::to_string(com);
    const std::string serial = "1234AB0000" + std::string(com < 10 ? "0" : "") + comText;
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        execl(VORNAK_BOXSIM_PATH, "vornak-boxsim", "--port-dir", portDir.c_str(), "--com",
              comText.c_str(), "--version", kOldVersion, "--serial", serial.c_str(), "--restart-ms",
              kRestartMs, "--throttle", kLineBaud, nullptr);
        _exit(127);
    }
    const auto end = Clock::now() + kBoxStartWait;
    while (!fs::exists(portDir / ("COM" + comText)) && Clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return pid;
}

void StopBox(pid_t pid) {
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

struct RunFigures {
    double seconds = 0;
    double cpuSeconds = 0;
    bool allPassed = false;
};

// `slots` fresh boxes through one group, once each.
RunFigures RunSlots(int slots, const fs::path& portDir, const Recipe& recipe, IRecordStore& store,
                    const StationOptions& options) {
    std::vector<pid_t> boxes;
    std::vector<StationSlot> named;
    for (int i = 1; i <= slots; ++i) {
        boxes.push_back(StartBox(portDir, i));
        named.push_back({"S" + std::to_string(i), "COM" + std::to_string(i)});
    }
    CCountingObserver observer;
    RunFigures figures;
    {
        CStationGroup group(recipe, store, observer, options, named);
        const double cpu0 = CpuSeconds();
        const auto t0 = Clock::now();
        std::string error;
        if (group.Start(error)) {
            group.Wait();
            figures.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
            figures.cpuSeconds = CpuSeconds() - cpu0;
            const auto results = group.Results();
            figures.allPassed = std::all_of(results.begin(), results.end(),
                                            [](const auto& r) { return r == UnitResult::Pass; });
        } else {
            std::fprintf(stderr, "%s\n", error.c_str());
        }
    }
    for (pid_t pid : boxes)
        StopBox(pid);
    return figures;
}

}  // namespace

int main() {
    char tmpl[] = "/tmp/vornak-slots-bench.XXXXXX";
    if (mkdtemp(tmpl) == nullptr)
        return 1;
    const fs::path dir = tmpl;
    const fs::path portDir = dir / "ports";
    fs::create_directory(portDir);
    setenv("VORNAK_PORT_DIR", portDir.c_str(), 1);
    Recipe recipe;
    std::unique_ptr<IRecordStore> store;
    if (!MakeBenchStation(dir, kNewVersion, kPackageBytes, "", recipe, store))
        return 1;

    StationOptions options;
    options.station = "bench";
    options.once = true;
    options.rework = true;  // the same serials every round
    options.timing = BenchUpgradeTiming(50);

    std::vector<double> alone;
    std::vector<double> together;
    std::vector<double> corePerSlot;
    bool ok = true;
    for (int round = 0; round < kRounds; ++round) {
        const RunFigures one = RunSlots(1, portDir, recipe, *store, options);
        const RunFigures four = RunSlots(kSlots, portDir, recipe, *store, options);
        ok = ok && one.allPassed && four.allPassed;
        alone.push_back(one.seconds);
        together.push_back(four.seconds);
        corePerSlot.push_back(four.cpuSeconds / four.seconds / kSlots);
        std::printf("round %d: one alone %.2f s, four together %.2f s, tool CPU %.2f s\n",
                    round + 1, one.seconds, four.seconds, four.cpuSeconds);
    }
    fs::remove_all(dir);
    if (!ok) {
        std::printf("FAIL: a unit did not pass\n");
        return 1;
    }

    const double ratio = *std::min_element(together.begin(), together.end()) /
                         *std::min_element(alone.begin(), alone.end());
    const double core = *std::max_element(corePerSlot.begin(), corePerSlot.end());
    const bool timeOk = ratio <= kTargetTimeRatio;
    const bool cpuOk = core < kTargetCorePerSlot;
    std::printf("four together / one alone  %.3f x; target <= %.1f x: %s\n", ratio,
                kTargetTimeRatio, timeOk ? "PASS" : "FAIL");
    std::printf("tool CPU per slot          %.2f %% of a core (%.2f of the target %.0f %%): %s\n",
                core * 100, core / kTargetCorePerSlot, kTargetCorePerSlot * 100,
                cpuOk ? "PASS" : "FAIL");
    return timeOk && cpuOk ? 0 : 1;
}
