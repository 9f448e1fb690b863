// Low latency on Linux: ASYNC_LOW_LATENCY through TIOCGSERIAL/TIOCSSERIAL and
// the usb-serial latency_timer attribute.
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <system_error>

#include "link/low_latency.h"

namespace fs = std::filesystem;

namespace {

bool WriteTimer(const std::string& file, int ms) {
    std::ofstream out(file);
    out << ms << "\n";
    out.flush();
    return static_cast<bool>(out);
}

}  // namespace

std::optional<LatencyTimer> ReadLatencyTimer(const std::string& sysfsRoot,
                                             const std::string& devicePath) {
    std::error_code ec;
    const fs::path device = fs::canonical(devicePath, ec);
    if (ec)
        return std::nullopt;
    LatencyTimer timer;
    timer.file =
        (fs::path(sysfsRoot) / "bus/usb-serial/devices" / device.filename() / "latency_timer")
            .string();
    std::ifstream in(timer.file);
    if (!(in >> timer.ms))
        return std::nullopt;
    timer.writable = access(timer.file.c_str(), W_OK) == 0;
    return timer;
}

void CLowLatency::Apply(int fd, const std::string& devicePath, const std::string& sysfsRoot) {
    // Pseudo-terminals and some drivers answer ENOTTY or EINVAL: no flag to set.
    serial_struct serial{};
    if (ioctl(fd, TIOCGSERIAL, &serial) == 0 && (serial.flags & ASYNC_LOW_LATENCY) == 0) {
        const int old = serial.flags;
        serial.flags |= ASYNC_LOW_LATENCY;
        if (ioctl(fd, TIOCSSERIAL, &serial) == 0) {
            m_flagSet = true;
            m_oldFlags = old;
        }
    }

    const std::optional<LatencyTimer> timer = ReadLatencyTimer(sysfsRoot, devicePath);
    if (timer && timer->ms > kLowLatencyTimerMs && timer->writable &&
        WriteTimer(timer->file, kLowLatencyTimerMs)) {
        m_timerFile = timer->file;
        m_oldTimerMs = timer->ms;
    }
}

void CLowLatency::Restore(int fd) {
    if (m_flagSet && fd >= 0) {
        serial_struct serial{};
        if (ioctl(fd, TIOCGSERIAL, &serial) == 0) {
            serial.flags = m_oldFlags;
            ioctl(fd, TIOCSSERIAL, &serial);
        }
    }
    m_flagSet = false;
    if (!m_timerFile.empty())
        WriteTimer(m_timerFile, m_oldTimerMs);
    m_timerFile.clear();
}
