// vornak-cli: the command-line front end of the Vornak tool.

#include <clocale>
#include <csignal>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

#include "cli/cli_commands.h"
#include "cli/cli_help.h"
#include "cli/cli_options.h"
#include "cli/cli_subcommand.h"
#include "cli/cli_text_escape.h"
#include "res/version.h"

int main(int argc, char** argv) {
    // The box's version text is 8-bit text in the locale's character set.
    std::setlocale(LC_ALL, "");
    // A closed stdout or stderr (a pipe into `head`) and a full disk quota turn
    // writes into failed calls instead of killing the process: an exchange with
    // the box runs to its end, and the exit status is the operation's.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);

    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        std::printf("vornak-cli %s\n", kToolVersionText);
        return kExitSuccess;
    }

    const std::span<const char* const> tokens(argv + 1, argc > 1 ? argc - 1 : 0);
    // "recipe ...", "records ..." and "release ..." have options of their own.
    if (const CliSubcommand* subcommand = tokens.empty() ? nullptr : FindSubcommand(tokens[0]))
        return RunSubcommand(*subcommand, tokens.subspan(1), stdout, stderr);

    CliRequest request;
    std::string error;
    if (!ParseCommandLine(tokens, request, error)) {
        std::fprintf(stderr, "vornak-cli: %s\n%s\n", EscapeForOutput(error).c_str(),
                     UsageHint().c_str());
        return kExitUsage;
    }
    if (request.help) {
        std::fputs(HelpText(request.command).c_str(), stdout);
        return kExitSuccess;
    }

    const int status = RunCommand(request, stdout, stderr);
    std::fflush(stdout);
    return status;
}
