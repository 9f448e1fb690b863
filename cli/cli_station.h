#pragma once
// `vornak-cli station RECIPE`: the production station on the command line.
// The recipe is checked whole first (exit 2 on any error, nothing touched);
// then the station runs units until Ctrl-C, or one with --once. stdout
// carries one result line per unit ("PASS ..."/"FAIL ..."), or with --json
// one JSON object per event; everything else goes to stderr.

#include <cstdio>

#include "cli/cli_options.h"

// Returns the exit status: with --once 0 pass, 1 fail or aborted (or no
// unit); without it 0 after a clean stop; 2 for a bad recipe or store.
// `diagnostics` is where the stations' links write their checksum
// diagnostic (beside `err`, never on `out`).
int RunStationCommand(const CliRequest& request, std::FILE* out, std::FILE* err,
                      std::FILE* diagnostics);

const char* StationHelpText();
