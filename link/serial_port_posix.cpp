// CSerialPort on POSIX: termios for the line settings, poll for the waits.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <utility>

#include "link/port_names.h"
#include "link/serial_port.h"

namespace {

using Clock = std::chrono::steady_clock;

// Errors with which a tty says its device is gone (an unplugged adapter, a
// pseudo-terminal whose other side closed), as against a passing failure.
bool IsLineGoneError(int error) {
    return error == EIO || error == ENXIO;
}

// The XON and XOFF characters the line settings carry (DC1, DC3).
constexpr cc_t kXonChar = 0x11;
constexpr cc_t kXoffChar = 0x13;

bool SpeedFor(std::uint32_t baud, speed_t& speed) {
    static constexpr struct {
        std::uint32_t baud;
        speed_t speed;
    } kSpeeds[] = {
        {1200, B1200},     {2400, B2400},     {4800, B4800},     {9600, B9600},
        {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200},
        {230400, B230400}, {460800, B460800}, {921600, B921600},
    };
    for (const auto& s : kSpeeds) {
        if (s.baud == baud) {
            speed = s.speed;
            return true;
        }
    }
    return false;
}

// The one place where the line is set up. Makes the line carry bytes unchanged
// in both directions and applies the asked framing; what it does not name
// (hardware flow control, hang-up on close, the other control characters)
// keeps the value the port had. Returns false, for settings the line cannot
// take; `t` may then be partly changed and must not be applied.
bool MakeRawLineSettings(termios& t, const ComPara& p) {
    // Input: every received byte reaches the reader as it was sent.
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK);  // a break arrives as a 0 byte, not silently
    t.c_iflag &= ~static_cast<tcflag_t>(BRKINT);  // ...and never raises a signal
    t.c_iflag &= ~static_cast<tcflag_t>(INLCR | IGNCR | ICRNL);  // 0x0A and 0x0D are data
    t.c_iflag &= ~static_cast<tcflag_t>(ISTRIP);                 // keep bit 7
    // 0x11 and 0x13 are data in a binary frame: software flow control would
    // swallow them and stall the line.
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    // Parity checking off: a parity error is not marked or dropped.
    t.c_iflag &= ~static_cast<tcflag_t>(INPCK | PARMRK);

    // Output: no newline translation or other post-processing.
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);

    // Local modes: no line editing, so bytes are delivered at once...
    t.c_lflag &= ~static_cast<tcflag_t>(ICANON);
    // ...no echo, which would send the box's frames straight back to it...
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL);
    // ...and no control characters turned into signals or quoting.
    t.c_lflag &= ~static_cast<tcflag_t>(ISIG | IEXTEN);

    // Control: the receiver on, and modem lines ignored so that a missing
    // carrier neither blocks the open nor hangs the line up.
    t.c_cflag |= CREAD | CLOCAL;

    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE);
    switch (p.byteSize) {
        case 5:
            t.c_cflag |= CS5;
            break;
        case 6:
            t.c_cflag |= CS6;
            break;
        case 7:
            t.c_cflag |= CS7;
            break;
        case 8:
            t.c_cflag |= CS8;
            break;
        default:
            return false;
    }

    t.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD | CMSPAR);
    switch (p.parity) {
        case kParityNone:
            break;
        case kParityOdd:
            t.c_cflag |= PARENB | PARODD;
            break;
        case kParityEven:
            t.c_cflag |= PARENB;
            break;
        case kParityMark:
            t.c_cflag |= PARENB | CMSPAR | PARODD;
            break;
        case kParitySpace:
            t.c_cflag |= PARENB | CMSPAR;
            break;
        default:
            return false;
    }

    switch (p.stopBits) {
        case kStopBitsOne:
            t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
            break;
        case kStopBitsTwo:
            t.c_cflag |= CSTOPB;
            break;
        default:
            return false;  // one and a half has no termios form
    }

    // Every wait is a poll with its own time-out, so the kernel's read timer
    // is not used. VMIN 1 makes an empty non-blocking read say EAGAIN; with 0
    // it would return 0, which is kept to mean end of file (hang-up).
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    t.c_cc[VSTART] = kXonChar;
    t.c_cc[VSTOP] = kXoffChar;

    speed_t speed;
    if (!SpeedFor(p.baud, speed))
        return false;
    return cfsetispeed(&t, speed) == 0 && cfsetospeed(&t, speed) == 0;
}

int MillisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

CSerialPort::CSerialPort(LinkTiming timing, std::string sysfsRoot)
    : m_timing(timing), m_sysfsRoot(std::move(sysfsRoot)) {}

CSerialPort::~CSerialPort() {
    Close();
}

void CSerialPort::SetParams(const ComPara& params) {
    m_params = params;
}

void CSerialPort::NoteLineGone(bool gone) const {
    if (gone)
        m_lineGone.store(true, std::memory_order_release);
}

void CSerialPort::Release() {
    m_open.store(false, std::memory_order_release);
    m_lineGone.store(false, std::memory_order_release);
    const int fd = m_fd.exchange(-1);
    if (fd < 0)
        return;
    m_lowLatency.Restore(fd);
    if (m_savedSettings)
        tcsetattr(fd, TCSANOW, m_savedSettings.get());
    m_savedSettings.reset();
    ioctl(fd, TIOCNXCL);
    close(fd);  // also drops the flock
}

