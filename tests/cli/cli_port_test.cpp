// vornak-cli on ports it cannot use: forbidden, held by another process, gone,
// or no serial line. Each says why on stderr, exits 1 and sends nothing; the
// `ports` command lists only ttys, and the failure texts come with hints.
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cli_fixture.h"
#include "tests/support/port_holder.h"

namespace {

namespace fs = std::filesystem;

class CliPortTest : public CliTest {
protected:
    std::string Com3() const { return PortDir() + "/COM3"; }

    // Runs the tool as user nobody with no supplementary groups.
    CliResult CliAsNobody(const std::vector<std::string>& args) {
        std::vector<std::string> all = {"--reuid=nobody", "--regid=nogroup", "--clear-groups",
                                        VORNAK_CLI_PATH};
        all.insert(all.end(), args.begin(), args.end());
        return RunProcess("/usr/bin/setpriv", all, Options());
    }

    void ExpectNothingSent() { EXPECT_TRUE(m_box.Requests().empty()); }
};

TEST_F(CliPortTest, PermissionDeniedNamesGroupAndFix) {
    if (geteuid() != 0)
        GTEST_SKIP() << "only root can run the tool as user nobody";
    // The unprivileged user must reach the port folder and the work folder.
    fs::permissions(m_root.Path(),
                    fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    fs::permissions(WorkDir(), fs::perms::all);
    struct stat st {};
    ASSERT_EQ(stat(m_box.SlavePath().c_str(), &st), 0);
    const std::string group = getgrgid(st.st_gid)->gr_name;
    const std::string label = "COM3 (" + m_box.SlavePath() + "): permission denied: ";
    struct Case {
        mode_t mode;
        std::string reason;
    };
    const Case cases[] = {
        {0600, label + "the device (group " + group + ") is open to its owner only"},
        {0660, label + "the device belongs to group " + group + "; run `sudo usermod -aG " + group +
                   " $USER`, then log in again"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        ASSERT_EQ(chmod(m_box.SlavePath().c_str(), c.mode), 0);
        const CliResult named = CliAsNobody({"info", "--port", "3"});
        EXPECT_EQ(named.exitCode, 1) << named.err;
        EXPECT_NE(named.err.find("vornak-cli: " + c.reason), std::string::npos) << named.err;
        EXPECT_EQ(named.out, "");

        const CliResult scanned = CliAsNobody({"info"});
        EXPECT_EQ(scanned.exitCode, 1);
        EXPECT_NE(scanned.err.find("ports that could not be opened:\nvornak-cli: " + c.reason),
                  std::string::npos)
            << scanned.err;
        EXPECT_NE(scanned.err.find("hint: 在 COM1 至 COM29 上没有设备应答"), std::string::npos);
    }
    ExpectNothingSent();
}

TEST_F(CliPortTest, BusyNamesTheHolder) {
    CPortHolder holder(m_box.SlavePath());
    ASSERT_TRUE(holder.Ready());
    // The simulator in this process holds the port's other end open too.
    const std::string reason = "COM3 (" + m_box.SlavePath() + "): busy: held by another process: ";
    const std::string holderName = "PID " + std::to_string(holder.Pid()) + " (sleep)";
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"info", "--port", "3"}, std::vector<std::string>{"info"}}) {
        SCOPED_TRACE(args.size());
        const CliResult r = Cli(args);
        EXPECT_EQ(r.exitCode, 1);
        const std::size_t at = r.err.find("vornak-cli: " + reason);
        ASSERT_NE(at, std::string::npos) << r.err;
        EXPECT_NE(r.err.substr(at, r.err.find('\n', at) - at).find(holderName), std::string::npos)
            << r.err;
    }
    ExpectNothingSent();
}

TEST_F(CliPortTest, GoneOrNoSerialLine) {
    struct Case {
        const char* what;
        std::string target;  // what COM3 leads to; empty: no COM3 at all
        std::string reason;
    };
    const Case cases[] = {
        {"link removed", "", "COM3 (" + Com3() + "): gone: no device there (unplugged?)"},
        {"dangling link", "/dev/pts/999999",
         "COM3 (" + Com3() + "): gone: no device there (unplugged?)"},
        {"null device", "/dev/null",
         "COM3 (/dev/null): not a serial device: the path leads to something that is no "
         "serial line"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(Com3());
        if (!c.target.empty())
            fs::create_symlink(c.target, Com3());
        const CliResult r = Cli({"info", "--port", "3"});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("vornak-cli: " + c.reason), std::string::npos) << r.err;
    }
    ExpectNothingSent();
}

