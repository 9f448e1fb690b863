#include "cli/cli_commands.h"

#include <unistd.h>

#include <memory>
#include <string>

#include "app/vornak_dlg.h"
#include "cli/cli_outcome.h"
#include "cli/cli_output.h"
#include "cli/cli_package.h"
#include "cli/cli_settings_file.h"
#include "cli/cli_station.h"
#include "device/option_table.h"
#include "device/settings_panel.h"
#include "link/device_link.h"
#include "link/port_names.h"
#include "res/resource.h"

namespace {

// How often the wait for an upgrade's worker wakes; the worker's own
// time-outs bound the run, so the tool waits for as long as it takes.
constexpr std::uint32_t kUpgradeWaitSliceMs = 1000;

void PrintError(std::FILE* err, const std::string& message) {
    std::fprintf(err, "vornak-cli: %s\n", message.c_str());
    std::fflush(err);
}

int ListPortsCommand(std::FILE* out) {
    for (const PortInfo& port : ListPorts()) {
        std::string line = "COM" + std::to_string(port.number) + " " + port.path;
        if (!port.description.empty())
            line += " " + port.description;
        std::fprintf(out, "%s\n", line.c_str());
    }
    std::fflush(out);
    return kExitSuccess;
}

// Selects the entry `text` of the package list, adding it when missing.
void SelectPackage(CDialogModel& model, const std::string& text) {
    const int count = model.ComboGetCount(IDC_PACKAGE_LIST);
    for (int i = 0; i < count; ++i) {
        if (model.ComboGetText(IDC_PACKAGE_LIST, i) == text) {
            model.ComboSetCurSel(IDC_PACKAGE_LIST, i);
            return;
        }
    }
    model.ComboInsert(IDC_PACKAGE_LIST, -1, text);
    model.ComboSetCurSel(IDC_PACKAGE_LIST, count);
}

// Puts the command's input into the controls its handler reads.
void PrepareControls(const CliRequest& request, CDialogModel& model,
                     const DeviceSettings& settingsToWrite) {
    switch (*request.command) {
        case CliCommand::WriteSettings:
            for (int block = 1; block <= kConfigBlockCount; ++block) {
                SetBlockControls(model, settingsToWrite, block);
            }
            break;
        case CliCommand::Upgrade:
            SelectPackage(model, PackageEntryText(request.args.front()));
            break;
        case CliCommand::Send:
            model.SetItemText(IDC_TARGET_FILE, request.args.front());
            model.ComboSetCurSel(IDC_LOAD_ADDRESS, *request.slot);
            break;
        case CliCommand::Jump:
            model.ComboSetCurSel(IDC_LOAD_ADDRESS, *request.slot);
            break;
        default:
            break;
    }
}

int ControlId(CliCommand command) {
    switch (command) {
        case CliCommand::Connect:
            return IDC_CONNECT;
        case CliCommand::Info:
            return IDC_GET_DEVICE_INFO;
        case CliCommand::Disconnect:
            return IDC_DISCONNECT;
        case CliCommand::ReadSettings:
            return IDC_READ_SETTINGS;
        case CliCommand::WriteSettings:
            return IDC_WRITE_SETTINGS;
        case CliCommand::FactoryReset:
            return IDC_FACTORY_RESET;
        case CliCommand::Upgrade:
            return IDC_UPGRADE;
        case CliCommand::Send:
            return IDC_SEND_FILE;
        case CliCommand::Jump:
            return IDC_JUMP;
        case CliCommand::Ports:
        case CliCommand::Station:
            break;
    }
    return 0;
}

}  // namespace

int RunCommand(const CliRequest& request, std::FILE* out, std::FILE* err) {
    const CliCommand command = *request.command;
    if (command == CliCommand::Ports)
        return ListPortsCommand(out);
    if (command == CliCommand::Station)
        return RunStationCommand(request, out, err);

    std::string error;
    DeviceSettings settingsToWrite;
    if (command == CliCommand::WriteSettings &&
        !LoadSettingsFile(request.args.front(), settingsToWrite, error)) {
        PrintError(err, error);
        return kExitUsage;
    }
    if (request.output && !CanWriteFile(*request.output, error)) {
        PrintError(err, error);
        return kExitUsage;
    }

    // Declared first, so it outlives the link that traces into it.
    CCliReporter reporter(out, err, isatty(fileno(err)) != 0);
    // A link of this run's own: it disconnects when the run ends.
    CDeviceLink link;
    if (request.trace) {
        link.SetTraceHook([&reporter](bool outgoing, const std::uint8_t* bytes, std::size_t n) {
            reporter.Trace(outgoing, bytes, n);
        });
    }
    auto model = std::make_shared<CDialogModel>();
    CVornakDlg dlg(model, &link);
    dlg.OnInitDialog();

    if (request.port && CommandTalksToBox(command)) {
        const auto port = static_cast<std::uint8_t>(*request.port);
        if (link.OpenPort(port) != ST_OK) {
            const std::string name = "COM" + std::to_string(*request.port);
            const std::string path = ResolvePortName(name);
            PrintError(err, "can't open port " + name + (path.empty() ? "" : " (" + path + ")"));
            return kExitFailure;
        }
    }

    PrepareControls(request, *model, settingsToWrite);
    // From here on, every change the handler makes is the command's output.
    model->SetObserver([&reporter](const ControlEvent& event) { reporter.OnEvent(event); });
    dlg.OnCommand(ControlId(command));
    if (command == CliCommand::Upgrade) {
        while (!dlg.WaitForUpgrade(kUpgradeWaitSliceMs)) {
        }
    }
    model->SetObserver(nullptr);
    reporter.FinishProgress();

    const bool success = IsSuccessfulOutcome(command, reporter);
    reporter.PrintFields(*model);
    if (command == CliCommand::ReadSettings && success) {
        const DeviceSettings settings = SettingsFromControls(*model);
        if (!request.output) {
            reporter.PrintLine(SettingsJsonText(settings));
        } else if (!SaveSettingsFile(*request.output, settings, error)) {
            PrintError(err, error);
            return kExitUsage;
        }
    }
    if (!success) {
        PrintError(err, std::string(CommandName(command)) + " failed");
        return kExitFailure;
    }
    return kExitSuccess;
}
