#include "app/qt/screenshot_tour.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>
#include <cstdio>
#include <functional>
#include <memory>

#include "app/qt/dialog_page.h"
#include "app/qt/station_tile.h"
#include "app/qt/station_window.h"
#include "app/qt/vornak_window.h"
#include "res/resource.h"
#include "res/status_texts.h"

namespace {

// Time for the window manager (if any) and the first paint before a picture.
constexpr int kSettleMs = 700;
// How often the walk looks for the progress bar, and how long it lets a
// transfer run before the picture.
constexpr int kPollMs = 20;
constexpr int kProgressShowMs = 3500;
// The station's picture waits at most this long for its four states (a real
// firmware update's pauses come first), and shows a transfer this far along.
constexpr int kStationWaitMs = 60000;
constexpr int kStationProgressPercent = 30;

// The window as the screen shows it, frame included when there is one, and
// with `over` (a dialog in front of it) when given.
void Save(QWidget* window, const QString& path, QWidget* over = nullptr) {
    QPixmap picture;
    if (QScreen* screen = window->screen()) {
        QRect frame = window->frameGeometry();
        if (over != nullptr)
            frame = frame.united(over->frameGeometry());
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

// Calls `then` once `ready` holds, looking every kPollMs.
void When(CVornakWindow* w, std::function<bool()> ready, std::function<void()> then) {
    auto* poll = new QTimer(w);
    QObject::connect(poll, &QTimer::timeout, w, [poll, ready, then] {
        if (!ready())
            return;
        poll->stop();
        poll->deleteLater();
        then();
    });
    poll->start(kPollMs);
}

// While the update runs: a close asks first; the picture shows the question,
// which is then answered with its default, "no".
void ShowCloseQuestion(CVornakWindow* w, const QString& prefix) {
    QTimer::singleShot(kSettleMs, w, [w, prefix] {
        QWidget* question = QApplication::activeModalWidget();
        if (question == nullptr)
            return;
        Save(w, prefix + "-close-question.png", question);
        question->close();
    });
    w->close();
}

// The box applying the update: the bar is busy while the status says so. The
// program then ends (the update's worker ends with the process).
void ShowBusy(CVornakWindow* w, const QString& prefix, std::function<void()> done) {
    auto* status = qobject_cast<QLabel*>(w->Page().Control(IDC_STATUS));
    When(
        w, [status] { return status != nullptr && status->text() == kTextUpgradeUpdating; },
        [w, prefix, done] {
            QTimer::singleShot(kSettleMs, w, [w, prefix, done] {
                Save(w, prefix + "-busy.png");
                done();
            });
        });
}

// Starts a firmware update and takes the picture once its progress bar shows,
// then the close question and the busy bar.
void ShowUpgrade(CVornakWindow* w, const QString& prefix, std::function<void()> done) {
    w->Click(IDC_UPGRADE);
    QWidget* bar = w->Page().Control(IDC_PROGRESS);
    When(
        w, [bar] { return bar != nullptr && bar->isVisible(); },
        [w, prefix, done] {
            QTimer::singleShot(kProgressShowMs, w, [w, prefix, done] {
                Save(w, prefix + "-progress.png");
                ShowCloseQuestion(w, prefix);
                ShowBusy(w, prefix, done);
            });
        });
}

}  // namespace

void StartScreenshotTour(CVornakWindow& window, const QString& prefix, std::function<void()> done) {
    // Not quit(): that asks to close the windows, and a close while an update
    // or a unit runs asks the operator.
    if (!done)
        done = [] { QCoreApplication::exit(0); };
    CVornakWindow* w = &window;
    window.show();

    QTimer::singleShot(kSettleMs, w, [w, prefix, done] {
        Save(w, prefix + "-small.png");
        ClickAndThen(*w, IDC_CONNECT, [w, prefix, done] {
            Save(w, prefix + "-connected.png");
            ClickAndThen(*w, IDC_ADVANCED_TOGGLE, [w, prefix, done] {
                Save(w, prefix + "-large.png");
                QTimer::singleShot(kSettleMs, w, [prefix] {
                    if (QWidget* about = QApplication::activeModalWidget()) {
                        Save(about, prefix + "-about.png");
                        about->close();
                    }
                });
                w->OnAboutBox();
                ClickAndThen(*w, IDC_ADVANCED_TOGGLE,
                             [w, prefix, done] { ShowUpgrade(w, prefix, done); });
            });
        });
    });
}

namespace {

// The screens of the line, each filled by the window as when maximised there.
constexpr QSize kLineScreens[] = {{1280, 1024}, {1366, 768}};

// Saves the station window at each line screen's size from `index` on, then
// ends the program.
void SaveAtLineScreens(QWidget* w, const QString& prefix, std::size_t index) {
    if (index >= std::size(kLineScreens)) {
        // Not quit(): that closes the windows, and the station window asks
        // first while a unit runs. Its destructor stops the slots.
        QCoreApplication::exit(0);
        return;
    }
    const QSize size = kLineScreens[index];
    w->resize(size);
    QTimer::singleShot(kSettleMs, w, [w, prefix, index, size] {
        Save(w, prefix + QStringLiteral("-station-%1x%2.png").arg(size.width()).arg(size.height()));
        SaveAtLineScreens(w, prefix, index + 1);
    });
}

}  // namespace

void StartStationShot(CStationWindow& window, const QString& prefix) {
    CStationWindow* w = &window;
    window.show();
    const QList<CStationTile*> tiles = w->findChildren<CStationTile*>();
    const auto inView = [tiles] {
        const auto* bar = tiles[2]->findChild<QProgressBar*>(QStringLiteral("tileProgress"));
        return tiles[0]->State() == TileState::Passed && tiles[1]->State() == TileState::Failed &&
               !bar->isHidden() && bar->value() >= kStationProgressPercent &&
               tiles[3]->State() == TileState::Waiting;
    };
    auto* poll = new QTimer(w);
    auto* limit = new QTimer(w);
    limit->setSingleShot(true);
    const auto shoot = [w, poll, limit, prefix] {
        poll->stop();
        limit->stop();
        // The failed unit's record, opened, shows the detail view too.
        auto* list = w->findChild<QTreeWidget*>(QStringLiteral("records"));
        for (int row = 0; row < list->topLevelItemCount(); ++row) {
            if (list->topLevelItem(row)->text(3).contains(QStringLiteral("不合格")))
                list->setCurrentItem(list->topLevelItem(row));
        }
        if (list->currentItem() == nullptr && list->topLevelItemCount() > 0)
            list->setCurrentItem(list->topLevelItem(0));
        QTimer::singleShot(kSettleMs, w, [w, prefix] {
            Save(w, prefix + "-station.png");
            SaveAtLineScreens(w, prefix, 0);
        });
    };
    QObject::connect(poll, &QTimer::timeout, w, [inView, shoot] {
        if (inView())
            shoot();
    });
    QObject::connect(limit, &QTimer::timeout, w, shoot);
    poll->start(kPollMs);
    limit->start(kStationWaitMs);
}
