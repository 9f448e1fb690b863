#include "app/qt/station_launch.h"

#include <unistd.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <span>

#include "app/qt/station_window.h"
#include "base/command_line.h"
#include "res/station_window_texts.h"
#include "station/release/station_launch.h"

namespace {

// Exit status for a wrong command line or input, as vornak-cli uses it.
constexpr int kExitUsage = 2;
// The one slot of a station opened without a slots file: it scans every port.
constexpr char kSingleSlotName[] = "1";

constexpr char kStationOption[] = "--station";
// Each may be given again; the last one counts. There is no --help: the
// usage line follows every wrong command line.
constexpr OptionRow kLaunchOptions[] = {
    {kStationOption, OptionValue::Required, true}, {"--slots", OptionValue::Required, true},
    {"--db", OptionValue::Required, true},         {"--shifts", OptionValue::Required, true},
    {"--trust", OptionValue::Required, true},      {"--allow-rollback", OptionValue::None, true},
};

// argv without the program (Qt has taken its own options out by now).
std::span<const char* const> Tokens(int argc, char** argv) {
    return {argv + 1, static_cast<std::size_t>(argc > 1 ? argc - 1 : 0)};
}

}  // namespace

bool WantsStationWindow(int argc, char** argv) {
    CCommandLine line;
    std::string error;
    line.Parse(Tokens(argc, argv), kLaunchOptions, error, false);
    // A wrong line that names --station is still the station's to refuse.
    return line.Has(kStationOption) || line.FaultyOption() == kStationOption;
}

bool ParseStationLaunch(int argc, char** argv, StationLaunch& launch, std::string& error) {
    CCommandLine line;
    if (!line.Parse(Tokens(argc, argv), kLaunchOptions, error, false))
        return false;
    if (!line.Words().empty()) {
        error = "unknown argument '" + line.Words().front() + "'";
        return false;
    }
    launch.recipePath = line.Value(kStationOption).value_or("");
    launch.slotsFile = line.Value("--slots");
    launch.dbUrl = line.Value("--db");
    launch.trustFolder = line.Value("--trust");
    launch.allowRollback = line.Has("--allow-rollback");
    if (const auto shifts = line.Value("--shifts");
        shifts && !ParseShiftSchedule(*shifts, launch.shifts, error))
        return false;
    if (launch.recipePath.empty()) {
        error = "--station needs a recipe or a release bundle";
        return false;
    }
    return true;
}

CStationWindow* MakeStationWindow(const StationLaunch& launch, std::string& error,
                                  QWidget* parent) {
    StationLaunchRequest request;
    request.file = launch.recipePath;
    request.slotsFile = launch.slotsFile;
    request.dbUrl = launch.dbUrl;
    request.trustFolder = launch.trustFolder;
    request.allowRollback = launch.allowRollback;
    StationLaunchResult result = LaunchStation(request, std::chrono::system_clock::now());
    if (const auto* refusal = std::get_if<LaunchRefusal>(&result)) {
        error = refusal->step == LaunchStep::Store ? kTextCannotOpenStore + refusal->message
                                                   : refusal->message;
        return nullptr;
    }
    StationSetup& setup = std::get<StationSetup>(result);
    if (setup.fixtureSlots.empty())
        setup.fixtureSlots.push_back({kSingleSlotName, ""});
    return new CStationWindow(std::move(setup.source), std::move(setup.lookup), setup.fixtureSlots,
                              std::move(setup.store), setup.options,
                              StationReportPlace{setup.storeFolder, launch.shifts}, parent);
}

int RunStationWindow(int argc, char** argv) {
    StationLaunch launch;
    std::string error;
    if (!ParseStationLaunch(argc, argv, launch, error)) {
        std::fprintf(stderr,
                     "vornak: %s\nusage: vornak --station FILE [--slots FILE] [--db URL] "
                     "[--shifts HH:MM,...] [--trust DIR] [--allow-rollback]\n",
                     error.c_str());
        return kExitUsage;
    }
    CStationWindow* window = MakeStationWindow(launch, error);
    if (window == nullptr) {
        std::fprintf(stderr, "vornak: %s\n", error.c_str());
        return kExitUsage;
    }
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    return QApplication::exec();
}
