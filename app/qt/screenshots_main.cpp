// vornak-screenshots: takes the documentation pictures of the main window
// (screenshot_tour.h) against whatever box the ports lead to, then ends.
// Usage: vornak-screenshots PREFIX

#include <QApplication>
#include <clocale>
#include <cstdio>

#include "app/qt/app_icons.h"
#include "app/qt/screenshot_tour.h"
#include "app/qt/vornak_window.h"
#include "res/resource.h"

// Exit status for a wrong command line.
constexpr int kExitUsage = 2;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // Qt has taken its own options out of argv; what remains is ours.
    if (argc != 2) {
        std::fputs("usage: vornak-screenshots PREFIX\n", stderr);
        return kExitUsage;
    }
    // As the tool itself runs: UTF-8 texts, file names in the locale's set.
    std::setlocale(LC_ALL, "");
    app.setWindowIcon(LoadResIcon(IDR_MAINFRAME));
    CVornakWindow window;
    StartScreenshotTour(window, QString::fromLocal8Bit(argv[1]));
    return app.exec();
}
