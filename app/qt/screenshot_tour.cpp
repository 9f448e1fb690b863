#include "app/qt/screenshot_tour.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <functional>
#include <memory>

#include "app/qt/dialog_page.h"
#include "app/qt/vornak_window.h"
#include "res/resource.h"

namespace {

// Time for the window manager (if any) and the first paint before a picture.
constexpr int kSettleMs = 700;
// How often the walk looks for the progress bar, and how long it lets a
// transfer run before the picture.
constexpr int kPollMs = 20;
constexpr int kProgressShowMs = 3500;

// The window as the screen shows it, frame included when there is one.
void Save(QWidget* window, const QString& path) {
    QPixmap picture;
    if (QScreen* screen = window->screen()) {
        const QRect frame = window->frameGeometry();
        picture = screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    }
    if (picture.isNull())
        picture = window->grab();
    std::printf("%s %s (window %dx%d, client %dx%d)\n",
                picture.save(path) ? "saved" : "could not save", path.toLocal8Bit().constData(),
                window->frameGeometry().width(), window->frameGeometry().height(), window->width(),
                window->height());
}

// Clicks `id` and calls `then` once its handler has ended and painted.
void ClickAndThen(CVornakWindow& window, int id, std::function<void()> then) {
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = QObject::connect(&window, &CVornakWindow::handlerFinished, &window,
                                   [connection, then](int) {
                                       QObject::disconnect(*connection);
                                       QTimer::singleShot(kSettleMs, then);
                                   });
    window.Click(id);
}

// Starts a firmware update and takes the picture once its progress bar shows;
// the program then ends (the update's worker ends with the process).
void ShowUpgrade(CVornakWindow* w, const QString& prefix) {
    w->Click(IDC_UPGRADE);
    auto* poll = new QTimer(w);
    QObject::connect(poll, &QTimer::timeout, w, [w, poll, prefix] {
        QWidget* bar = w->Page().Control(IDC_PROGRESS);
        if (bar == nullptr || !bar->isVisible())
            return;
        poll->stop();
        QTimer::singleShot(kProgressShowMs, w, [w, prefix] {
            Save(w, prefix + "-progress.png");
            QApplication::quit();
        });
    });
    poll->start(kPollMs);
}

}  // namespace

void StartScreenshotTour(CVornakWindow& window, const QString& prefix) {
    CVornakWindow* w = &window;
    window.show();

    QTimer::singleShot(kSettleMs, w, [w, prefix] {
        Save(w, prefix + "-small.png");
        ClickAndThen(*w, IDC_CONNECT, [w, prefix] {
            Save(w, prefix + "-connected.png");
            ClickAndThen(*w, IDC_ADVANCED_TOGGLE, [w, prefix] {
                Save(w, prefix + "-large.png");
                QTimer::singleShot(kSettleMs, w, [prefix] {
                    if (QWidget* about = QApplication::activeModalWidget()) {
                        Save(about, prefix + "-about.png");
                        about->close();
                    }
                });
                w->OnAboutBox();
                ClickAndThen(*w, IDC_ADVANCED_TOGGLE, [w, prefix] { ShowUpgrade(w, prefix); });
            });
        });
    });
}
