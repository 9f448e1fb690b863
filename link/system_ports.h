#pragma once
// The system's side of the port list (platform code, through udev): which
// ttys exist, and what the system knows about the device behind a port.

#include <string>
#include <vector>

#include "link/port_names.h"

// Every tty the system has, unordered and unfiltered.
std::vector<SystemTty> SystemTtys();

// Fills device, by-id and by-path names, USB identity, driver and latency
// timer of `port` from its path. Leaves a field empty where the system has
// nothing to say (pseudo-terminals).
void FillPortDetails(PortInfo& port, const std::string& sysfsRoot);
