// vornak-screenshots: takes the documentation pictures of the main window
// (screenshot_tour.h) against whatever box the ports lead to, then, given a
// recipe and a slots file of four slots, the station window's; then ends.
// Usage: vornak-screenshots PREFIX [RECIPE SLOTS_FILE]

#include <QApplication>
#include <clocale>
#include <cstdio>
#include <functional>
#include <memory>

#include "app/qt/app_icons.h"
#include "app/qt/screenshot_tour.h"
#include "app/qt/station_launch.h"
#include "app/qt/station_window.h"
#include "app/qt/vornak_window.h"
#include "res/resource.h"

// Exit status for a wrong command line.
constexpr int kExitUsage = 2;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // Qt has taken its own options out of argv; what remains is ours.
    if (argc != 2 && argc != 4) {
        std::fputs("usage: vornak-screenshots PREFIX [RECIPE SLOTS_FILE]\n", stderr);
        return kExitUsage;
    }
    // As the tool itself runs: UTF-8 texts, file names in the locale's set.
    std::setlocale(LC_ALL, "");
    app.setWindowIcon(LoadResIcon(IDR_MAINFRAME));
    const QString prefix = QString::fromLocal8Bit(argv[1]);
    CVornakWindow window;
    std::unique_ptr<CStationWindow> station;
    std::function<void()> done;
    if (argc == 4) {
        StationLaunch launch;
        launch.recipePath = argv[2];
        launch.slotsFile = argv[3];
        done = [&window, &station, launch, prefix] {
            window.hide();
            std::string error;
            station.reset(MakeStationWindow(launch, error));
            if (!station) {
                std::fprintf(stderr, "vornak-screenshots: %s\n", error.c_str());
                QApplication::exit(kExitUsage);
                return;
            }
            StartStationShot(*station, prefix);
        };
    }
    StartScreenshotTour(window, prefix, done);
    const int status = app.exec();
    station.reset();  // stops its slots before the application object goes
    return status;
}
