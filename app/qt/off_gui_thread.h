#pragma once
// Work a window does off its own thread (waiting for slots, reading the
// store): `work` runs on `thread`, which must not be running, and the
// function it returns runs next on `context`'s thread, once `thread` is
// joined. A call still queued when `context` goes dies with it; the owner
// joins `thread` before it goes. Throws std::system_error, as std::thread
// does, when no thread is to be had.

#include <QMetaObject>
#include <QObject>
#include <functional>
#include <thread>
#include <utility>

inline void RunOffGuiThread(QObject* context, std::thread& thread,
                            std::function<std::function<void()>()> work) {
    thread = std::thread([context, &thread, work = std::move(work)] {
        std::function<void()> then = work();
        QMetaObject::invokeMethod(
            context,
            [&thread, then = std::move(then)] {
                if (thread.joinable())
                    thread.join();
                then();
            },
            Qt::QueuedConnection);
    });
}
