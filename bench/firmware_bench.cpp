// Firmware update and file download of 256 KiB each against the box simulator
// throttled to the line's 115200 baud, timed from the first request to the
// last reply and set against the wire-time bound: every request and reply byte
// at 10 bits, plus for the update its fixed pauses and the box's restart. Then
// the same transfers unthrottled, as packets per second.

#include <stdlib.h>
#include <sys/prctl.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "boxsim/box_simulator.h"
#include "dialog/dialog_model.h"
#include "dialog/model_host.h"
#include "firmware/file_transfer.h"
#include "firmware/firmware_update.h"
#include "firmware/load_slots.h"
#include "link/command_codes.h"
#include "link/device_link.h"
#include "res/resource.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr unsigned kLineBaud = 115200;
// Start bit, 8 data bits, stop bit.
constexpr double kBitsPerByte = 10.0;
constexpr std::size_t kTransferSize = 256 * 1024;
// Package header of the sample packages.
constexpr std::size_t kSampleHeader = 32;
// The box's silence after a commit, as a real box might take.
constexpr std::chrono::milliseconds kRestartTime{1000};
constexpr double kTargetRatio = 1.05;
// Timer slack of the simulated wire's sleeps, in nanoseconds.
constexpr unsigned long kTimerSlackNs = 1000;

// Counts wire bytes through the link's frame trace and notes the time of the
// first request and of the last reply.
class CWireMeter {
public:
    void Reset() {
        std::lock_guard lock(m_mutex);
        m_bytes = 0;
        m_frames = 0;
        m_first.reset();
        m_last.reset();
    }
    void OnFrame(bool outgoing, std::size_t n) {
        const auto now = Clock::now();
        std::lock_guard lock(m_mutex);
        m_bytes += n;
        if (outgoing) {
            ++m_frames;
            if (!m_first)
                m_first = now;
        } else {
            m_last = now;
        }
    }
    std::uint64_t Bytes() const {
        std::lock_guard lock(m_mutex);
        return m_bytes;
    }
    std::uint64_t Requests() const {
        std::lock_guard lock(m_mutex);
        return m_frames;
    }
    double ElapsedSeconds() const {
        std::lock_guard lock(m_mutex);
        if (!m_first || !m_last)
            return 0;
        return std::chrono::duration<double>(*m_last - *m_first).count();
    }

private:
    mutable std::mutex m_mutex;
    std::uint64_t m_bytes = 0;
    std::uint64_t m_frames = 0;
    std::optional<Clock::time_point> m_first;
    std::optional<Clock::time_point> m_last;
};

struct Bench {
    std::string portDir;
    std::string workDir;
    CBoxSimulator sim;
    CDeviceLink link;
    std::shared_ptr<CDialogModel> model = std::make_shared<CDialogModel>();
    std::shared_ptr<CModelHost> host = std::make_shared<CModelHost>(model, &link);
    CWireMeter meter;
};

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

double WireSeconds(std::uint64_t bytes) {
    return bytes * kBitsPerByte / kLineBaud;
}

bool Report(const char* name, const CWireMeter& meter, double extraSeconds,
            const std::string& status, const char* expected) {
    const double elapsed = meter.ElapsedSeconds();
    const double bound = WireSeconds(meter.Bytes()) + extraSeconds;
    const double ratio = elapsed / bound;
    std::printf("%-22s %8llu wire bytes  elapsed %8.3f s  bound %8.3f s  ratio %.4f %s\n", name,
                static_cast<unsigned long long>(meter.Bytes()), elapsed, bound, ratio,
                ratio <= kTargetRatio ? "(within 1.05)" : "(OVER 1.05)");
    if (status != expected) {
        std::printf("  unexpected outcome: %s\n", status.c_str());
        return false;
    }
    return true;
}

void ReportRate(const char* name, const CWireMeter& meter) {
    const double elapsed = meter.ElapsedSeconds();
    std::printf("%-22s %8llu requests    elapsed %8.3f s  %10.0f packets/s\n", name,
                static_cast<unsigned long long>(meter.Requests()), elapsed,
                elapsed > 0 ? meter.Requests() / elapsed : 0.0);
}

