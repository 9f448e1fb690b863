#pragma once
// Runs one command of vornak-cli: the dialog core, headless, with the same
// handler that the window's button runs.
//
// Bad input (a settings file that is refused, an output file that can't be
// written) is refused before any port is opened or the Prg folder created.
// Then the dialog initialises as the window's does, --port or --usb opens its
// port (or --wait waits for a box), the
// command's input goes into the controls the handler reads (package list,
// target file, load address, option controls), and the handler runs, for an
// upgrade until its worker ends. Status texts stream to `out` as they come;
// the filled fields, and for read-settings the JSON, follow.

#include <cstdio>

#include "cli/cli_options.h"

// Returns the exit status.
int RunCommand(const CliRequest& request, std::FILE* out, std::FILE* errTarget);
