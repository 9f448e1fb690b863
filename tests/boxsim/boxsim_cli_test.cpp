// The vornak-boxsim executable as a demo or a script runs it: options reach
// the box, the start line names the link, a stop signal removes the link.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "boxsim/box_simulator.h"
#include "link/command_codes.h"
#include "link/status_words.h"
#include "tests/boxsim/pty_client.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

// Start-up of a sanitizer build can be slow.
constexpr auto kStartWait = 10s;

struct Child {
    pid_t pid = -1;
    int out = -1;
    int err = -1;
};

// Runs the executable with `args`; the environment is ours without
// VORNAK_PORT_DIR, plus `extraEnv`.
Child Spawn(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv = {}) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        if (!std::string(*e).starts_with("VORNAK_PORT_DIR="))
            env.emplace_back(*e);
    }
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    std::vector<std::string> argv = {VORNAK_BOXSIM_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    const auto pointers = [](std::vector<std::string>& v) {
        std::vector<char*> p;
        for (std::string& s : v)
            p.push_back(s.data());
        p.push_back(nullptr);
        return p;
    };
    auto argp = pointers(argv);
    auto envp = pointers(env);

    int out[2], err[2];
    Child c;
    if (pipe(out) != 0 || pipe(err) != 0)
        return c;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, err[0]);
    if (posix_spawn(&c.pid, argv[0].c_str(), &actions, nullptr, argp.data(), envp.data()) != 0) {
        c.pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    c.out = out[0];
    c.err = err[0];
    return c;
}

// Reads until `stop` appears in the text or the pipe closes or time runs out.
std::string ReadUntil(int fd, const std::string& stop, std::chrono::milliseconds timeout) {
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (stop.empty() || text.find(stop) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0)
            break;
        char buf[256];
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0)
            break;
        text.append(buf, static_cast<std::size_t>(n));
    }
    return text;
}

