#pragma once
// Runs vornak-cli as a child process: its own working directory and
// environment, stdout and stderr captured whole, the exit status.

#include <chrono>
#include <string>
#include <vector>

struct CliRun {
    std::string workDir;
    std::vector<std::string> env;  // "NAME=value"
    // Gives the child a pseudo-terminal as stderr (so it sees a terminal).
    bool stderrIsTerminal = false;
    std::chrono::milliseconds timeout{30000};
};

struct CliResult {
    int exitCode = -1;  // -1 when the child did not exit normally
    std::string out;
    std::string err;
};

CliResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                     const CliRun& run);