StatusWord CSerialPort::Open(PortFailure* failure) {
    if (m_params.name.empty())
        return ST_PORT_NAME_EMPTY;
    Release();

    const std::string path = ResolvePortName(m_params.name);
    // Every failure below keeps its errno, so that the caller can say why.
    const auto fail = [&](int error) {
        if (failure != nullptr)
            *failure = DescribePortFailure(path, error);
        return ST_PORT_IO_ERROR;
    };
    if (path.empty())
        return fail(ENOENT);
    // Non-blocking so that a port waiting for carrier does not hang the open.
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(errno);

    // TIOCEXCL keeps other programs off the line, but not a privileged one;
    // the advisory lock also catches a second open by any process that locks
    // as well, this one included.
    if (ioctl(fd, TIOCEXCL) != 0 || flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        close(fd);
        return fail(error);
    }
    m_fd.store(fd);

    auto found = std::make_unique<termios>();
    if (tcgetattr(fd, found.get()) != 0)
        return fail(errno);  // held, not open
    termios wanted = *found;
    m_savedSettings = std::move(found);
    if (!MakeRawLineSettings(wanted, m_params))
        return fail(EOPNOTSUPP);  // held, not open: the next Open or Close releases it
    if (tcsetattr(fd, TCSANOW, &wanted) != 0)
        return fail(errno);
    m_lowLatency.Apply(fd, path, m_sysfsRoot);
    m_open.store(true, std::memory_order_release);
    return ST_PORT_OK;
}

void CSerialPort::Close() {
    Release();
}

StatusWord CSerialPort::Write(const std::uint8_t* bytes, std::uint32_t count) {
    const int fd = m_fd.load();
    if (fd < 0 || !IsOpen())
        return ST_PORT_NOT_OPEN;

    // Whatever the box sent and nobody read is stale now: it must never be
    // taken for the reply to the request about to go out.
    tcflush(fd, TCIOFLUSH);

    std::uint32_t done = 0;
    while (done < count) {
        const ssize_t n = write(fd, bytes + done, count - done);
        if (n > 0) {
            done += static_cast<std::uint32_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            NoteLineGone(IsLineGoneError(errno));
            return ST_PORT_IO_ERROR;
        }
        pollfd p{fd, POLLOUT, 0};
        const int rc = poll(&p, 1, -1);
        if (rc < 0 && errno != EINTR)
            return ST_PORT_IO_ERROR;
        if (rc > 0 && (p.revents & POLLOUT) == 0) {
            NoteLineGone((p.revents & POLLHUP) != 0);
            return ST_PORT_IO_ERROR;  // hang-up, error
        }
    }
    return ST_PORT_OK;
}

StatusWord CSerialPort::ReadByte(std::uint8_t* byte, std::uint32_t timeoutMs,
                                 const CWakeSignal* wake) {
    const int fd = m_fd.load();
    if (fd < 0)
        return ST_PORT_NOT_OPEN;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const ssize_t n = read(fd, byte, 1);
        if (n == 1)
            return ST_PORT_OK;
        if (n == 0)
            return ST_PORT_IO_ERROR;  // end of file: the other end is gone
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            NoteLineGone(IsLineGoneError(errno));
            return ST_PORT_IO_ERROR;
        }

        const int left = MillisecondsUntil(deadline);
        if (left == 0)
            return ST_PORT_IO_ERROR;
        pollfd p[2] = {{fd, POLLIN, 0}, {wake != nullptr ? wake->Fd() : -1, POLLIN, 0}};
        const int rc = poll(p, wake != nullptr ? 2 : 1, left);
        if (rc < 0 && errno != EINTR)
            return ST_PORT_IO_ERROR;
        if (rc <= 0)
            continue;  // time-out or signal: the deadline decides
        if (wake != nullptr && (p[1].revents & POLLIN) != 0)
            return ST_PORT_IO_ERROR;
        if ((p[0].revents & POLLIN) == 0) {
            NoteLineGone((p[0].revents & POLLHUP) != 0);
            return ST_PORT_IO_ERROR;  // hang-up or error
        }
    }
}

StatusWord CSerialPort::Read(std::uint8_t* buffer, std::uint32_t count, std::uint32_t* received,
                             std::uint32_t firstByteTimeoutMs, const CWakeSignal* wake) {
    if (ReadByte(&buffer[0], firstByteTimeoutMs, wake) != ST_PORT_OK) {
        *received = 0;
        return ST_PORT_IO_ERROR;
    }
    for (std::uint32_t i = 1; i < count; ++i) {
        const StatusWord st = ReadByte(&buffer[i], m_timing.interByteTimeoutMs, wake);
        if (st != ST_PORT_OK) {
            *received = i;
            return st;
        }
    }
    *received = count;
    return ST_PORT_OK;
}

CSerialPort::WaitResult CSerialPort::WaitReadable(const CWakeSignal& wake, int timeoutMs) const {
    const int fd = m_fd.load();
    if (fd < 0 || !IsOpen())
        return WaitResult::NotOpen;
    pollfd p[2] = {{fd, POLLIN, 0}, {wake.Fd(), POLLIN, 0}};
    int rc;
    do {
        rc = poll(p, 2, timeoutMs);
    } while (rc < 0 && errno == EINTR);
    if (rc == 0)
        return WaitResult::TimedOut;
    if (rc < 0)
        return WaitResult::Hangup;
    if ((p[1].revents & POLLIN) != 0)
        return WaitResult::Woken;
    // A hung-up line also reports itself readable (reads give end of file), so
    // the hang-up is looked at first.
    if ((p[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
        // Reads are not tried on a hung-up line, so the wait reports it.
        NoteLineGone((p[0].revents & POLLHUP) != 0);
        return WaitResult::Hangup;
    }
    return WaitResult::Readable;
}
