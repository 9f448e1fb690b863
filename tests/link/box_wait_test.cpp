// Waiting for a box: it answers as soon as its port appears in the port
// folder (not at the next re-probe), a time-out and a cancel end the wait,
// and a chosen port is waited for alone.
#include "link/box_wait.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "boxsim/box_simulator.h"
#include "tests/link/link_test_support.h"

namespace {

using namespace std::chrono_literals;

// The box appears this long after the wait began: after its first attempt.
constexpr auto kAppearAfter = 300ms;
// How long after the box's port appeared the wait may take to see it: well
// under the re-probe interval, so only a noticed change passes (and so not
// scaled for slow builds).
constexpr long long kNoticeWithinMs = 500;
// A wait that must not end by itself in a test.
constexpr auto kLongWait = 20s;

class BoxWaitTest : public ::testing::Test {
protected:
    CTempPortDir m_ports;
    CBoxSimulator m_box;
    CDeviceLink m_link;
    CWakeSignal m_cancel;
};

TEST_F(BoxWaitTest, APortThatAppearsIsProbedAtOnce) {
    struct Case {
        const char* what;
        int boxPort;
        PortChoice choice;
    };
    PortChoice com5;
    com5.kind = PortChoice::Kind::Number;
    com5.number = 5;
    const Case cases[] = {
        {"any port", 3, PortChoice{}},
        {"the chosen port", 5, com5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto start = std::chrono::steady_clock::now();
        std::chrono::steady_clock::time_point appeared;
        std::thread plug([&] {
            std::this_thread::sleep_for(kAppearAfter);
            appeared = std::chrono::steady_clock::now();
            ASSERT_TRUE(m_box.Start(m_ports.Path(), c.boxPort));
        });
        const BoxWaitResult result = WaitForBox(m_link, c.choice, kLongWait, m_cancel);
        const auto ended = std::chrono::steady_clock::now();
        plug.join();
        EXPECT_EQ(result.end, BoxWaitEnd::Answered);
        EXPECT_EQ(m_link.ConnectedPortNumber(), c.boxPort);
        EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(ended - appeared).count(),
                  kNoticeWithinMs);
        EXPECT_GE(ended - start, kAppearAfter);
        m_link.Disconnect();
        m_box.Stop();
    }
}

TEST_F(BoxWaitTest, ABoxOnAnotherPortDoesNotEndTheWaitForTheChosenOne) {
    ASSERT_TRUE(m_box.Start(m_ports.Path(), 3));
    PortChoice com4;
    com4.kind = PortChoice::Kind::Number;
    com4.number = 4;
    const BoxWaitResult result = WaitForBox(m_link, com4, 1500ms, m_cancel);
    EXPECT_EQ(result.end, BoxWaitEnd::TimedOut);
    ASSERT_TRUE(result.failure.has_value());
    EXPECT_EQ(result.failure->kind, PortFailureKind::Gone);
    EXPECT_FALSE(m_link.IsOpen());
    EXPECT_TRUE(m_box.Requests().empty());
}

TEST_F(BoxWaitTest, CancelEndsTheWaitAtOnce) {
    // A silent port: probed again and again, never answering.
    CTestPty silent;
    ASSERT_TRUE(silent.LinkAs(m_ports.PortPath(2)));
    const auto start = std::chrono::steady_clock::now();
    std::thread cancel([&] {
        std::this_thread::sleep_for(kAppearAfter);
        m_cancel.Signal();
    });
    const BoxWaitResult result = WaitForBox(m_link, PortChoice{}, std::nullopt, m_cancel);
    cancel.join();
    EXPECT_EQ(result.end, BoxWaitEnd::Cancelled);
    // At most one probe's time-out after the signal.
    EXPECT_LT(ElapsedMs(start), Scaled(2000));
    EXPECT_FALSE(m_link.IsOpen());
}

// The wait for removal ends when the box goes, by either sign, and never for
// a box that keeps answering.
TEST_F(BoxWaitTest, RemovalIsAnUnplugOrMissedProbesNeverABoxThatStays) {
    constexpr auto kReprobe = 50ms;
    constexpr int kMisses = 2;
    struct Case {
        const char* what;
        std::function<void(CBoxSimulator&)> act;
        RemovalWaitEnd end;
    };
    const Case cases[] = {
        {"line unplugged", [](CBoxSimulator& box) { box.Unplug(); }, RemovalWaitEnd::Removed},
        {"box falls silent", [](CBoxSimulator& box) { box.SetFaults({.silent = true}); },
         RemovalWaitEnd::Removed},
        {"box stays", [](CBoxSimulator&) {}, RemovalWaitEnd::Cancelled},
    };
    PortChoice com3;
    com3.kind = PortChoice::Kind::Number;
    com3.number = 3;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        m_cancel.Clear();
        CBoxSimulator box;
        ASSERT_TRUE(box.Start(m_ports.Path(), 3));
        ASSERT_EQ(WaitForBox(m_link, com3, kLongWait, m_cancel).end, BoxWaitEnd::Answered);
        const std::size_t before = box.RequestCount();
        std::thread act([&] {
            // After the first removal probe was answered.
            ASSERT_TRUE(box.WaitForRequestCount(before + 1, kLongWait));
            c.act(box);
            // A box that stays is probed again and again; then the test ends the wait.
            if (c.end == RemovalWaitEnd::Cancelled &&
                box.WaitForRequestCount(before + 2 * kMisses + 1, kLongWait))
                m_cancel.Signal();
        });
        const RemovalWaitEnd end = WaitForRemoval(m_link, kMisses, kReprobe, m_cancel);
        act.join();
        EXPECT_EQ(end, c.end);
        EXPECT_EQ(m_link.IsOpen(), c.end == RemovalWaitEnd::Cancelled);
        m_link.Disconnect();
        box.Stop();
    }
}

}  // namespace
