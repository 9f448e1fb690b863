// The station window's owner of its background work: a job's continuation
// runs on the GUI thread once its thread is joined, and one still queued
// when the work is joined or goes never runs (it would find its window
// closing, or gone).

#include "app/qt/background_work.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <atomic>
#include <future>
#include <memory>

namespace {

constexpr int kWaitMs = 10000;

TEST(BackgroundWork, ContinuationRunsOnTheGuiThreadOnceItsWorkIsDone) {
    CBackgroundWork work;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    QThread* ranOn = nullptr;
    bool workDone = false;
    work.Start("lane", [&, released]() -> std::function<void()> {
        released.wait();
        workDone = true;
        return [&] { ranOn = QThread::currentThread(); };
    });
    EXPECT_TRUE(work.Busy("lane"));
    EXPECT_FALSE(work.Busy("other"));
    release.set_value();
    QTRY_VERIFY_WITH_TIMEOUT(ranOn != nullptr, kWaitMs);
    EXPECT_TRUE(workDone);
    EXPECT_EQ(ranOn, QCoreApplication::instance()->thread());
    EXPECT_FALSE(work.Busy("lane"));
}

TEST(BackgroundWork, ContinuationsQueuedWhenJoinedOrGoneNeverRun) {
    // Done with its work, its continuation queued and not yet run.
    const auto startDone = [](CBackgroundWork& work, const char* lane, bool& continued) {
        std::promise<void> done;
        std::future<void> worked = done.get_future();
        work.Start(lane,
                   [&continued, done = std::make_shared<std::promise<void>>(
                                    std::move(done))]() -> std::function<void()> {
                       done->set_value();
                       return [&continued] { continued = true; };
                   });
        worked.wait();
    };

    bool first = false;
    bool second = false;
    {
        CBackgroundWork work;
        startDone(work, "lane", first);
        work.JoinAll();
        EXPECT_FALSE(work.Busy("lane"));
        // A later job of the same lane is not mistaken for the joined one.
        work.Start("lane", [&]() -> std::function<void()> { return [&] { second = true; }; });
        QTRY_VERIFY_WITH_TIMEOUT(second, kWaitMs);
        EXPECT_FALSE(first);
    }

    bool gone = false;
    {
        auto work = std::make_unique<CBackgroundWork>();
        startDone(*work, "lane", gone);
        work.reset();
    }
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_FALSE(gone);
    EXPECT_FALSE(first);
}

}  // namespace
