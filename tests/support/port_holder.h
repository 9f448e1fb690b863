#pragma once
// A process that opens a port as the tool would (exclusive use and the
// advisory lock) and then sleeps holding it, as `sleep`; killed with the
// object. For tests of a port another process holds.

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

class CPortHolder {
public:
    explicit CPortHolder(const std::string& path) {
        m_pid = fork();
        if (m_pid == 0) {
            const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            if (fd < 0 || ioctl(fd, TIOCEXCL) != 0 || flock(fd, LOCK_EX | LOCK_NB) != 0)
                _exit(1);
            execl("/bin/sleep", "sleep", kHoldSeconds, static_cast<char*>(nullptr));
            _exit(1);
        }
    }
    ~CPortHolder() { Release(); }
    CPortHolder(const CPortHolder&) = delete;
    CPortHolder& operator=(const CPortHolder&) = delete;

    // Waits until the holder has the port and runs as `sleep`.
    bool Ready() const {
        for (int waited = 0; waited < kHolderStartMs; waited += kLookEveryMs) {
            std::ifstream comm("/proc/" + std::to_string(m_pid) + "/comm");
            std::string name;
            if (std::getline(comm, name) && name == "sleep")
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(kLookEveryMs));
        }
        return false;
    }
    pid_t Pid() const { return m_pid; }
    // Ends the holder, and with it its hold of the port.
    void Release() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }

private:
    // Long enough for any test to finish with the port held.
    static constexpr char kHoldSeconds[] = "60";
    // How long the holder may take to lock the port and become `sleep`.
    static constexpr int kHolderStartMs = 5000;
    static constexpr int kLookEveryMs = 10;

    pid_t m_pid = -1;
};
