#include "tests/support/test_pty.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>

namespace {

// How long a full line may hold a send up before it looks again.
constexpr int kSendRetryMs = 100;
// One read's worth; Receive loops for more.
constexpr std::size_t kReadChunk = 4096;

}  // namespace

CTestPty::CTestPty() {
    OpenRawPty(m_pty);
}

CTestPty::~CTestPty() {
    ClosePty(m_pty);
}

bool CTestPty::LinkAs(const std::string& linkPath) const {
    return Valid() && symlink(m_pty.slavePath.c_str(), linkPath.c_str()) == 0;
}

void CTestPty::CloseMaster() {
    if (m_pty.master >= 0)
        close(m_pty.master);
    m_pty.master = -1;
}

void CTestPty::Send(const std::vector<std::uint8_t>& bytes) const {
    std::size_t done = 0;
    while (m_pty.master >= 0 && done < bytes.size()) {
        const ssize_t n = write(m_pty.master, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else {
            pollfd p{m_pty.master, POLLOUT, 0};
            poll(&p, 1, kSendRetryMs);
        }
    }
}

std::vector<std::uint8_t> CTestPty::Receive(std::size_t n, int quietMs) const {
    std::vector<std::uint8_t> got;
    while (m_pty.master >= 0 && got.size() < n) {
        pollfd p{m_pty.master, POLLIN, 0};
        if (poll(&p, 1, quietMs) <= 0 || (p.revents & POLLIN) == 0)
            break;
        std::uint8_t buf[kReadChunk];
        const ssize_t r = read(m_pty.master, buf, std::min(sizeof buf, n - got.size()));
        if (r <= 0)
            break;
        got.insert(got.end(), buf, buf + r);
    }
    return got;
}
