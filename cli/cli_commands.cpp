#include "cli/cli_commands.h"

#include <unistd.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/dialog_handlers.h"
#include "app/vornak_dlg.h"
#include "cli/cli_outcome.h"
#include "cli/cli_output.h"
#include "cli/cli_package.h"
#include "cli/cli_port_report.h"
#include "cli/cli_settings_file.h"
#include "cli/cli_station.h"
#include "cli/cli_stderr.h"
#include "cli/cli_text_escape.h"
#include "cli/cli_wait.h"
#include "device/settings_panel.h"
#include "layouts/option_table.h"
#include "link/device_link.h"
#include "link/port_names.h"
#include "res/resource.h"

namespace {

// How often the wait for an upgrade's worker wakes; the worker's own
// time-outs bound the run, so the tool waits for as long as it takes.
constexpr std::uint32_t kUpgradeWaitSliceMs = 1000;

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
            SelectPackage(model, request.args.front());
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

}  // namespace

int RunCommand(const CliRequest& request, std::FILE* out, std::FILE* errTarget) {
    const CliCommand command = *request.command;
    // The link's "ABC" and the tool's messages share stderr, each message on
    // a line of its own.
    const CCliStderr errStreams(errTarget);
    std::FILE* const err = errStreams.Messages();
    if (command == CliCommand::Ports)
        return ListPortsCommand(out, err);
    if (command == CliCommand::Station)
        return RunStationCommand(request, out, err, errStreams.Diagnostics());

    std::string error;
    DeviceSettings settingsToWrite;
    if (command == CliCommand::WriteSettings &&
        !LoadSettingsFile(request.args.front(), settingsToWrite, error)) {
        PrintCliMessage(err, error);
        return kExitUsage;
    }
    if (request.output && !CanWriteFile(*request.output, error)) {
        PrintCliMessage(err, error);
        return kExitUsage;
    }

    // Declared first, so it outlives the link that traces into it.
    CCliReporter reporter(out, err, isatty(fileno(errTarget)) != 0);
    // A link of this run's own: it disconnects when the run ends. Its
    // diagnostics go to `err`, so `out` carries only what the tool promises.
    CDeviceLink link;
    link.SetDiagnosticStream(errStreams.Diagnostics());
    if (request.trace) {
        link.SetTraceHook([&reporter](bool outgoing, const std::uint8_t* bytes, std::size_t n) {
            reporter.Trace(outgoing, bytes, n);
        });
    }
    // The ports the last scan that found no box could not open.
    std::mutex skippedMutex;
    std::vector<CDeviceLink::SkippedPort> skipped;
    link.SetSkippedPortsHook([&](const std::vector<CDeviceLink::SkippedPort>& ports) {
        std::lock_guard lock(skippedMutex);
        skipped = ports;
    });
    auto model = std::make_shared<CDialogModel>();
    CVornakDlg dlg(model, &link);
    dlg.OnInitDialog(CommandUsesPrgFolder(request));

    // Where --port or --usb led; empty for a scan.
    PortPick pick;
    if (CommandTalksToBox(command)) {
        if (const int status = PrepareBoxPort(link, request, err, pick); status != kExitSuccess) {
            if (status == kExitFailure) {
                std::lock_guard lock(skippedMutex);
                PrintSkippedPorts(err, skipped);
            }
            return status;
        }
    }

    PrepareControls(request, *model, settingsToWrite);
    // From here on, every change the handler makes is the command's output.
    model->SetObserver([&reporter](const ControlEvent& event) { reporter.OnEvent(event); });
    // Every command here has a row, so its handler runs.
    HandlerOutcome handled = *dlg.OnCommand(FindCliHandler(CommandName(command))->controlId);
    if (command == CliCommand::Upgrade) {
        while (!dlg.WaitForUpgrade(kUpgradeWaitSliceMs)) {
        }
    }
    // The worker set its result before the runner turned idle.
    if (handled.pending.valid())
        handled.result = handled.pending.get();
    model->SetObserver(nullptr);
    reporter.FinishProgress();
    // A device the port list does not number shows as its path, not as COM0.
    if (!pick.path.empty() && pick.number == 0 && reporter.WasWritten(IDC_PORT_NAME))
        model->SetItemText(IDC_PORT_NAME, pick.path);

    const bool success = IsSuccessfulOutcome(command, handled.result);
    reporter.PrintFields(*model);
    if (command == CliCommand::ReadSettings && success) {
        const DeviceSettings settings = SettingsFromControls(*model);
        if (!request.output) {
            reporter.PrintLine(SettingsJsonText(settings));
        } else if (!SaveSettingsFile(*request.output, settings, error)) {
            PrintCliMessage(err, error);
            return kExitUsage;
        }
    }
    if (link.IsOpen())
        WarnSlowLatencyTimer(err, link.ConnectedPortNumber(), pick.path);
    PrintResultHints(err, handled.result, request);
    if (!success) {
        {
            std::lock_guard lock(skippedMutex);
            PrintSkippedPorts(err, skipped);
        }
        PrintCliMessage(err, std::string(CommandName(command)) + " failed");
        return kExitFailure;
    }
    return kExitSuccess;
}
