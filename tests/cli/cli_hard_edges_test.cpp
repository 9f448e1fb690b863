// What a hostile environment does to vornak-cli: a stdout closed early, FIFOs
// named as files, paths of every form, names that carry control characters,
// and a write of the settings file that fails half-way.

#include <sys/stat.h>

#include <filesystem>
#include <optional>

#include "cli_fixture.h"
#include "link/command_codes.h"

namespace {

// The upgrade's own pauses (12 s) and the box's restart, with room to spare.
constexpr std::chrono::milliseconds kUpgradeRunLimit{90000};
constexpr std::chrono::milliseconds kShortRestart{100};
// A run that must not wait on anything: far below any hang, far above a run.
constexpr std::chrono::milliseconds kNoHangLimit{10000};
// 64 data packets of an upgrade, 257 packets of a download: many status lines
// after the reader of stdout has gone.
constexpr std::size_t kBigPackageData = 16 * 1024;
constexpr std::size_t kBigDownload = 64 * 1024;

std::string LastLine(const std::string& text) {
    if (text.empty())
        return {};
    const std::size_t end = text.back() == '\n' ? text.size() - 1 : text.size();
    const std::size_t start = text.rfind('\n', end - 1);
    return text.substr(start == std::string::npos ? 0 : start + 1, end - (start + 1));
}

}  // namespace

TEST_F(CliTest, AClosedStdoutLetsTheTransferFinish) {
    m_box.SetRestartTime(kShortRestart);
    WriteFile(InWork("big.pkg"), MakeSamplePackage("VBX-100 V2.4.0", kBigPackageData));
    WriteFile(InWork("big.bin"), Bytes(kBigDownload, 0x5A));
    struct Case {
        std::vector<std::string> args;
        std::chrono::milliseconds limit;
    };
    const Case cases[] = {
        {{"upgrade", "./big.pkg"}, kUpgradeRunLimit},
        {{"send", "big.bin", "--slot", "1"}, kNoHangLimit},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.front());
        CliRun run = Options();
        run.timeout = c.limit;
        run.closeStdoutAfterFirstLine = true;
        const CliResult r = Cli(c.args, run);
        // The operation's own status, not death by SIGPIPE (-1).
        EXPECT_EQ(r.exitCode, 0) << r.err;
    }
    EXPECT_EQ(m_box.CommitCount(), 1);
    EXPECT_EQ(m_box.UpgradeData().size(), kBigPackageData);
    EXPECT_TRUE(m_box.Slot(1).sha1Matches);
}

