#pragma once
// Opening the station window: from the command line (`vornak --station
// RECIPE [--slots FILE] [--db URL] [--shifts HH:MM,...]`) and from the main window's context menu
// (a recipe file the operator picks, one slot that scans for a box).

#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "records/report/report_shifts.h"
#include "station/engine/station_group.h"

class QWidget;
class CStationWindow;

struct StationLaunch {
    std::string recipePath;  // a recipe or a release bundle
    std::optional<std::string> slotsFile;
    std::optional<std::string> dbUrl;
    std::optional<std::string> trustFolder;  // --trust DIR
    bool allowRollback = false;              // --allow-rollback
    ShiftSchedule shifts;                    // the shift report's
};

// Whether the command line asks for the station window.
bool WantsStationWindow(int argc, char** argv);
// Reads `--station FILE [--slots FILE] [--db URL] [--shifts HH:MM,...]
// [--trust DIR] [--allow-rollback]`; false with `error`.
bool ParseStationLaunch(int argc, char** argv, StationLaunch& launch, std::string& error);

// Opens the station as the command line's does (LaunchStation: the recipe or
// the release bundle, checked whole, which the window then keeps; the slots,
// the store, the earlier releases) and makes the window (not shown), with one
// slot that scans for a box when no slots file is given. Null with the
// refusal in `error` when any part fails.
CStationWindow* MakeStationWindow(const StationLaunch& launch, std::string& error,
                                  QWidget* parent = nullptr);

// The whole `--station` mode: the window until it closes. Exit status 0, or
// 2 (on stderr) for a wrong command line, recipe, slots file or store.
int RunStationWindow(int argc, char** argv);
