#pragma once
// vornak-cli's diagnostics about ports and failures, all on stderr: why a port
// could not be opened, which ports a scan that found no box skipped, a slow
// adapter latency timer, and the "hint:" lines that explain failure texts.

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "link/device_link.h"
#include "ops/op_result.h"

// "vornak-cli: COM3 (/dev/ttyUSB0): permission denied: ..."; a port the list
// does not number (0) shows as its device alone.
void PrintPortFailure(std::FILE* err, int number, const PortFailure& failure);

// The ports a scan could not open, one line each; nothing when none.
void PrintSkippedPorts(std::FILE* err, const std::vector<CDeviceLink::SkippedPort>& skipped);

// A "hint:" line for each explanation of the command's result (none when it
// gave none), and for a file the command could not open, what is wrong with it.
void PrintResultHints(std::FILE* err, const std::optional<OpResult>& result,
                      const CliRequest& request);

// When the open port (COM<number>, or `path` when not empty) is an adapter
// whose latency timer is above 1 ms and cannot be lowered, says so, with the
// udev rule that lowers it.
void WarnSlowLatencyTimer(std::FILE* err, int number, const std::string& path);

// The `ports` command: every port with what the system knows about it on
// stdout, the names in the port folder that are no ports on stderr. Exit
// status 2 when the port folder cannot be read.
int ListPortsCommand(std::FILE* out, std::FILE* err);
