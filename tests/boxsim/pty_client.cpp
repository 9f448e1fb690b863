#include "tests/boxsim/pty_client.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "link/frame_codec.h"

namespace {
using Clock = std::chrono::steady_clock;
// Larger than any reply the simulator makes.
constexpr std::size_t kMaxTestReplyPayload = 0xFFFF;

int MillisLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}
}  // namespace

PtyClient::~PtyClient() {
    Close();
}

bool PtyClient::Open(const std::string& path) {
    Close();
    m_fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0)
        return false;
    termios t{};
    if (tcgetattr(m_fd, &t) != 0)
        return false;
    cfmakeraw(&t);
    return tcsetattr(m_fd, TCSANOW, &t) == 0;
}

void PtyClient::Close() {
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
}

bool PtyClient::WriteRaw(const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t w = write(m_fd, bytes.data() + done, bytes.size() - done);
        if (w <= 0)
            return false;
        done += static_cast<std::size_t>(w);
    }
    return true;
}

bool PtyClient::Send(std::uint16_t command, std::uint16_t subCode,
                     const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> frame(kTxBufSize);
    const std::size_t n = BuildRequestFrame(command, subCode, data.empty() ? nullptr : data.data(),
                                            data.size(), frame.data());
    if (n == 0)
        return false;
    frame.resize(n);
    tcflush(m_fd, TCIOFLUSH);
    return WriteRaw(frame);
}

std::optional<std::vector<std::uint8_t>> PtyClient::ReadPayload(std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    CFrameAssembler assembler(kReplyStart, kMaxTestReplyPayload);
    for (;;) {
        pollfd p{m_fd, POLLIN, 0};
        if (poll(&p, 1, MillisLeft(deadline)) <= 0 || !(p.revents & POLLIN))
            return std::nullopt;
        std::uint8_t byte = 0;
        // One byte at a time: nothing after the frame is taken from the line.
        if (read(m_fd, &byte, 1) != 1)
            return std::nullopt;
        switch (assembler.Feed(byte)) {
            case CFrameAssembler::Result::Frame:
                return std::vector<std::uint8_t>(assembler.Payload().begin(),
                                                 assembler.Payload().end());
            case CFrameAssembler::Result::BadChecksum:
                return std::nullopt;
            default:
                break;
        }
    }
}

std::optional<ClientReply> PtyClient::Transact(std::uint16_t command, std::uint16_t subCode,
                                               const std::vector<std::uint8_t>& data,
                                               std::chrono::milliseconds timeout) {
    if (!Send(command, subCode, data))
        return std::nullopt;
    const auto payload = ReadPayload(timeout);
    if (!payload || payload->size() < kMinReplyPayload)
        return std::nullopt;
    return ClientReply{ReadBigEndian16(payload->data()),
                       std::vector<std::uint8_t>(payload->begin() + 2, payload->end())};
}

std::vector<std::uint8_t> PtyClient::ReadRaw(std::chrono::milliseconds quiet,
                                             std::chrono::milliseconds total) {
    const Clock::time_point deadline = Clock::now() + total;
    std::vector<std::uint8_t> bytes;
    for (;;) {
        const int wait = std::min(static_cast<int>(quiet.count()), MillisLeft(deadline));
        pollfd p{m_fd, POLLIN, 0};
        if (wait <= 0 || poll(&p, 1, wait) <= 0 || !(p.revents & POLLIN))
            return bytes;
        std::uint8_t buf[256];
        const ssize_t n = read(m_fd, buf, sizeof buf);
        if (n <= 0)
            return bytes;
        bytes.insert(bytes.end(), buf, buf + n);
    }
}

std::vector<std::uint8_t> ReplyFrame(const std::vector<std::uint8_t>& payload) {
    std::vector<std::uint8_t> frame;
    BuildFrame(kReplyStart, payload.data(), payload.size(), frame);
    return frame;
}
