// The tool's entry point: CVornakApp prepares the window system, runs the main
// window modally and ends the program when it closes.

#include <QApplication>
#include <clocale>
#include <csignal>

#include "app/qt/app_icons.h"
#include "app/qt/screenshot_tour.h"
#include "app/qt/vornak_window.h"
#include "res/resource.h"

// The application object. Qt's application object needs the command line, so
// it lives in main() rather than as a global constructed before start-up.
class CVornakApp : public QApplication {
public:
    CVornakApp(int& argc, char** argv) : QApplication(argc, argv) {}

    // Runs the main window modally; its end code is not examined.
    int InitInstance() {
        // Texts below the window are UTF-8 and file names follow the
        // operator's locale.
        std::setlocale(LC_ALL, "");
        setWindowIcon(LoadResIcon(IDR_MAINFRAME));
        CVornakWindow dlg;
        if (StartScreenshotTourIfAsked(dlg))
            return exec();
        dlg.exec();
        return 0;
    }
};

int main(int argc, char** argv) {
    // A closed stdout or stderr (the window started from `... | head`) must not
    // end the program in the middle of a firmware update: writes fail instead.
    std::signal(SIGPIPE, SIG_IGN);
    CVornakApp theApp(argc, argv);
    return theApp.InitInstance();
}
