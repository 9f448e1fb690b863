// vornak-cli --wait: the command runs once a box answers, Ctrl-C ends the
// wait with status 130, and a time-out says what was wrong with the port.

#include <csignal>
#include <thread>

#include "cli_fixture.h"

namespace {

using namespace std::chrono_literals;

// The box's port appears this long after the tool started waiting.
constexpr auto kPlugAfter = 500ms;
// Ctrl-C comes this long after the tool started: it is waiting by then. The
// tool exits with 128 + SIGINT, as a shell reports an interrupted command.
constexpr auto kInterruptAfter = 1000ms;

class CliWaitTest : public CliTest {
protected:
    // No box yet: the tests plug it in when they need it.
    void SetUp() override {
        CliTest::SetUp();
        m_box.Stop();
    }
};

TEST_F(CliWaitTest, TheCommandRunsOnceABoxAnswers) {
    const std::vector<std::vector<std::string>> commands = {
        {"info", "--wait=20"},
        {"info", "--wait", "--port", "3"},
    };
    for (const auto& args : commands) {
        SCOPED_TRACE(args.size());
        std::thread plug([this] {
            std::this_thread::sleep_for(kPlugAfter);
            ASSERT_TRUE(m_box.Start(PortDir(), kBoxPort));
        });
        const CliResult r = Cli(args);
        plug.join();
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, Lines({std::string("version: ") + kBoxVersion,
                                std::string("serial: ") + kBoxSerialHex}));
        EXPECT_NE(r.err.find("vornak-cli: waiting for a box on "), std::string::npos);
        m_box.Stop();
    }
}

TEST_F(CliWaitTest, CtrlCEndsTheWait) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"info", "--wait"}, {"info", "--wait=60", "--port", "3"}}) {
        SCOPED_TRACE(args.size());
        CliRun run = Options();
        run.interruptAfter = kInterruptAfter;
        const CliResult r = Cli(args, run);
        EXPECT_EQ(r.exitCode, 128 + SIGINT) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("the wait for a box was ended by Ctrl-C; the command did not run"),
                  std::string::npos)
            << r.err;
    }
}

TEST_F(CliWaitTest, ATimeOutSaysWhatWasWrong) {
    ASSERT_TRUE(m_box.Start(PortDir(), kBoxPort));
    const CliResult r = Cli({"info", "--wait=1", "--port", "4"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("vornak-cli: no box answered within 1 s on COM4\n"
                         "vornak-cli: COM4 (" +
                         PortDir() + "/COM4): gone"),
              std::string::npos)
        << r.err;
    // The box on another port heard nothing.
    EXPECT_TRUE(m_box.Requests().empty());
}

}  // namespace
