// connect, info, disconnect, ports, --port and --trace.

#include <filesystem>

#include "cli_fixture.h"
#include "link/command_codes.h"

namespace {

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

}  // namespace

TEST_F(CliTest, ConnectPrintsStatusThenPortVersionAndSerial) {
    const CliResult r = Cli({"connect"});
    EXPECT_EQ(r.out,
              Lines({"status: 设备连接成功.", "port: COM3", std::string("version: ") + kBoxVersion,
                     std::string("serial: ") + kBoxSerialHex}));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.exitCode, 0);
}

TEST_F(CliTest, ConnectWithoutBoxReportsNoDevice) {
    const std::string empty = m_root / "no-ports";
    std::filesystem::create_directory(empty);
    CliRun run = Options();
    run.env[0] = "VORNAK_PORT_DIR=" + empty;
    const CliResult r = Cli({"connect"}, run);
    // Both identity reads scan again and fail.
    EXPECT_EQ(r.out, Lines({"status: 错误:EF00", "status: 错误:EF00"}));
    EXPECT_EQ(r.exitCode, 1);
}

TEST_F(CliTest, ConnectWhoseVersionReadFailsStillConnects) {
    SimOverride refuse;
    refuse.resultWord = kRefusal;
    m_box.SetOverride(CMD_GET_VERSION, refuse);
    const CliResult r = Cli({"connect"});
    // The window's rule: the serial-number read decides; no version to print.
    EXPECT_EQ(r.out, Lines({std::string("status: ") + kRefusalText, "status: 设备连接成功.",
                            "port: COM3", std::string("serial: ") + kBoxSerialHex}));
    EXPECT_EQ(r.exitCode, 0);
}

TEST_F(CliTest, InfoPrintsOnlyTheFieldsItRead) {
    struct Case {
        const char* name;
        std::optional<std::uint16_t> refusedCommand;
        std::vector<std::string> expected;
        int exitCode;
    };
    const std::string version = std::string("version: ") + kBoxVersion;
    const std::string serial = std::string("serial: ") + kBoxSerialHex;
    const std::string refused = std::string("status: ") + kRefusalText;
    const Case cases[] = {
        {"both read", std::nullopt, {version, serial}, 0},
        {"serial refused", CMD_GET_SERIAL, {refused, version}, 1},
        {"version refused", CMD_GET_VERSION, {refused, serial}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_box.ClearOverrides();
        if (c.refusedCommand) {
            SimOverride refuse;
            refuse.resultWord = kRefusal;
            m_box.SetOverride(*c.refusedCommand, refuse);
        }
        const CliResult r = Cli({"info"});
        EXPECT_EQ(r.out, Lines(c.expected));
        EXPECT_EQ(r.exitCode, c.exitCode);
    }
}

TEST_F(CliTest, VersionTextInTheLocalesCharsetArrivesIntact) {
    m_box.SetVersion("VBX-100 版本 3");
    const CliResult r = Cli({"info"});
    EXPECT_EQ(r.out, Lines({"version: VBX-100 版本 3", std::string("serial: ") + kBoxSerialHex}));
    EXPECT_EQ(r.exitCode, 0);
}

TEST_F(CliTest, ChecksumDiagnosticStaysOffStdout) {
    m_box.SetFaults({.badChecksum = true});
    // No scan: a probe with a bad checksum would find no box at all.
    const CliResult r = Cli({"info", "--port", "3"});
    EXPECT_EQ(r.out, Lines({"status: 错误:EF03", "status: 错误:EF03"}));
    EXPECT_NE(r.err.find("ABC"), std::string::npos);
    EXPECT_EQ(r.exitCode, 1);
    // The tool's own messages start lines of their own after the link's ABC.
    for (const char* start : {"vornak-cli: ", "hint: "}) {
        SCOPED_TRACE(start);
        std::size_t at = r.err.find(start);
        EXPECT_NE(at, std::string::npos) << r.err;
        for (; at != std::string::npos; at = r.err.find(start, at + 1))
            EXPECT_TRUE(at == 0 || r.err[at - 1] == '\n') << r.err;
    }
}

TEST_F(CliTest, DisconnectReportsNormalClose) {
    const CliResult r = Cli({"disconnect"});
    EXPECT_EQ(r.out, Lines({"status: 断开连接正常!"}));
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(m_box.Requests().empty());
}

class CliTwoBoxesTest : public CliTest {
protected:
    void SetUp() override {
        CliTest::SetUp();
        ASSERT_TRUE(m_box5.Start(PortDir(), 5));
        m_box5.SetVersion("VBX-100 on COM5");
    }
    void TearDown() override {
        m_box5.Stop();
        CliTest::TearDown();
    }
    CBoxSimulator m_box5;
};

TEST_F(CliTwoBoxesTest, PortOptionUsesThatPortWithoutScanning) {
    const CliResult r = Cli({"connect", "--port", "5"});
    EXPECT_EQ(r.out, Lines({"status: 设备连接成功.", "port: COM5", "version: VBX-100 on COM5",
                            std::string("serial: ") + kBoxSerialHex}));
    EXPECT_EQ(r.exitCode, 0);
    // The scan would have found COM3 first.
    EXPECT_TRUE(m_box.Requests().empty());
}

TEST_F(CliTwoBoxesTest, PortOptionWithASilentBoxDoesNotFallBackToTheScan) {
    m_box.SetFaults({.silent = true});
    const CliResult r = Cli({"info", "--port=3"});
    EXPECT_EQ(r.out, Lines({"status: 错误:EF03", "status: 错误:EF03"}));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(m_box5.Requests().empty());
}

TEST_F(CliTwoBoxesTest, PortOptionNamingNoPortFailsBeforeSending) {
    const CliResult r = Cli({"connect", "--port", "4"});
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("COM4"), std::string::npos);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(m_box.Requests().empty());
    EXPECT_TRUE(m_box5.Requests().empty());
}

