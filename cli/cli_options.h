#pragma once
// The command line of vornak-cli, parsed and checked before anything touches a
// port or the disk: a usage error leaves the box and the file system alone.
//
// Options are read as base/command_line.h describes; each at most once.

#include <chrono>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/command_line.h"
#include "link/port_choice.h"

// Exit status of the tool.
constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;  // the box or the link reported a failure
constexpr int kExitUsage = 2;    // usage error or bad input; nothing was sent
// Ctrl-C ended a --wait before any box answered (128 + SIGINT, as a shell
// reports a command it interrupted); the command did not run.
constexpr int kExitInterrupted = 130;

enum class CliCommand {
    Connect,
    Info,
    Disconnect,
    ReadSettings,
    WriteSettings,
    FactoryReset,
    Upgrade,
    Send,
    Jump,
    Ports,
    Station,
};

struct CliRequest {
    // Empty with `help` set: the tool's own help.
    std::optional<CliCommand> command;
    bool help = false;
    std::vector<std::string> args;  // the command's arguments, options removed
    PortChoice port;                // --port N|PATH|NAME, --usb VID:PID[:SERIAL]
    bool trace = false;             // --trace
    // --wait[=SECONDS]: wait for a box first; no limit when the value is empty.
    bool wait = false;
    std::optional<std::chrono::seconds> waitLimit;
    std::optional<std::string> output;  // read-settings -o FILE
    std::optional<int> slot;            // send/jump --slot N
    // station only (cli/cli_station.h)
    std::optional<std::string> db;            // --db URL
    std::optional<std::string> stationName;   // --station NAME
    std::optional<std::string> operatorName;  // --operator NAME
    bool once = false;                        // --once
    bool rework = false;                      // --rework
    bool requireServer = false;               // --require-server
    bool json = false;                        // --json
    std::optional<std::string> slotsFile;     // --slots FILE
    std::vector<std::string> stationSlots;    // --slot NAME=PORT, as given, in order
    std::optional<std::string> trust;         // --trust DIR: the trusted release keys
    bool allowRollback = false;               // --allow-rollback
};

// The longest --wait=SECONDS: a day; a longer limit is surely a typo (and a
// wait with no limit is --wait alone).
constexpr int kMaxWaitSeconds = 24 * 60 * 60;

// Parses `tokens` (argv without the program). On a usage error returns false
// and puts a one-line message into `error`; `request` is then unspecified.
bool ParseCommandLine(std::span<const char* const> tokens, CliRequest& request, std::string& error);

// The command's name as typed ("read-settings").
const char* CommandName(CliCommand command);
// Whether the command sends requests to the box (and so honours --port,
// --usb and --wait).
bool CommandTalksToBox(CliCommand command);