int Wait(Child& c) {
    int status = 0;
    waitpid(c.pid, &status, 0);
    close(c.out);
    close(c.err);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class BoxsimCliTest : public ::testing::Test {
protected:
    CTempDir m_folder{"boxsim-cli"};
    std::string m_dir{m_folder.Path()};
};

TEST_F(BoxsimCliTest, ServesWithItsOptionsAndRemovesTheLinkOnSigterm) {
    Child c = Spawn({"--port-dir", m_dir, "--com", "7", "--version", "VBX CLI 1.0", "--serial",
                     "0A0B0C0D", "--result", "CMD_CONFIG_READ_1=1234", "--result", "2216=0bad",
                     "--verbose"});
    ASSERT_GT(c.pid, 0);
    const std::string line = ReadUntil(c.out, "\n", kStartWait);
    const std::string link = m_dir + "/COM7";
    EXPECT_TRUE(std::regex_search(
        line,
        std::regex("^vornak-boxsim: box on COM7 -> /dev/pts/[0-9]+ \\(link " + link + "\\)\n")))
        << line;

    PtyClient client;
    ASSERT_TRUE(client.Open(link));
    struct Case {
        std::uint16_t command;
        std::uint16_t result;
        Bytes dataTail;
    };
    const Case cases[] = {
        {CMD_GET_VERSION, RESULT_OK, Bytes{'V', 'B', 'X', ' ', 'C', 'L', 'I', ' ', '1', '.', '0'}},
        {CMD_GET_SERIAL, RESULT_OK, Bytes{0x0A, 0x0B, 0x0C, 0x0D}},
        {CMD_CONFIG_READ_1, 0x1234, {}},
        {CMD_CONFIG_READ_2, 0x0BAD, {}},
    };
    for (const Case& k : cases) {
        const auto reply = client.Transact(k.command, SUB_DEFAULT);
        ASSERT_TRUE(reply) << std::hex << k.command;
        EXPECT_EQ(reply->resultWord, k.result);
        if (!k.dataTail.empty()) {
            ASSERT_GE(reply->data.size(), 2u);
            EXPECT_EQ(Bytes(reply->data.begin() + 2, reply->data.end()), k.dataTail);
        }
    }
    client.Close();

    kill(c.pid, SIGTERM);
    const std::string log = ReadUntil(c.err, "", kStartWait);
    EXPECT_EQ(Wait(c), 0);
    EXPECT_NE(log.find("CMD_GET_VERSION"), std::string::npos) << log;
    EXPECT_NE(log.find("CMD_CONFIG_READ_2"), std::string::npos) << log;
    EXPECT_FALSE(std::filesystem::is_symlink(link));
}

TEST_F(BoxsimCliTest, PortFolderComesFromTheEnvironmentOrIsAskedFor) {
    Child missing = Spawn({});
    const std::string message = ReadUntil(missing.err, "", kStartWait);
    EXPECT_EQ(Wait(missing), 2);
    EXPECT_NE(message.find("VORNAK_PORT_DIR"), std::string::npos) << message;

    Child c = Spawn({}, {"VORNAK_PORT_DIR=" + m_dir});
    const std::string line = ReadUntil(c.out, "\n", kStartWait);
    EXPECT_NE(line.find("(link " + m_dir + "/COM3)"), std::string::npos) << line;
    EXPECT_TRUE(std::filesystem::is_symlink(m_dir + "/COM3"));
    kill(c.pid, SIGINT);
    EXPECT_EQ(Wait(c), 0);
    EXPECT_FALSE(std::filesystem::is_symlink(m_dir + "/COM3"));
}

TEST_F(BoxsimCliTest, MakePackageWritesTheSamplePackage) {
    const std::string file = m_dir + "/demo.pkg";
    Child c = Spawn(
        {"--make-package", file, "--package-version", "VBX-100 V3.0", "--package-size", "300"});
    ReadUntil(c.out, "", kStartWait);
    EXPECT_EQ(Wait(c), 0);
    std::ifstream in(file, std::ios::binary);
    const Bytes written{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(written, MakeSamplePackage("VBX-100 V3.0", 300));
}

// "--name=VALUE" as "--name VALUE", and the last of a repeated option counts.
TEST_F(BoxsimCliTest, ValueFormsAndRepeatedOptions) {
    const std::string file = m_dir + "/demo.pkg";
    Child c = Spawn({"--make-package=" + file, "--package-size", "100", "--package-size=300"});
    ReadUntil(c.out, "", kStartWait);
    EXPECT_EQ(Wait(c), 0);
    EXPECT_EQ(std::filesystem::file_size(file), MakeSamplePackage("VBX-100 V2.4.0", 300).size());

    // Asked for, the help comes even when the line holds a fault.
    Child help = Spawn({"--help", "--frobnicate"});
    EXPECT_NE(ReadUntil(help.out, "", kStartWait).find("--make-package"), std::string::npos);
    EXPECT_EQ(Wait(help), 0);
}

TEST_F(BoxsimCliTest, HelpNamesEveryOptionAndBadOptionsAreRefused) {
    Child help = Spawn({"--help"});
    const std::string text = ReadUntil(help.out, "", kStartWait);
    EXPECT_EQ(Wait(help), 0);
    for (const char* option : {"--port-dir", "--com", "--version", "--serial", "--restart-ms",
                               "--throttle", "--unsolicited-ms", "--byte-delay-ms", "--silent",
                               "--bad-checksum", "--garbage", "--truncate", "--result", "--verbose",
                               "--make-package", "--package-version", "--package-size", "--help"}) {
        EXPECT_NE(text.find(option), std::string::npos) << option;
    }

    const std::vector<std::vector<std::string>> bad = {
        {"--frobnicate"},
        {"--com"},
        {"--com", "x"},
        {"--serial", "ABC"},
        {"--result", "CMD_NOPE=1"},
        {"--result", "CMD_GET_VERSION"},
        {"--port-dir", m_dir, "stray"},
        {"--com="},
        {"--silent=1"},
    };
    for (const auto& args : bad) {
        Child c = Spawn(args);
        const std::string message = ReadUntil(c.err, "", kStartWait);
        EXPECT_EQ(Wait(c), 2) << args[0];
        EXPECT_NE(message.find("--help"), std::string::npos) << message;
    }
    EXPECT_TRUE(std::filesystem::is_empty(m_dir));
}

}  // namespace
