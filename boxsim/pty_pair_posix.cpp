#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <array>

#include "boxsim/pty_pair.h"

namespace {

// Large enough for any /dev/pts/N name.
constexpr std::size_t kPtsNameSize = 128;

bool MakeRaw(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return false;
    // No echo, no line editing, no signals, no CR/LF translation: the line
    // carries binary frames.
    cfmakeraw(&t);
    cfsetispeed(&t, B115200);
    cfsetospeed(&t, B115200);
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

}  // namespace

bool OpenRawPty(PtyPair& pty) {
    PtyPair p;
    p.master = posix_openpt(O_RDWR | O_NOCTTY);
    if (p.master < 0)
        return false;
    std::array<char, kPtsNameSize> name{};
    if (grantpt(p.master) != 0 || unlockpt(p.master) != 0 ||
        ptsname_r(p.master, name.data(), name.size()) != 0 ||
        fcntl(p.master, F_SETFL, fcntl(p.master, F_GETFL) | O_NONBLOCK) != 0 ||
        fcntl(p.master, F_SETFD, FD_CLOEXEC) != 0) {
        ClosePty(p);
        return false;
    }
    p.slavePath = name.data();
    p.slave = open(p.slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (p.slave < 0 || !MakeRaw(p.slave)) {
        ClosePty(p);
        return false;
    }
    pty = std::move(p);
    return true;
}

int PendingSlaveInput(const PtyPair& pty) {
    int n = 0;
    if (pty.slave < 0 || ioctl(pty.slave, FIONREAD, &n) != 0)
        return 0;
    return n;
}

void ClosePty(PtyPair& pty) {
    if (pty.master >= 0)
        close(pty.master);
    if (pty.slave >= 0)
        close(pty.slave);
    pty = PtyPair{};
}