TEST_F(CliTwoBoxesTest, PortsListsEachLinkWithItsDevice) {
    const CliResult r = Cli({"ports"});
    EXPECT_EQ(r.out, Lines({"COM3 " + PortDir() + "/COM3 -> " + m_box.SlavePath(),
                            "COM5 " + PortDir() + "/COM5 -> " + m_box5.SlavePath()}));
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(m_box.Requests().empty());
}

TEST_F(CliTest, PortsWithAnEmptyPortFolderListsNothing) {
    m_box.Stop();
    const CliResult r = Cli({"ports"});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.exitCode, 0);
}

TEST_F(CliTest, TraceDumpsEachFrameOnStderrOnly) {
    const CliResult r = Cli({"info", "--trace"});
    EXPECT_EQ(r.out, Lines({std::string("version: ") + kBoxVersion,
                            std::string("serial: ") + kBoxSerialHex}));
    // Scan probe, then the two reads: each a request and its reply.
    const std::vector<std::string> lines = SplitLines(r.err);
    ASSERT_EQ(lines.size(), 6u) << r.err;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].substr(0, 5), i % 2 == 0 ? "> 3E " : "< 3C ") << lines[i];
    }
    // The version request: '>', payload length 4, command 1A87, sub-code 0001, checksum.
    EXPECT_EQ(lines[2].substr(0, 23), "> 3E 00 04 1A 87 00 01 ");
    EXPECT_EQ(r.exitCode, 0);
}

// With the box sending frames of its own every 5 ms at line speed, a read may
// end on the tail of one, and its reply then comes in the next read's wait:
// whatever info prints as the serial is the box's serial, never the version's
// reply or a frame of the box's own.
TEST_F(CliTest, InfoAmidFramesOfTheBoxsOwnNeverPrintsAnotherReplyAsTheSerial) {
    m_box.SetFaults({.unsolicitedInterval = std::chrono::milliseconds(5), .throttleBaud = 115200});
    constexpr int kRuns = 20;
    const std::string serial = std::string("serial: ") + kBoxSerialHex;
    for (int i = 0; i < kRuns; ++i) {
        const CliResult r = Cli({"info"});
        for (const std::string& line : SplitLines(r.out)) {
            if (line.starts_with("serial: ")) {
                EXPECT_EQ(line, serial) << r.out;
            }
        }
    }
}
