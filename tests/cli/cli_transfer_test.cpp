// upgrade, send and jump.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "cli_fixture.h"
#include "link/command_codes.h"

namespace {

Bytes Pattern(std::size_t n) {
    Bytes bytes(n);
    for (std::size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return bytes;
}

// The upgrade's own pauses (12 s) and the box's restart, with room to spare.
constexpr std::chrono::milliseconds kUpgradeRunLimit{90000};
constexpr std::chrono::milliseconds kShortRestart{100};
// Seconds at the line's real speed, so the unplug comes mid-transfer.
constexpr std::size_t kSlowPackageBytes = 64 * 1024;
constexpr unsigned kLineBaud = 115200;

}  // namespace

TEST_F(CliTest, UpgradeFromAPathOutsidePrgRunsTheWholeProcedure) {
    m_box.SetRestartTime(kShortRestart);
    std::filesystem::create_directory(InWork("incoming"));
    WriteFile(InWork("incoming/new.pkg"), MakeSamplePackage("VBX-100 V2.4.0", 600));
    CliRun run = Options();
    run.timeout = kUpgradeRunLimit;
    const CliResult r = Cli({"upgrade", "incoming/new.pkg"}, run);
    EXPECT_EQ(r.out, Lines({
                         "status: 正在装载程序,请稍候....",
                         "status: 正在下载数据256/600  ....",
                         "status: 正在下载数据512/600  ....",
                         "status: 正在更新固件...",
                         "status: 固件刷新成功!",
                         "version: VBX-100 V2.4.0",
                         std::string("serial: ") + kBoxSerialHex,
                     }));
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(m_box.CommitCount(), 1);
    EXPECT_EQ(m_box.UpgradeData().size(), 600u);
    // Not a tty: no progress on stderr.
    EXPECT_EQ(r.err, "");
}

// The box unplugged while the package goes out: the last words say the update
// did not complete and must be run again, and the tool fails.
TEST_F(CliTest, UpgradeCutShortByAnUnplugSaysItIsNotDone) {
    m_box.SetFaults({.throttleBaud = kLineBaud});
    WriteFile(InWork("big.pkg"), MakeSamplePackage("VBX-100 V2.4.0", kSlowPackageBytes));
    std::atomic<bool> unplugged{false};
    std::thread unplug([&] {
        // Once some of the package has arrived.
        const auto giveUp = std::chrono::steady_clock::now() + kUpgradeRunLimit;
        while (m_box.UpgradeData().empty() && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        m_box.Unplug();
        unplugged = true;
    });
    CliRun run = Options();
    run.timeout = kUpgradeRunLimit;
    const CliResult r = Cli({"upgrade", "./big.pkg"}, run);
    unplug.join();
    ASSERT_TRUE(unplugged);
    EXPECT_EQ(r.exitCode, 1) << r.out;
    const std::string last =
        "status: 设备连接已断开,固件升级未完成,请在设备重新连接后重新升级固件.\n";
    ASSERT_GE(r.out.size(), last.size()) << r.out << r.err;
    EXPECT_EQ(r.out.substr(r.out.size() - last.size()), last) << r.out;
    EXPECT_EQ(m_box.CommitCount(), 0);
}

TEST_F(CliTest, UpgradeWithAMissingPackageSendsNothing) {
    struct Case {
        const char* package;
        const char* shownPath;
    };
    const Case cases[] = {
        {"x.pkg", "./Prg/x.pkg"},
        {"elsewhere/x.pkg", "elsewhere/x.pkg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.package);
        const CliResult r = Cli({"upgrade", c.package});
        EXPECT_EQ(r.out, Lines({"status: 正在装载程序,请稍候....",
                                std::string("status: 无法打开程序文件:") + c.shownPath}));
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(m_box.Requests().empty());
    }
}

TEST_F(CliTest, SendDownloadsTheFileToTheSlot) {
    WriteFile(InWork("app.bin"), Pattern(1000));
    const CliResult r = Cli({"send", "app.bin", "--slot", "2"});
    EXPECT_EQ(r.out, Lines({"status: 文件发送中256/1000  ....", "status: 文件发送中512/1000  ....",
                            "status: 文件发送中768/1000  ....", "status: 文件发送完成."}));
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "");
    const SimLoadSlot slot = m_box.Slot(2);
    EXPECT_TRUE(slot.infoReceived);
    EXPECT_EQ(slot.data, Pattern(1000));
    EXPECT_TRUE(slot.sha1Matches);
}

TEST_F(CliTest, SendShowsProgressWhenStderrIsATerminal) {
    WriteFile(InWork("app.bin"), Pattern(1000));
    CliRun run = Options();
    run.stderrIsTerminal = true;
    const CliResult r = Cli({"send", "--slot", "0", "app.bin"}, run);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.err.find("progress: 768/1000 bytes (76%)"), std::string::npos) << r.err;
    // stdout carries the status lines alone.
    EXPECT_EQ(r.out.find("progress"), std::string::npos);
}

TEST_F(CliTest, SendFailures) {
    WriteFile(InWork("app.bin"), Pattern(300));
    struct Case {
        const char* name;
        const char* file;
        bool silentBox;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"missing file", "absent.bin", false, {"status: 无法打开指定文件."}},
        {"box silent", "app.bin", true, {"status: 文件发送失败."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_box.SetFaults({.silent = c.silentBox});
        const CliResult r = Cli({"send", c.file, "--slot", "1"});
        EXPECT_EQ(r.out, Lines(c.expected));
        EXPECT_EQ(r.exitCode, 1);
    }
}

TEST_F(CliTest, JumpGoesToTheSlotsLoadAddress) {
    const CliResult r = Cli({"jump", "--slot", "4"});
    EXPECT_EQ(r.out, Lines({"status: 正在装载 ..."}));
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(m_box.LastJumpAddress(), std::optional<std::uint32_t>(5 * kSimSlotStride));
}

TEST_F(CliTest, JumpUnansweredShowsNothingAndFails) {
    m_box.SetFaults({.silent = true});
    const CliResult r = Cli({"jump", "--slot", "0", "--port", "3"});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.exitCode, 1);
}
