#include "app/qt/station_launch.h"

#include <unistd.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "app/qt/station_window.h"
#include "res/station_window_texts.h"
#include "station/release/station_launch.h"

namespace {

// Exit status for a wrong command line or input, as vornak-cli uses it.
constexpr int kExitUsage = 2;
// The one slot of a station opened without a slots file: it scans every port.
constexpr char kSingleSlotName[] = "1";

}  // namespace

bool WantsStationWindow(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--station")
            return true;
    }
    return false;
}

bool ParseStationLaunch(int argc, char** argv, StationLaunch& launch, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--allow-rollback") {
            launch.allowRollback = true;
            continue;
        }
        if (arg != "--station" && arg != "--slots" && arg != "--db" && arg != "--shifts" &&
            arg != "--trust") {
            error = "unknown option '" + std::string(arg) + "'";
            return false;
        }
        if (i + 1 >= argc) {
            error = std::string(arg) + " needs a value";
            return false;
        }
        const std::string value = argv[++i];
        if (arg == "--station")
            launch.recipePath = value;
        else if (arg == "--slots")
            launch.slotsFile = value;
        else if (arg == "--db")
            launch.dbUrl = value;
        else if (arg == "--trust")
            launch.trustFolder = value;
        else if (!ParseShiftSchedule(value, launch.shifts, error))
            return false;
    }
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