TEST_F(CliTest, AFifoNamedAsAFileIsRefusedAtOnce) {
    std::filesystem::create_directory(InWork("Prg"));
    ASSERT_EQ(mkfifo(InWork("f.fifo").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(InWork("Prg/p.pkg").c_str(), 0600), 0);
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string lastStatus;  // empty: no status line
        std::string errHolds;
    };
    const Case cases[] = {
        {{"write-settings", "f.fifo"}, 2, "", "f.fifo: can't read the file: not a regular file"},
        {{"read-settings", "-o", "f.fifo"},
         2,
         "",
         "f.fifo: can't write the file: not a regular file"},
        {{"upgrade", "p.pkg"}, 1, "status: 无法打开程序文件:./Prg/p.pkg", "upgrade failed"},
        {{"upgrade", "./f.fifo"}, 1, "status: 无法打开程序文件:./f.fifo", "upgrade failed"},
        {{"send", "f.fifo", "--slot", "0"}, 1, "status: 无法打开指定文件.", "send failed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + c.args[1]);
        CliRun run = Options();
        run.timeout = kNoHangLimit;
        const CliResult r = Cli(c.args, run);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_EQ(LastLine(r.out), c.lastStatus);
        EXPECT_NE(r.err.find(c.errHolds), std::string::npos) << r.err;
    }
    EXPECT_TRUE(m_box.Requests().empty());
}

TEST_F(CliTest, APackagePathIsUsedAsItIsAndABareNameComesFromPrg) {
    // A package too short for its header: opened, then refused before the box
    // is touched, so the status line tells whether the path was found.
    std::filesystem::create_directory(InWork("incoming"));
    WriteFile(InWork("incoming/short.pkg"), Bytes(10, 0xC9));
    // A file where the folder would be: the lookup of a bare name fails, and
    // nothing else may go through it.
    WriteText(InWork("Prg"), "not a folder");
    struct Case {
        std::string package;
        std::string lastStatus;
    };
    const Case cases[] = {
        {InWork("incoming/short.pkg"), "status: 读取文件数据不完整!"},
        {"incoming/short.pkg", "status: 读取文件数据不完整!"},
        {"./incoming/short.pkg", "status: 读取文件数据不完整!"},
        {"short.pkg", "status: 无法打开程序文件:./Prg/short.pkg"},
        {"incoming/missing.pkg", "status: 无法打开程序文件:incoming/missing.pkg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.package);
        const CliResult r = Cli({"upgrade", c.package});
        EXPECT_EQ(LastLine(r.out), c.lastStatus);
        EXPECT_EQ(r.exitCode, 1);
    }
    EXPECT_TRUE(m_box.Requests().empty());
}

TEST_F(CliTest, ThePrgFolderIsCreatedOnlyForAPackageLookedUpThere) {
    struct Case {
        std::vector<std::string> args;
        bool createsPrg;
    };
    const Case cases[] = {
        {{"connect"}, false},
        {{"read-settings"}, false},
        {{"upgrade", "/nowhere/x.pkg"}, false},
        {{"upgrade", "x.pkg"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back());
        std::filesystem::remove_all(InWork("Prg"));
        Cli(c.args);
        EXPECT_EQ(std::filesystem::is_directory(InWork("Prg")), c.createsPrg);
    }
}

TEST_F(CliTest, ControlCharactersAndInvalidUtf8AreEscapedInEveryPrintedText) {
    m_box.SetVersion("VBX\x1b[2J\tV1");
    const CliResult connect = Cli({"connect"});
    EXPECT_NE(connect.out.find("\nversion: VBX\\x1B[2J\\tV1\n"), std::string::npos) << connect.out;

    const CliResult fake = Cli({"upgrade", "x\nstatus: 固件刷新成功!"});
    EXPECT_EQ(fake.out, Lines({"status: 正在装载程序,请稍候....",
                               "status: 无法打开程序文件:./Prg/x\\nstatus: 固件刷新成功!"}));
    EXPECT_EQ(fake.exitCode, 1);

    const CliResult invalid = Cli({"upgrade", "\xff\xfe\xe4\xb8.pkg"});
    EXPECT_EQ(LastLine(invalid.out), "status: 无法打开程序文件:./Prg/\\xFF\\xFE\\xE4\\xB8.pkg");

    const CliResult message = Cli({"write-settings", "a\r\nb.json"});
    EXPECT_EQ(message.err.find('\r'), std::string::npos);
    EXPECT_NE(message.err.find("vornak-cli: a\\r\\nb.json: can't read the file"), std::string::npos)
        << message.err;
}

TEST_F(CliTest, ChineseTextPassesUnescaped) {
    m_box.SetVersion("控制盒 V2");
    const CliResult r = Cli({"connect"});
    EXPECT_NE(r.out.find("\nversion: 控制盒 V2\n"), std::string::npos) << r.out;
}

TEST_F(CliTest, ASettingsFileIsReplacedWholeOrNotAtAll) {
    const std::string kept = "{\"kept\": true}\n";
    WriteText(InWork("keep.json"), kept);
    CliRun run = Options();
    // Room for less than a record: the write fails half-way.
    run.fileSizeLimit = 100;
    const CliResult failed = Cli({"read-settings", "-o", "keep.json"}, run);
    EXPECT_EQ(failed.exitCode, 2);
    EXPECT_NE(failed.err.find("keep.json: can't write the file"), std::string::npos) << failed.err;
    EXPECT_EQ(ReadText(InWork("keep.json")), kept);
    // No temporary file is left behind.
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(WorkDir()))
        ++entries;
    EXPECT_EQ(entries, 1u);

    ASSERT_EQ(chmod(InWork("keep.json").c_str(), 0640), 0);
    const CliResult written = Cli({"read-settings", "-o", "keep.json"});
    EXPECT_EQ(written.exitCode, 0);
    EXPECT_NE(ReadText(InWork("keep.json")), kept);
    EXPECT_EQ(std::filesystem::status(InWork("keep.json")).permissions(),
              std::filesystem::perms(0640));
}
