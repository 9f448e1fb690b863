#include "cli/cli_options.h"

#include <algorithm>
#include <charconv>
#include <string_view>

#include "app/dialog_handlers.h"
#include "cli/cli_rows.h"
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

constexpr CliCommandRow kBoxCommands[] = {
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
    {CliCommand::Station, "station", 1, "FILE", false, false, true},
};

// Every command but ports and station (which runs whole units) runs the
// dialog's handler that the dialog's table names for it.
constexpr bool EveryBoxCommandHasAHandler() {
    for (const CliCommandRow& row : kBoxCommands) {
        if (row.command != CliCommand::Ports && row.command != CliCommand::Station &&
            !HasCliHandler(row.name))
            return false;
    }
    return true;
}
static_assert(EveryBoxCommandHasAHandler(), "a vornak-cli command has no row in kDialogHandlers");

const CliCommandRow& RowOf(CliCommand command) {
    for (const CliCommandRow& row : kBoxCommands) {
        if (row.command == command)
            return row;
    }
    return kBoxCommands[0];
}

constexpr OptionRow kOptions[] = {
    {"--trace", OptionValue::None},
    {"--port", OptionValue::Required},
    {"--usb", OptionValue::Required},
    // send/jump --slot N, or station --slot NAME=PORT, once per fixture slot.
    {"--slot", OptionValue::Required, true},
    {"-o", OptionValue::Required},
    {"--wait", OptionValue::Inline},
    // From here on the station's own (cli/cli_station.h).
    {"--once", OptionValue::None},
    {"--rework", OptionValue::None},
    {"--json", OptionValue::None},
    {"--db", OptionValue::Required},
    {"--station", OptionValue::Required},
    {"--operator", OptionValue::Required},
    {"--slots", OptionValue::Required},
    {"--require-server", OptionValue::None},
    {"--trust", OptionValue::Required},
    {"--allow-rollback", OptionValue::None},
};
constexpr std::size_t kFirstStationOption = 6;

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

}  // namespace

const char* CommandName(CliCommand command) {
    return RowOf(command).name;
}

bool CommandTalksToBox(CliCommand command) {
    return RowOf(command).talksToBox;
}

bool ParseCommandLine(std::span<const char* const> tokens, CliRequest& request,
                      std::string& error) {
    request = CliRequest{};
    CCommandLine line;
    if (!line.Parse(tokens, kOptions, error))
        return false;
    request.help = line.Help();
    request.trace = line.Has("--trace");
    request.output = line.Value("-o");
    const std::vector<std::string>& positional = line.Words();
    request.once = line.Has("--once");
    request.rework = line.Has("--rework");
    request.requireServer = line.Has("--require-server");
    request.json = line.Has("--json");
    request.db = line.Value("--db");
    request.stationName = line.Value("--station");
    request.operatorName = line.Value("--operator");
    request.slotsFile = line.Value("--slots");
    request.trust = line.Value("--trust");
    request.allowRollback = line.Has("--allow-rollback");
    const bool stationOptionSeen =
        std::any_of(std::begin(kOptions) + kFirstStationOption, std::end(kOptions),
                    [&line](const OptionRow& option) { return line.Has(option.name); });

    if (positional.empty()) {
        if (request.help)
            return true;
        error = "no command given";
        return false;
    }
    const CliCommandRow* row = FindRow<CliCommandRow>(kBoxCommands, positional.front());
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
        error =
            "options --db, --station, --operator, --once, --rework, --json, --slots, --trust, "
            "--allow-rollback and --require-server apply to station only";
        return false;
    }
    if (request.output && request.output->empty()) {
        error = "option '-o' needs a file name";
        return false;
    }
    const std::vector<std::string> slotTexts = line.Values("--slot");
    const std::optional<std::string> slotText = line.Value("--slot");
    if (row->command == CliCommand::Station) {
        // A station's --slot names a fixture slot and its port: NAME=PORT.
        request.stationSlots = slotTexts;
        if (request.slotsFile && !slotTexts.empty()) {
            error = "give the slots either in a file (--slots) or as --slot NAME=PORT, not both";
            return false;
        }
        for (const char* option : {"--port", "--usb"}) {
            if (line.Has(option) && (request.slotsFile || !slotTexts.empty())) {
                error = std::string("option '") + option +
                        "' is for one box; give each slot its port instead";
                return false;
            }
        }
    } else if (slotTexts.size() > 1) {
        // A second value would silently win over the first.
        error = "option '--slot' given twice";
        return false;
    } else if (row->takesSlot) {
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
    if (line.Has("--port") && line.Has("--usb")) {
        error = "give --port or --usb, not both";
        return false;
    }
    if (const std::optional<std::string> port = line.Value("--port");
        port && !ParsePortArgument(*port, request.port, error)) {
        return false;
    }
    if (const std::optional<std::string> usb = line.Value("--usb")) {
        request.port.kind = PortChoice::Kind::Usb;
        if (!ParseUsbIdentity(*usb, request.port.usb, error))
            return false;
    }
    // The station waits for its boxes itself, on the chosen port or any.
    if (row->command == CliCommand::Station && line.Has("--wait")) {
        error = "station waits for each box itself: --wait does not apply";
        return false;
    }
    if (line.Has("--wait")) {
        if (!row->talksToBox) {
            error = "option '--wait' does not apply to " + command;
            return false;
        }
        request.wait = true;
        if (const std::optional<std::string> seconds = line.Value("--wait")) {
            int value = 0;
            if (!ParseNumber(*seconds, 1, kMaxWaitSeconds, value)) {
                error = "bad wait '" + *seconds + "': give whole seconds, 1 to " +
                        std::to_string(kMaxWaitSeconds) + ", or --wait alone for no limit";
                return false;
            }
            request.waitLimit = std::chrono::seconds(value);
        }
    }
    return true;
}
