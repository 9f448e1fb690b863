#include "cli/cli_outcome.h"

bool IsSuccessfulOutcome(CliCommand command, const std::optional<OpResult>& outcome) {
    if (command == CliCommand::Ports)
        return true;
    return outcome.has_value() && outcome->ok;
}
