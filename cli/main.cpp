// vornak-cli: the command-line front end of the Vornak tool.

#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <string>

#include "cli/cli_commands.h"
#include "cli/cli_help.h"
#include "cli/cli_options.h"
#include "cli/cli_records.h"

namespace {

// The tool's own stdout. The lower layers may print diagnostics of their own
// on the process's standard output (the link reports a reply checksum
// mismatch there); they go to stderr instead, so that stdout carries only
// what the tool promises.
std::FILE* TakeStdout() {
    std::fflush(stdout);
    const int fd = dup(STDOUT_FILENO);
    std::FILE* out = fd >= 0 ? fdopen(fd, "w") : nullptr;
    if (out == nullptr) {
        if (fd >= 0)
            close(fd);
        return stdout;
    }
    dup2(STDERR_FILENO, STDOUT_FILENO);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    // The box's version text is 8-bit text in the locale's character set.
    std::setlocale(LC_ALL, "");

    // "records ..." has options of its own.
    if (IsRecordsCommandLine(argc, argv)) {
        std::FILE* out = TakeStdout();
        const int status = RunRecordsCommandLine(argc, argv, out, stderr);
        std::fflush(out);
        return status;
    }

    CliRequest request;
    std::string error;
    if (!ParseCommandLine(argc, argv, request, error)) {
        std::fprintf(stderr, "vornak-cli: %s\n%s\n", error.c_str(), UsageHint().c_str());
        return kExitUsage;
    }
    if (request.help) {
        std::fputs(HelpText(request.command).c_str(), stdout);
        return kExitSuccess;
    }

    std::FILE* out = TakeStdout();
    const int status = RunCommand(request, out, stderr);
    std::fflush(out);
    return status;
}
