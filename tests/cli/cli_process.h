#pragma once
// Runs vornak-cli as a child process: its own working directory and
// environment, stdout and stderr captured whole, the exit status. The child
// starts with SIGPIPE at its default action, whatever the test process does
// with it, as a child of a shell would.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct CliRun {
    std::string workDir;
    std::vector<std::string> env;  // "NAME=value"
    // Gives the child a pseudo-terminal as stderr (so it sees a terminal).
    bool stderrIsTerminal = false;
    std::chrono::milliseconds timeout{30000};
    // Closes the reading end of stdout once the first line arrived, as
    // `| head -1` does; later writes of the child meet a closed pipe.
    bool closeStdoutAfterFirstLine = false;
    // Sends the child `interruptSignal` (SIGINT: as Ctrl-C does) this long
    // after it started.
    std::optional<std::chrono::milliseconds> interruptAfter;
    int interruptSignal = 2;  // SIGINT
    // The child's limit on the size of files it writes (RLIMIT_FSIZE), if any.
    std::optional<std::uint64_t> fileSizeLimit;
};

struct CliResult {
    int exitCode = -1;  // -1 when the child did not exit normally
    std::string out;
    std::string err;
};

CliResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                     const CliRun& run);
