// The port watch on Linux: inotify on the port folder, or a udev monitor on
// the tty subsystem.
#include <libudev.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "link/port_names.h"
#include "link/port_watch.h"
#include "link/wake_signal.h"

namespace {
// Room for a burst of folder notices, each a header and a name.
constexpr std::size_t kInotifyBufferBytes = 4096;
}  // namespace

struct CPortWatch::Impl {
    int inotifyFd = -1;
    udev* u = nullptr;
    udev_monitor* monitor = nullptr;

    ~Impl() {
        if (inotifyFd >= 0)
            close(inotifyFd);
        if (monitor != nullptr)
            udev_monitor_unref(monitor);
        if (u != nullptr)
            udev_unref(u);
    }
};

CPortWatch::CPortWatch() : m_impl(std::make_unique<Impl>()) {
    if (const char* dir = std::getenv(kPortDirVariable); dir != nullptr && *dir != '\0') {
        m_impl->inotifyFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_impl->inotifyFd >= 0 && inotify_add_watch(m_impl->inotifyFd, dir,
                                                        IN_CREATE | IN_DELETE | IN_MOVED_TO |
                                                            IN_MOVED_FROM | IN_ATTRIB) < 0) {
            close(m_impl->inotifyFd);
            m_impl->inotifyFd = -1;
        }
        return;
    }
    m_impl->u = udev_new();
    if (m_impl->u == nullptr)
        return;
    // "udev": events after udev's rules ran, not the kernel's raw ones.
    m_impl->monitor = udev_monitor_new_from_netlink(m_impl->u, "udev");
    if (m_impl->monitor == nullptr ||
        udev_monitor_filter_add_match_subsystem_devtype(m_impl->monitor, "tty", nullptr) < 0 ||
        udev_monitor_enable_receiving(m_impl->monitor) < 0) {
        if (m_impl->monitor != nullptr)
            udev_monitor_unref(m_impl->monitor);
        m_impl->monitor = nullptr;
    }
}

CPortWatch::~CPortWatch() = default;

int CPortWatch::Fd() const {
    if (m_impl->inotifyFd >= 0)
        return m_impl->inotifyFd;
    return m_impl->monitor != nullptr ? udev_monitor_get_fd(m_impl->monitor) : -1;
}

void CPortWatch::Drain() {
    if (m_impl->inotifyFd >= 0) {
        alignas(inotify_event) char buffer[kInotifyBufferBytes];
        while (read(m_impl->inotifyFd, buffer, sizeof buffer) > 0) {
        }
        return;
    }
    if (m_impl->monitor == nullptr)
        return;
    // The monitor's socket does not block: this ends when nothing is left.
    while (udev_device* device = udev_monitor_receive_device(m_impl->monitor))
        udev_device_unref(device);
}

bool CPortWatch::Watching() const {
    return Fd() >= 0;
}

CPortWatch::WaitEnd CPortWatch::Wait(const CWakeSignal& cancel, int timeoutMs) {
    pollfd fds[2] = {{cancel.Fd(), POLLIN, 0}, {Fd(), POLLIN, 0}};
    int rc;
    do {
        rc = poll(fds, Watching() ? 2 : 1, timeoutMs);
    } while (rc < 0 && errno == EINTR && !cancel.IsSignalled());
    if (cancel.IsSignalled())
        return WaitEnd::Cancelled;
    if (rc <= 0 || fds[1].revents == 0)
        return WaitEnd::TimedOut;
    Drain();
    return WaitEnd::Changed;
}
