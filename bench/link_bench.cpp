// Device link benchmark over a pseudo-terminal against the box simulator.
//
//  (a) CMD_GET_SERIAL round trips through CDeviceLink::Transact, receive
//      thread running;
//  (b) the same request and reply bytes as a bare ping-pong on the same
//      simulator's line: no link, no receive thread, bulk reads;
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

#include "link/boxsim/box_simulator.h"
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
constexpr double kMaxRatio = 2.0;
constexpr double kMaxRoundTripUs = 5000.0;
constexpr double kMaxIdleCpuPercent = 1.0;
constexpr int kBoxPort = 1;
constexpr int kReadWaitMs = 2000;

double Percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    const std::size_t i = static_cast<std::size_t>(p / 100.0 * static_cast<double>(v.size() - 1));
    return v[i];
}

double ProcessCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

const char* Verdict(bool ok) {
    return ok ? "PASS" : "FAIL";
}

std::vector<double> LinkRoundTrips(CDeviceLink& link, int count) {
    std::vector<double> times;
    times.reserve(static_cast<std::size_t>(count));
    std::uint8_t reply[REPLY_LIMIT];
    for (int i = 0; i < kWarmUpRoundTrips + count; ++i) {
        std::uint16_t result = 0;
        std::uint32_t length = 0;
        const Clock::time_point start = Clock::now();
        const StatusWord st = link.Transact(CMD_GET_SERIAL, SUB_DEFAULT, nullptr, 0, &result, reply,
                                            REPLY_LIMIT, &length, TIMEOUT_DEFAULT_MS);
        const double us = Micros(Clock::now() - start).count();
        if (st != ST_OK) {
            std::fprintf(stderr, "transaction %d failed: %04X\n", i, st);
            return {};
        }
        if (i >= kWarmUpRoundTrips)
            times.push_back(us);
    }
    return times;
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

std::vector<double> BarePingPong(const std::string& path, const std::vector<std::uint8_t>& request,
                                 std::size_t replySize, int count) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {};
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    std::vector<double> times;
    times.reserve(static_cast<std::size_t>(count));
    std::vector<std::uint8_t> reply(replySize);
    for (int i = 0; i < kWarmUpRoundTrips + count; ++i) {
        const Clock::time_point start = Clock::now();
        if (write(fd, request.data(), request.size()) != static_cast<ssize_t>(request.size()) ||
            !ReadExactly(fd, reply.data(), reply.size())) {
            std::fprintf(stderr, "bare round trip %d failed\n", i);
            times.clear();
            break;
        }
        const double us = Micros(Clock::now() - start).count();
        if (i >= kWarmUpRoundTrips)
            times.push_back(us);
    }
    close(fd);
    return times;
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
        std::uint8_t reply[REPLY_LIMIT];
        std::uint32_t replyLength = 0;
        link.Transact(CMD_GET_SERIAL, SUB_DEFAULT, nullptr, 0, nullptr, reply, REPLY_LIMIT,
                      &replyLength, TIMEOUT_DEFAULT_MS);
        const std::size_t replyFrameSize = replyLength + kMinReplyPayload + kFrameOverhead;

        const std::vector<double> viaLink = LinkRoundTrips(link, roundTrips);

        // (c) while the link is connected and idle.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const double cpuBefore = ProcessCpuSeconds();
        const Clock::time_point idleStart = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
        const double idleWall = std::chrono::duration<double>(Clock::now() - idleStart).count();
        const double idleCpuPercent = (ProcessCpuSeconds() - cpuBefore) / idleWall * 100.0;

        link.Disconnect();
        std::vector<std::uint8_t> payload;
        BuildRequestPayload(CMD_GET_SERIAL, SUB_DEFAULT, nullptr, 0, payload);
        std::vector<std::uint8_t> request;
        BuildFrame(kRequestStart, payload.data(), payload.size(), request);
        const std::vector<double> bare =
            BarePingPong(box.LinkPath(), request, replyFrameSize, roundTrips);

        if (viaLink.empty() || bare.empty())
            return 2;
        const double p50a = Percentile(viaLink, 50);
        const double p99a = Percentile(viaLink, 99);
        const double maxA = *std::max_element(viaLink.begin(), viaLink.end());
        const double p50b = Percentile(bare, 50);
        const double p99b = Percentile(bare, 99);
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
