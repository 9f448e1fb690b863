#pragma once
// Helpers shared by the link tests: a private port folder, a bare
// pseudo-terminal that plays a silent or scripted device, descriptor counting
// for leak checks, and time limits for the build at hand.

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "link/port_names.h"

// A fresh folder named by VORNAK_PORT_DIR for the life of the object.
class TempPortDir {
public:
    TempPortDir() {
        char name[] = "/tmp/vornak-ports-XXXXXX";
        m_path = mkdtemp(name);
        setenv(kPortDirVariable, m_path.c_str(), 1);
    }
    ~TempPortDir() {
        unsetenv(kPortDirVariable);
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    TempPortDir(const TempPortDir&) = delete;
    TempPortDir& operator=(const TempPortDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string PortPath(int n) const { return m_path + "/COM" + std::to_string(n); }

private:
    std::string m_path;
};

// A pseudo-terminal whose slave side is linked as a COMn port. The test holds
// the master side: it is the device end of the cable.
class TestPty {
public:
    TestPty() {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
            return;
        char name[128];
        if (ptsname_r(m_master, name, sizeof name) != 0)
            return;
        m_slavePath = name;
        fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    }
    ~TestPty() { CloseMaster(); }
    TestPty(const TestPty&) = delete;
    TestPty& operator=(const TestPty&) = delete;

    bool Valid() const { return m_master >= 0 && !m_slavePath.empty(); }
    const std::string& SlavePath() const { return m_slavePath; }
    bool LinkAs(const std::string& linkPath) const {
        return symlink(m_slavePath.c_str(), linkPath.c_str()) == 0;
    }
    void CloseMaster() {
        if (m_master >= 0)
            close(m_master);
        m_master = -1;
    }

    void Send(const std::vector<std::uint8_t>& bytes) const {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = write(m_master, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else {
                pollfd p{m_master, POLLOUT, 0};
                poll(&p, 1, 100);
            }
        }
    }

    // Whatever the port side wrote, collected until `n` bytes came or the
    // line stayed quiet for quietMs.
    std::vector<std::uint8_t> Receive(std::size_t n, int quietMs = 200) const {
        std::vector<std::uint8_t> got;
        while (got.size() < n) {
            pollfd p{m_master, POLLIN, 0};
            if (poll(&p, 1, quietMs) <= 0 || (p.revents & POLLIN) == 0)
                break;
            std::uint8_t buf[4096];
            const ssize_t r = read(m_master, buf, std::min(sizeof buf, n - got.size()));
            if (r <= 0)
                break;
            got.insert(got.end(), buf, buf + r);
        }
        return got;
    }

private:
    int m_master = -1;
    std::string m_slavePath;
};

inline int CountOpenFds() {
    int count = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

// Sanitizer builds run several times slower (the build sets the factor): a
// limit that stands for "the machine is quick enough" stretches by it. A limit
// that tells one of the product's waits from no wait stays below that wait.
constexpr int kTimeScale = VORNAK_TEST_TIME_SCALE;
constexpr long long Scaled(long long ms) {
    return ms * kTimeScale;
}

inline long long ElapsedMs(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 since)
        .count();
}

// The request frame the port scan writes to every port it opens.
inline const std::vector<std::uint8_t> kProbeFrame = {0x3E, 0x00, 0x04, 0x1A, 0x9B,
                                                      0x00, 0x01, 0xFF, 0x49};
