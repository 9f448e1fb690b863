#pragma once
// The package argument of `upgrade` goes into the package list as it is: the
// upgrade handler opens a bare name in ./Prg and a path with a '/' (absolute,
// or relative to the current directory) as given (firmware/prg_folder.h).

#include "cli/cli_options.h"

// Whether the command looks into ./Prg: only an upgrade given a bare package
// name. The tool creates the folder for such a command alone.
bool CommandUsesPrgFolder(const CliRequest& request);
