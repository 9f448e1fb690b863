#include "cli_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "boxsim/pty_pair.h"

namespace {

constexpr std::size_t kReadChunk = 4096;

// Reads what `fd` has; false at its end (EOF, or EIO of a pty whose other
// side closed).
bool Drain(int fd, std::string& into) {
    char buf[kReadChunk];
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n > 0) {
        into.append(buf, static_cast<std::size_t>(n));
        return true;
    }
    return n < 0 && (errno == EINTR || errno == EAGAIN);
}

}  // namespace

CliResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                     const CliRun& run) {
    CliResult result;
    int outPipe[2];
    int errPipe[2] = {-1, -1};
    if (pipe2(outPipe, O_CLOEXEC) != 0)
        return result;
    if (run.stderrIsTerminal) {
        // The child's stderr is the slave side; we read the master side.
        PtyPair pty;
        if (!OpenRawPty(pty)) {
            close(outPipe[0]);
            close(outPipe[1]);
            return result;
        }
        errPipe[0] = pty.master;
        errPipe[1] = pty.slave;
    } else if (pipe2(errPipe, O_CLOEXEC) != 0) {
        close(outPipe[0]);
        close(outPipe[1]);
        return result;
    }

    // Everything the child needs is built before fork: after it, the child
    // calls only what is safe in a copy of a threaded process.
    std::vector<std::string> argStrings{program};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argStrings)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envStrings = run.env;
    std::vector<char*> envp;
    for (std::string& e : envStrings)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    rlimit fileLimit{};
    if (run.fileSizeLimit)
        fileLimit.rlim_cur = fileLimit.rlim_max = static_cast<rlim_t>(*run.fileSizeLimit);

    const pid_t pid = fork();
    if (pid == 0) {
        signal(SIGPIPE, SIG_DFL);
        if ((run.fileSizeLimit && setrlimit(RLIMIT_FSIZE, &fileLimit) != 0) ||
            chdir(run.workDir.c_str()) != 0 || dup2(outPipe[1], STDOUT_FILENO) < 0 ||
            dup2(errPipe[1], STDERR_FILENO) < 0) {
            _exit(127);
        }
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    if (pid < 0) {
        close(outPipe[0]);
        close(errPipe[0]);
        return result;
    }

    const auto started = std::chrono::steady_clock::now();
    const auto deadline = started + run.timeout;
    std::optional<std::chrono::steady_clock::time_point> interruptAt;
    if (run.interruptAfter)
        interruptAt = started + *run.interruptAfter;
    bool outOpen = true;
    bool errOpen = true;
    bool killed = false;
    while (outOpen || errOpen) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            kill(pid, SIGKILL);
            killed = true;
            break;
        }
        auto wait = left;
        if (interruptAt) {
            const auto untilInterrupt = std::chrono::duration_cast<std::chrono::milliseconds>(
                *interruptAt - std::chrono::steady_clock::now());
            if (untilInterrupt.count() <= 0) {
                kill(pid, run.interruptSignal);
                interruptAt.reset();
                continue;
            }
            wait = std::min(wait, untilInterrupt);
        }
        pollfd fds[2] = {{outOpen ? outPipe[0] : -1, POLLIN, 0},
                         {errOpen ? errPipe[0] : -1, POLLIN, 0}};
        const int ready = poll(fds, 2, static_cast<int>(wait.count()));
        if (ready < 0 && errno != EINTR)
            break;
        if (ready <= 0)
            continue;
        if (outOpen && fds[0].revents != 0) {
            outOpen = Drain(outPipe[0], result.out);
            if (run.closeStdoutAfterFirstLine && result.out.find('\n') != std::string::npos) {
                close(outPipe[0]);
                outPipe[0] = -1;
                outOpen = false;
            }
        }
        if (errOpen && fds[1].revents != 0)
            errOpen = Drain(errPipe[0], result.err);
    }
    if (outPipe[0] >= 0)
        close(outPipe[0]);
    close(errPipe[0]);

    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!killed && WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    return result;
}