bool RunUpdate(Bench& b, const UpgradeTiming& timing) {
    b.meter.Reset();
    RunUpgrade(*b.host, timing);
    return b.model->GetItemText(IDC_STATUS) == "固件刷新成功!";
}

bool RunDownload(Bench& b) {
    b.meter.Reset();
    OnSendFile(*b.host);
    return b.model->GetItemText(IDC_STATUS) == "文件发送完成." && b.sim.Slot(0).sha1Matches;
}

}  // namespace

int main() {
    // The simulated wire sleeps once a byte; the default 50 us timer slack of
    // every such sleep would be charged to the tool. Threads started from here
    // on (the simulator's) inherit the finer slack.
    prctl(PR_SET_TIMERSLACK, kTimerSlackNs);
    Bench b;
    char ports[] = "/tmp/vornak-bench-ports.XXXXXX";
    char work[] = "/tmp/vornak-bench-work.XXXXXX";
    if (mkdtemp(ports) == nullptr || mkdtemp(work) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    b.portDir = ports;
    b.workDir = work;
    const auto oldCwd = std::filesystem::current_path();
    std::filesystem::current_path(b.workDir);
    std::filesystem::create_directory("Prg");
    setenv("VORNAK_PORT_DIR", b.portDir.c_str(), 1);
    if (!b.sim.Start(b.portDir, 1)) {
        std::fprintf(stderr, "simulator did not start\n");
        return 1;
    }
    b.sim.SetRestartTime(kRestartTime);
    b.link.SetTraceHook(
        [&b](bool outgoing, const std::uint8_t*, std::size_t n) { b.meter.OnFrame(outgoing, n); });

    // Connect first, so that the port scan is not timed.
    std::uint8_t com = 0;
    b.link.ScanPorts(&com);

    WriteFile("Prg/bench.pkg", MakeSamplePackage("BENCH V9", kTransferSize - kSampleHeader));
    b.model->ComboInsert(IDC_PACKAGE_LIST, -1, "bench.pkg");
    b.model->ComboSetCurSel(IDC_PACKAGE_LIST, 0);
    std::vector<std::uint8_t> file(kTransferSize);
    for (std::size_t i = 0; i < file.size(); ++i)
        file[i] = static_cast<std::uint8_t>(i * 131 >> 3);
    WriteFile(b.workDir + "/bench.bin", file);
    b.model->SetItemText(IDC_TARGET_FILE, b.workDir + "/bench.bin");
    FillLoadAddressList(*b.model);

    bool ok = true;
    std::printf("Throttled to %u baud, 256 KiB each:\n", kLineBaud);
    b.sim.SetFaults({.throttleBaud = kLineBaud});
    const UpgradeTiming timing;  // the product's pauses
    ok &= RunUpdate(b, timing);
    ok &= Report(
        "firmware update", b.meter,
        timing.TotalPausesMs() / 1000.0 + std::chrono::duration<double>(kRestartTime).count(),
        b.model->GetItemText(IDC_STATUS), "固件刷新成功!");
    ok &= RunDownload(b);
    ok &= Report("file download", b.meter, 0, b.model->GetItemText(IDC_STATUS), "文件发送完成.");

    std::printf("Unthrottled:\n");
    b.sim.SetFaults({});
    b.sim.SetRestartTime(std::chrono::milliseconds(0));
    UpgradeTiming noPauses;
    noPauses.prepareSettleMs = noPauses.restartSettleMs = noPauses.versionPauseMs = 0;
    noPauses.serialPauseMs = noPauses.factoryResetPauseMs = 0;
    ok &= RunUpdate(b, noPauses);
    ReportRate("firmware update", b.meter);
    ok &= RunDownload(b);
    ReportRate("file download", b.meter);

    b.link.SetTraceHook(nullptr);
    b.link.Disconnect();
    b.sim.Stop();
    std::filesystem::current_path(oldCwd);
    std::filesystem::remove_all(b.portDir);
    std::filesystem::remove_all(b.workDir);
    if (!ok)
        std::printf("A transfer did not end as expected.\n");
    return ok ? 0 : 1;
}
