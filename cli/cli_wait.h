#pragma once
// vornak-cli's --wait and its port choice (--port, --usb): before the command
// runs, opens the chosen port, or waits until a box answers
// (link/box_wait.h) with Ctrl-C ending the wait.

#include <cstdio>

#include "cli/cli_options.h"
#include "link/box_wait.h"

// Opens the port --port or --usb chose (nothing to do without a choice), or
// with --wait waits for a box. kExitSuccess when the command may run (`pick`
// then tells where a choice led); otherwise the exit status, with the reason
// said on `err`: 1 for no box, a port that can't be opened or no matching
// adapter, 2 for several matching adapters, kExitInterrupted for Ctrl-C.
int PrepareBoxPort(CDeviceLink& link, const CliRequest& request, std::FILE* err, PortPick& pick);
