#include "app/qt/screenshot_tour.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>

#include "app/qt/vornak_window.h"
#include "res/resource.h"

namespace {

constexpr char kScreenshotVariable[] = "VORNAK_SCREENSHOT";
// Time for the window manager (if any) and the first paint before a picture.
constexpr int kSettleMs = 700;

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

}  // namespace

bool StartScreenshotTourIfAsked(CVornakWindow& window) {
    const char* prefixText = std::getenv(kScreenshotVariable);
    if (prefixText == nullptr || *prefixText == '\0')
        return false;
    const QString prefix = QString::fromLocal8Bit(prefixText);
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
                QApplication::quit();
            });
        });
    });
    return true;
}
