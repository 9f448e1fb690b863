#include "cli/cli_port_report.h"

#include <filesystem>
#include <system_error>

#include "cli/cli_text_escape.h"
#include "dialog/status_hints.h"
#include "firmware/prg_folder.h"
#include "link/low_latency.h"
#include "link/port_names.h"

namespace {

// The udev rule line that lowers an FTDI adapter's latency timer as it
// appears (the package installs it).
constexpr char kLatencyRule[] =
    "ACTION==\"add\", SUBSYSTEM==\"usb-serial\", DRIVER==\"ftdi_sio\", "
    "ATTR{latency_timer}=\"1\"";

// The device a port path leads to, for messages; the path itself when it
// leads nowhere.
std::string DeviceOf(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path device = std::filesystem::canonical(path, ec);
    return ec ? path : device.string();
}

std::string PortLabel(int number, const std::string& path) {
    if (number == 0)
        return DeviceOf(path);
    std::string label = "COM" + std::to_string(number);
    if (!path.empty())
        label += " (" + DeviceOf(path) + ")";
    return label;
}

void PrintList(std::FILE* out, const char* label, const std::vector<std::string>& values) {
    for (const std::string& value : values)
        std::fprintf(out, "  %s: %s\n", label, EscapeForOutput(value).c_str());
}

void PrintField(std::FILE* out, const char* label, const std::string& value) {
    if (!value.empty())
        std::fprintf(out, "  %s: %s\n", label, EscapeForOutput(value).c_str());
}

}  // namespace

void PrintPortFailure(std::FILE* err, int number, const PortFailure& failure) {
    std::fprintf(
        err, "vornak-cli: %s\n",
        EscapeForOutput(PortLabel(number, failure.path) + ": " + PortFailureText(failure)).c_str());
    std::fflush(err);
}

void PrintSkippedPorts(std::FILE* err, const std::vector<CDeviceLink::SkippedPort>& skipped) {
    if (skipped.empty())
        return;
    std::fprintf(err, "vornak-cli: no box answered; ports that could not be opened:\n");
    for (const CDeviceLink::SkippedPort& port : skipped)
        PrintPortFailure(err, port.number, port.failure);
}

void PrintResultHints(std::FILE* err, const std::optional<OpResult>& result,
                      const CliRequest& request) {
    if (!result)
        return;
    // The file the command loaded, as its handler named it.
    HintFile file = HintFile::None;
    std::string path;
    if (request.command == CliCommand::Send && !request.args.empty()) {
        file = HintFile::SendFile;
        path = request.args.front();
    } else if (request.command == CliCommand::Upgrade && !request.args.empty()) {
        file = HintFile::Package;
        path = PackagePathForEntry(request.args.front());
    }
    for (const std::string& hint : HintsForResult(*result, file, path))
        std::fprintf(err, "hint: %s\n", EscapeForOutput(hint).c_str());
    std::fflush(err);
}

void WarnSlowLatencyTimer(std::FILE* err, int number, const std::string& portPath) {
    const std::string path =
        portPath.empty() ? ResolvePortName("COM" + std::to_string(number)) : portPath;
    const std::optional<LatencyTimer> timer = ReadLatencyTimer(kSystemSysfsRoot, path);
    if (!timer || timer->ms <= kLowLatencyTimerMs || timer->writable)
        return;
    std::fprintf(err,
                 "vornak-cli: %s: the adapter's latency timer is %d ms and this user cannot "
                 "lower it (%s): every reply waits up to that long. The udev rule\n"
                 "  %s\nsets it to 1 ms (the vornak package installs it).\n",
                 PortLabel(number, path).c_str(), timer->ms, timer->file.c_str(), kLatencyRule);
    std::fflush(err);
}

int ListPortsCommand(std::FILE* out, std::FILE* err) {
    const PortList list = ListPorts();
    if (!list.error.empty()) {
        std::fprintf(err, "vornak-cli: ports: %s\n", EscapeForOutput(list.error).c_str());
        return kExitUsage;
    }
    for (const PortInfo& port : list.ports) {
        std::string line = "COM" + std::to_string(port.number) + " " + port.path;
        if (!port.description.empty())
            line += " " + port.description;
        std::fprintf(out, "%s\n", EscapeForOutput(line).c_str());
        // The device, unless the line already shows it.
        if (port.device != port.path && port.description != "-> " + port.device)
            PrintField(out, "device", port.device);
        PrintList(out, "by-id", port.byId);
        PrintList(out, "by-path", port.byPath);
        PrintField(out, "usb", port.vidPid);
        PrintField(out, "serial", port.serial);
        PrintField(out, "maker", port.maker);
        PrintField(out, "product", port.product);
        PrintField(out, "driver", port.driver);
        if (port.latencyTimerMs)
            std::fprintf(out, "  latency timer: %d ms\n", *port.latencyTimerMs);
    }
    std::fflush(out);
    for (const PortListSkip& skip : list.skipped)
        std::fprintf(err, "vornak-cli: skipped %s\n",
                     EscapeForOutput(skip.path + ": " + skip.reason).c_str());
    std::fflush(err);
    return kExitSuccess;
}
