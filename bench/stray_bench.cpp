// Stray-frame benchmark: the paced soak (bench/paced_soak.h) with the box
// sending frames of its own every 2 ms, against a reference run of the same
// requests without them.
//
// Prints how many of the box's own frames were taken for a reply and caught
// (a configuration read failed with ST_SHORT_REPLY) or passed (judged a good
// identity reply), and the share of good replies as a ratio to the reference.
// Targets: no wrong reply ever judged good except the counted identity ones;
// those at most 2% of identity reads; good replies at least 0.99 of the
// reference's. Usage: vornak_stray_bench [transactions=1000] [pace_ms=20]
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/paced_soak.h"
#include "link/port_names.h"

namespace {

constexpr int kDefaultTransactions = 1000;
constexpr int kDefaultPaceMs = 20;
constexpr std::chrono::milliseconds kOwnFrameInterval{2};
// Measured near 0.4%: the window is the microseconds between the tool discarding
// its input and the box reading the request, against one frame every 2 ms.
constexpr double kMaxStrayPassedShare = 0.02;
constexpr double kMinGoodRatio = 0.99;
constexpr int kBoxPort = 1;

const char* Verdict(bool ok) {
    return ok ? "PASS" : "FAIL";
}

double Share(int part, int whole) {
    return whole == 0 ? 0.0 : static_cast<double>(part) / whole;
}

void Print(const char* name, const PacedSoakTally& t) {
    std::printf(
        "%-9s %5d transactions  good %5d  stray caught %3d  stray passed %3d  wrong passed %d  "
        "other failures %d\n",
        name, t.transactions, t.good, t.strayCaught, t.strayPassed, t.wrongPassed, t.otherFailures);
}

}  // namespace

int main(int argc, char** argv) {
    PacedSoakOptions options;
    options.transactions = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultTransactions;
    options.pace =
        std::chrono::milliseconds(argc > 2 ? std::max(0, std::atoi(argv[2])) : kDefaultPaceMs);

    char dirName[] = "/tmp/vornak-stray-XXXXXX";
    if (mkdtemp(dirName) == nullptr)
        return 2;
    const std::string dir = dirName;
    setenv(kPortDirVariable, dir.c_str(), 1);

    bool allPass = false;
    {
        CBoxSimulator box;
        CDeviceLink link;
        std::uint8_t found = 0;
        if (!box.Start(dir, kBoxPort) || link.ScanPorts(&found) != ST_OK) {
            std::fprintf(stderr, "no simulated box\n");
            return 2;
        }
        std::printf("%d transactions paced %lld ms apart, own frames every %lld ms\n",
                    options.transactions, static_cast<long long>(options.pace.count()),
                    static_cast<long long>(kOwnFrameInterval.count()));
        options.unsolicitedInterval = std::chrono::milliseconds(0);
        const PacedSoakTally reference = RunPacedSoak(box, link, options);
        options.unsolicitedInterval = kOwnFrameInterval;
        const PacedSoakTally soak = RunPacedSoak(box, link, options);
        link.Disconnect();

        Print("reference", reference);
        Print("own frames", soak);
        const double caught = Share(soak.strayCaught, soak.transactions);
        const double passed = Share(soak.strayPassed, soak.identityReads);
        const double goodRatio = Share(soak.good, soak.transactions) /
                                 std::max(Share(reference.good, reference.transactions), 1e-9);
        std::printf("stray caught %.2f%% of transactions, stray passed %.2f%% of identity reads\n",
                    caught * 100, passed * 100);
        std::printf("good replies %.4f of the reference's\n", goodRatio);

        const bool noWrong = soak.wrongPassed == 0 && reference.wrongPassed == 0;
        const bool fewPassed = passed <= kMaxStrayPassedShare;
        const bool goodOk = goodRatio >= kMinGoodRatio;
        std::printf("%s  no wrong reply judged good but the counted identity ones\n",
                    Verdict(noWrong));
        std::printf("%s  stray frames passed at most %.0f%% of identity reads\n",
                    Verdict(fewPassed), kMaxStrayPassedShare * 100);
        std::printf("%s  good replies at least %.2f of the reference's\n", Verdict(goodOk),
                    kMinGoodRatio);
        allPass = noWrong && fewPassed && goodOk;
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return allPass ? 0 : 1;
}
