#pragma once
// The final outcome of a command, judged from the outcome its handler
// returned (HandlerOutcome), never from the texts it showed:
//
//  connect         the serial read (the box answered and was identified)
//  info            both identity reads
//  disconnect      the port closed
//  read-settings   all three blocks read whole
//  write-settings  all three blocks written
//  factory-reset   the reset, and the read of the settings after it
//  upgrade         the whole update, with no step after the commit failed
//  send            every packet taken by the link
//  jump            the jump request answered
//  ports           always

#include <optional>

#include "cli/cli_options.h"
#include "ops/op_result.h"

bool IsSuccessfulOutcome(CliCommand command, const std::optional<OpResult>& outcome);
