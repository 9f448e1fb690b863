// CWakeSignal on POSIX: a non-blocking pipe; a byte in it is the signal.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "link/wake_signal.h"

CWakeSignal::CWakeSignal() {
    int fds[2];
    if (pipe(fds) == 0) {
        for (int fd : fds) {
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
            fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
        m_readFd = fds[0];
        m_writeFd = fds[1];
    }
}

CWakeSignal::~CWakeSignal() {
    if (m_readFd >= 0)
        close(m_readFd);
    if (m_writeFd >= 0)
        close(m_writeFd);
}

void CWakeSignal::Signal() {
    const std::uint8_t one = 1;
    // A full pipe is already signalled; nothing more to do.
    while (write(m_writeFd, &one, 1) < 0 && errno == EINTR) {
    }
}

void CWakeSignal::Clear() {
    std::uint8_t sink[64];
    while (read(m_readFd, sink, sizeof sink) > 0) {
    }
}

bool CWakeSignal::Wait(int timeoutMs) const {
    pollfd p{m_readFd, POLLIN, 0};
    int rc;
    do {
        rc = poll(&p, 1, timeoutMs);
    } while (rc < 0 && errno == EINTR);
    return rc > 0 && (p.revents & POLLIN) != 0;
}
