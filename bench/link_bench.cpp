// Device link benchmark over a pseudo-terminal against the box simulator.
//
//  (a) CMD_GET_SERIAL round trips through CDeviceLink::Transact, receive
//      thread running;
//  (b) the same request and reply bytes as a bare ping-pong on the same
//      simulator's line: no link, no receive thread, bulk reads; (a) and (b)
//      run in alternating batches so that both see the same machine load;
//  (c) CPU time of the whole process while a connected link sits idle.
// Targets: p99(a) <= 2 x p99(b), no round trip of (a) above 5 ms, idle CPU
// under 1% of a core. Usage: vornak_link_bench [round trips] [idle seconds]
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_stats.h"
#include "boxsim/box_simulator.h"
#include "link/command_codes.h"
#include "link/device_link.h"
#include "link/frame_codec.h"
#include "link/port_names.h"

namespace {

using Clock = std::chrono::steady_clock;
using Micros = std::chrono::duration<double, std::micro>;

constexpr int kDefaultRoundTrips = 5000;
constexpr int kDefaultIdleSeconds = 10;
constexpr int kWarmUpRoundTrips = 200;
constexpr int kBatch = 250;
constexpr double kMaxRatio = 2.0;
constexpr double kMaxRoundTripUs = 5000.0;
constexpr double kMaxIdleCpuPercent = 1.0;
constexpr int kBoxPort = 1;
constexpr int kReadWaitMs = 2000;

double ProcessCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

const char* Verdict(bool ok) {
    return ok ? "PASS" : "FAIL";
}

// Appends `count` round trips after `warmUp` unmeasured ones; false on a
// failed exchange.
bool LinkRoundTrips(CDeviceLink& link, int warmUp, int count, std::vector<double>& times) {
    for (int i = 0; i < warmUp + count; ++i) {
        const Clock::time_point start = Clock::now();
        const StatusWord st = link.Transact({.command = CMD_GET_SERIAL}).status;
        const double us = Micros(Clock::now() - start).count();
        if (st != ST_OK) {
            std::fprintf(stderr, "transaction %d failed: %04X\n", i, st);
            return false;
        }
        if (i >= warmUp)
            times.push_back(us);
    }
    return true;
}

bool ReadExactly(int fd, std::uint8_t* p, std::size_t n) {
    while (n > 0) {
        pollfd pf{fd, POLLIN, 0};
        if (poll(&pf, 1, kReadWaitMs) <= 0)
            return false;
        const ssize_t r = read(fd, p, n);
        if (r <= 0)
            return false;
        p += r;
        n -= static_cast<std::size_t>(r);
    }
    return true;
}

bool BarePingPong(const std::string& path, const std::vector<std::uint8_t>& request,
                  std::size_t replySize, int warmUp, int count, std::vector<double>& times) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    std::vector<std::uint8_t> reply(replySize);
    bool ok = true;
    for (int i = 0; i < warmUp + count && ok; ++i) {
        const Clock::time_point start = Clock::now();
        ok = write(fd, request.data(), request.size()) == static_cast<ssize_t>(request.size()) &&
             ReadExactly(fd, reply.data(), reply.size());
        const double us = Micros(Clock::now() - start).count();
        if (ok && i >= warmUp)
            times.push_back(us);
    }
    if (!ok)
        std::fprintf(stderr, "bare round trip failed\n");
    close(fd);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    const int roundTrips = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultRoundTrips;
    const int idleSeconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : kDefaultIdleSeconds;

    char dirName[] = "/tmp/vornak-bench-XXXXXX";
    if (mkdtemp(dirName) == nullptr)
        return 2;
    const std::string dir = dirName;
    setenv(kPortDirVariable, dir.c_str(), 1);

    bool allPass = true;
    {
        CBoxSimulator box;
        if (!box.Start(dir, kBoxPort)) {
            std::fprintf(stderr, "simulator did not start\n");
            return 2;
        }
        CDeviceLink link;
        std::uint8_t found = 0;
        if (link.ScanPorts(&found) != ST_OK) {
            std::fprintf(stderr, "no box found\n");
            return 2;
        }
        std::printf("box on COM%d, %d round trips each\n", found, roundTrips);

        // The reply's size, for the bare reader.
        const std::uint32_t replyLength = link.Transact({.command = CMD_GET_SERIAL}).length;
        const std::size_t replyFrameSize = replyLength + kMinReplyPayload + kFrameOverhead;

        std::vector<std::uint8_t> request(kTxBufSize);
        request.resize(BuildRequestFrame(CMD_GET_SERIAL, SUB_DEFAULT, nullptr, 0, request.data()));

        // (a) and (b) take turns in batches, so that both see the same load.
        std::vector<double> viaLink;
        std::vector<double> bare;
        for (int done = 0; done < roundTrips; done += kBatch) {
            const int n = std::min(kBatch, roundTrips - done);
            const int warmUp = done == 0 ? kWarmUpRoundTrips : 0;
            if (!link.IsOpen() && link.ScanPorts(&found) != ST_OK)
                return 2;
            if (!LinkRoundTrips(link, warmUp, n, viaLink))
                return 2;
            link.Disconnect();  // the bare side opens the line itself
            if (!BarePingPong(box.LinkPath(), request, replyFrameSize, warmUp, n, bare))
                return 2;
        }

        // (c) while the link is connected and idle.
        if (link.ScanPorts(&found) != ST_OK)
            return 2;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const double cpuBefore = ProcessCpuSeconds();
        const Clock::time_point idleStart = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
        const double idleWall = std::chrono::duration<double>(Clock::now() - idleStart).count();
        const double idleCpuPercent = (ProcessCpuSeconds() - cpuBefore) / idleWall * 100.0;
        link.Disconnect();

        if (viaLink.empty() || bare.empty())
            return 2;
        const double p50a = Percentile(viaLink, 0.50);
        const double p99a = Percentile(viaLink, 0.99);
        const double maxA = *std::max_element(viaLink.begin(), viaLink.end());
        const double p50b = Percentile(bare, 0.50);
        const double p99b = Percentile(bare, 0.99);
        const double ratio = p99a / p99b;

        std::printf("(a) link   p50 %8.1f us  p99 %8.1f us  max %8.1f us\n", p50a, p99a, maxA);
        std::printf("(b) bare   p50 %8.1f us  p99 %8.1f us\n", p50b, p99b);
        std::printf("    ratio p50 %.2f  p99 %.2f\n", p50a / p50b, ratio);
        std::printf("(c) idle   %.3f%% of a core over %.1f s\n", idleCpuPercent, idleWall);

        const bool ratioOk = ratio <= kMaxRatio;
        const bool maxOk = maxA <= kMaxRoundTripUs;
        const bool idleOk = idleCpuPercent < kMaxIdleCpuPercent;
        std::printf("%s  p99(a) <= %.0f x p99(b)\n", Verdict(ratioOk), kMaxRatio);
        std::printf("%s  no round trip above %.0f ms\n", Verdict(maxOk), kMaxRoundTripUs / 1000);
        std::printf("%s  idle CPU under %.0f%% of a core\n", Verdict(idleOk), kMaxIdleCpuPercent);
        allPass = ratioOk && maxOk && idleOk;
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return allPass ? 0 : 1;
}
