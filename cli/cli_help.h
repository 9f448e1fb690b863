#pragma once
// Help texts of vornak-cli: the tool's and each command's, with the rule that
// decides each command's exit status.

#include <optional>
#include <string>

#include "cli/cli_options.h"

// The tool's help when `command` is empty, else the command's.
std::string HelpText(std::optional<CliCommand> command);

// The one line that points at --help after a usage error.
std::string UsageHint();
