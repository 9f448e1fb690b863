#include "cli/cli_options.h"

#include <charconv>
#include <span>
#include <string_view>

#include "app/dialog_handlers.h"
#include "firmware/load_slots.h"

namespace {

struct CliCommandRow {
    CliCommand command;
    const char* name;
    std::size_t argCount;  // exact number of arguments
    const char* argNames;  // for the message when the count is wrong
    bool takesSlot;        // --slot N, then required
    bool takesOutput;      // -o FILE, optional
    bool talksToBox;
};

constexpr CliCommandRow kCommands[] = {
    {CliCommand::Connect, "connect", 0, "", false, false, true},
    {CliCommand::Info, "info", 0, "", false, false, true},
    {CliCommand::Disconnect, "disconnect", 0, "", false, false, false},
    {CliCommand::ReadSettings, "read-settings", 0, "", false, true, true},
    {CliCommand::WriteSettings, "write-settings", 1, "FILE.json", false, false, true},
    {CliCommand::FactoryReset, "factory-reset", 0, "", false, false, true},
    {CliCommand::Upgrade, "upgrade", 1, "PACKAGE", false, false, true},
    {CliCommand::Send, "send", 1, "FILE", true, false, true},
    {CliCommand::Jump, "jump", 0, "", true, false, true},
    {CliCommand::Ports, "ports", 0, "", false, false, false},
    {CliCommand::Station, "station", 1, "RECIPE", false, false, true},
};

// Every command but ports and station (which runs whole units) runs the
// dialog's handler that the dialog's table names for it.
constexpr bool EveryBoxCommandHasAHandler() {
    for (const CliCommandRow& row : kCommands) {
        if (row.command != CliCommand::Ports && row.command != CliCommand::Station &&
            !HasCliHandler(row.name))
            return false;
    }
    return true;
}
static_assert(EveryBoxCommandHasAHandler(), "a vornak-cli command has no row in kDialogHandlers");

const CliCommandRow* FindCommand(std::string_view name) {
    for (const CliCommandRow& row : kCommands) {
        if (name == row.name)
            return &row;
    }
    return nullptr;
}

const CliCommandRow& RowOf(CliCommand command) {
    for (const CliCommandRow& row : kCommands) {
        if (row.command == command)
            return row;
    }
    return kCommands[0];
}

// A decimal number in [min, max], nothing else (no sign, no blanks).
bool ParseNumber(std::string_view text, int min, int max, int& value) {
    int parsed = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, parsed);
    if (text.empty() || ec != std::errc() || ptr != end || parsed < min || parsed > max)
        return false;
    value = parsed;
    return true;
}

// The station's own options (cli/cli_station.h): a flag's member, or nullptr.
bool* StationFlag(CliRequest& request, std::string_view token) {
    if (token == "--once")
        return &request.once;
    if (token == "--rework")
        return &request.rework;
    if (token == "--json")
        return &request.json;
    return nullptr;
}

std::optional<std::string>* StationValue(CliRequest& request, std::string_view name) {
    if (name == "--db")
        return &request.db;
    if (name == "--station")
        return &request.stationName;
    if (name == "--operator")
        return &request.operatorName;
    return nullptr;
}

}  // namespace

const char* CommandName(CliCommand command) {
    return RowOf(command).name;
}

bool CommandTalksToBox(CliCommand command) {
    return RowOf(command).talksToBox;
}

bool ParseCommandLine(int argc, const char* const* argv, CliRequest& request, std::string& error) {
    request = CliRequest{};
    std::vector<std::string> positional;
    std::optional<std::string> portText;
    std::optional<std::string> slotText;
    bool optionsEnded = false;
    bool stationOptionSeen = false;

    const std::span<const char* const> tokens(argv + 1, argc > 1 ? argc - 1 : 0);
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const std::string_view token = tokens[i];
        if (optionsEnded || token.size() < 2 || token[0] != '-') {
            positional.emplace_back(token);
            continue;
        }
        if (token == "--") {
            optionsEnded = true;
            continue;
        }
        if (token == "--help" || token == "-h") {
            request.help = true;
            continue;
        }
        if (token == "--trace") {
            request.trace = true;
            continue;
        }
        if (bool* flag = StationFlag(request, token)) {
            *flag = true;
            stationOptionSeen = true;
            continue;
        }
        // Options with a value: "--name VALUE" or "--name=VALUE" ("-o FILE" only).
        std::optional<std::string>* target = nullptr;
        std::string_view name = token;
        std::optional<std::string> inlineValue;
        if (const auto eq = token.find('='); token.starts_with("--") && eq != token.npos) {
            name = token.substr(0, eq);
            inlineValue = std::string(token.substr(eq + 1));
        }
        if (name == "--port") {
            target = &portText;
        } else if (name == "--slot") {
            target = &slotText;
        } else if (name == "-o" && !inlineValue) {
            target = &request.output;
        } else if (std::optional<std::string>* value = StationValue(request, name)) {
            target = value;
            stationOptionSeen = true;
        } else {
            error = "unknown option '" + std::string(token) + "'";
            return false;
        }
        if (inlineValue) {
            *target = *inlineValue;
        } else if (i + 1 < tokens.size()) {
            *target = std::string(tokens[++i]);
        } else {
            error = "option '" + std::string(name) + "' needs a value";
            return false;
        }
    }

    if (positional.empty()) {
        if (request.help)
            return true;
        error = "no command given";
        return false;
    }
    const CliCommandRow* row = FindCommand(positional.front());
    if (row == nullptr) {
        error = "unknown command '" + positional.front() + "'";
        return false;
    }
    request.command = row->command;
    request.args.assign(positional.begin() + 1, positional.end());
    // Help for a command needs none of its arguments.
    if (request.help)
        return true;

    const std::string command = row->name;
    if (request.args.size() != row->argCount) {
        error = row->argCount == 0 ? command + " takes no arguments"
                                   : command + " takes one argument, " + row->argNames;
        return false;
    }
    if (request.output && !row->takesOutput) {
        error = "option '-o' does not apply to " + command;
        return false;
    }
    if (stationOptionSeen && row->command != CliCommand::Station) {
        error = "options --db, --station, --operator, --once, --rework and --json apply to "
                "station only";
        return false;
    }
    if (request.output && request.output->empty()) {
        error = "option '-o' needs a file name";
        return false;
    }
    if (row->takesSlot) {
        int slot = 0;
        if (!slotText) {
            error =
                command + " needs --slot N (N = 0 to " + std::to_string(kLoadSlotCount - 1) + ")";
            return false;
        }
        if (!ParseNumber(*slotText, 0, kLoadSlotCount - 1, slot)) {
            error = "bad slot '" + *slotText + "': give 0 to " + std::to_string(kLoadSlotCount - 1);
            return false;
        }
        request.slot = slot;
    } else if (slotText) {
        error = "option '--slot' does not apply to " + command;
        return false;
    }
    if (portText) {
        int port = 0;
        if (!ParseNumber(*portText, kMinPortNumber, kMaxPortNumber, port)) {
            error = "bad port number '" + *portText + "': give " + std::to_string(kMinPortNumber) +
                    " to " + std::to_string(kMaxPortNumber);
            return false;
        }
        request.port = port;
    }
    return true;
}
