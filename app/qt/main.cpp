// The tool's entry point: CVornakApp sets up Qt, runs the main window modally
// and ends the program when it closes.

#include <QApplication>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <string_view>

#include "app/qt/app_icons.h"
#include "app/qt/qt_translations.h"
#include "app/qt/station_launch.h"
#include "app/qt/vornak_window.h"
#include "res/resource.h"
#include "res/version.h"

// The application object. Qt's application object needs the command line, so
// it lives in main() rather than as a global constructed before start-up.
class CVornakApp : public QApplication {
public:
    CVornakApp(int& argc, char** argv) : QApplication(argc, argv), m_argc(argc), m_argv(argv) {}

    // Runs the main window modally (its end code is not examined), or the
    // station window with --station.
    int InitInstance() {
        // Texts below the window are UTF-8 and file names follow the
        // operator's locale.
        std::setlocale(LC_ALL, "");
        setWindowIcon(LoadResIcon(IDR_MAINFRAME));
        InstallQtTranslations(*this, QLocale::system());
        // Qt has taken its own options out of the command line by now.
        if (WantsStationWindow(m_argc, m_argv))
            return RunStationWindow(m_argc, m_argv);
        CVornakWindow dlg;
        dlg.exec();
        return 0;
    }

private:
    int& m_argc;
    char** m_argv;
};

int main(int argc, char** argv) {
    // A closed stdout or stderr (the window started from `... | head`) must not
    // end the program in the middle of a firmware update: writes fail instead.
    std::signal(SIGPIPE, SIG_IGN);

    // Answered before the application object exists, so that it needs no
    // display (package checks run it on machines without one).
    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        std::printf("vornak %s\n", kToolVersionText);
        return 0;
    }
    CVornakApp theApp(argc, argv);
    return theApp.InitInstance();
}