TEST_F(CliPortTest, PortsListsTtysOnly) {
    fs::create_symlink("/dev/null", PortDir() + "/COM5");
    WriteText(PortDir() + "/COM6", "x");
    const CliResult r = Cli({"ports"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "COM3 " + Com3() + " -> " + m_box.SlavePath() + "\n");
    EXPECT_NE(r.err.find("skipped " + PortDir() + "/COM5: not a tty (character device 1:3)"),
              std::string::npos);
    EXPECT_NE(r.err.find("skipped " + PortDir() + "/COM6: not a character device (a file)"),
              std::string::npos);

    CliRun missing = Options();
    missing.env[0] = "VORNAK_PORT_DIR=/nonexistent";
    const CliResult none = Cli({"ports"}, missing);
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_EQ(none.out, "");
    EXPECT_NE(none.err.find("VORNAK_PORT_DIR=/nonexistent: No such file or directory"),
              std::string::npos);
}

TEST_F(CliPortTest, FailureTextsComeWithHints) {
    fs::create_directory(InWork("folder.bin"));
    struct Case {
        std::vector<std::string> args;
        std::string hint;
    };
    const Case cases[] = {
        {{"send", "missing.bin", "--slot", "1"}, "hint: 文件 missing.bin 不存在"},
        {{"send", "folder.bin", "--slot", "1"}, "hint: folder.bin 是文件夹,不是文件"},
        {{"upgrade", "missing.pkg"}, "hint: 文件 ./Prg/missing.pkg 不存在"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + c.args[1]);
        const CliResult r = Cli(c.args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find(c.hint), std::string::npos) << r.err;
    }

    m_box.Stop();
    const CliResult r = Cli({"connect"});
    EXPECT_EQ(r.exitCode, 1);
    // The scan fails twice; its hint shows once.
    const std::size_t at = r.err.find("hint: 在 COM1 至 COM29 上没有设备应答");
    ASSERT_NE(at, std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("hint:", at + 1), std::string::npos) << r.err;
}

}  // namespace

TEST_F(CliPortTest, PortChosenByPath) {
    // A second box in a folder of its own, which the port list does not hold.
    CTempDir otherDir("other-ports");
    CBoxSimulator other;
    ASSERT_TRUE(other.Start(otherDir.Path(), 7));
    other.SetVersion(kBoxVersion);
    other.SetSerial(kBoxSerial);
    struct Case {
        const char* what;
        std::string port;
        std::string shownAs;
    };
    const Case cases[] = {
        {"the port folder's link", Com3(), "COM3"},
        {"the device behind it", m_box.SlavePath(), "COM3"},
        {"a device the list does not number", other.LinkPath(), other.LinkPath()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const CliResult r = Cli({"connect", "--port", c.port});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, Lines({"status: 设备连接成功.", "port: " + c.shownAs,
                                std::string("version: ") + kBoxVersion,
                                std::string("serial: ") + kBoxSerialHex}));
    }
}

TEST_F(CliPortTest, AChoiceThatLeadsNowhereSendsNothing) {
    struct Case {
        std::vector<std::string> args;
        std::string reason;
    };
    const Case cases[] = {
        {{"info", "--port", PortDir() + "/COM9"},
         "vornak-cli: " + PortDir() + "/COM9: gone: no device there"},
        {{"info", "--port", "usb-Nobody_Cable-if00-port0"},
         "vornak-cli: /dev/serial/by-id/usb-Nobody_Cable-if00-port0: gone"},
        // The port folder's ports have no USB identity.
        {{"info", "--usb", "0403:6001:A50285BI"},
         "vornak-cli: no USB adapter 0403:6001:A50285BI is plugged in"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back());
        const CliResult r = Cli(c.args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
    }
    ExpectNothingSent();
}
