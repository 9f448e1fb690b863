#pragma once
// vornak-cli recipe check RECIPE [--json]: every check the station makes on a
// recipe before a box is touched, then what the recipe gives every box: its
// firmware and downloads with their SHA-256 and its complete configuration
// (all options by caption and key) with the settings digest a passing unit
// records. Engineers run it before releasing a recipe. Nothing touches a port.
//
// stdout: "key: value" lines, or with --json one JSON object; a recipe that
// fails a check is named on stderr.

#include "cli/cli_subcommand.h"

// Its row of the sub-command table; its exit status: 0 the recipe passed
// every check, 2 it did not, or a usage error.
CliSubcommand RecipeSubcommand();
