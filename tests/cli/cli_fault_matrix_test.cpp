// Every fault the box simulator can inject against every command of
// vornak-cli: the exit status and the last status line of each cell. One table;
// the cells run side by side, each with a box, a port folder and a working
// directory of its own, since most of a cell's time is spent waiting.

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <thread>

#include "cli_fixture.h"
#include "layouts/option_table.h"
#include "layouts/settings_json.h"
#include "link/command_codes.h"
#include "link/frame_codec.h"

namespace {

// Cells that run at once: they mostly wait on time-outs and pauses (an
// upgrade's take 12 s), so more than the cores.
constexpr unsigned kParallelCells = 16;
// The longest cell: a whole upgrade with its pauses, with room to spare.
constexpr std::chrono::milliseconds kCellLimit{90000};
constexpr std::chrono::milliseconds kShortRestart{100};
// A restart the tool must wait out: the request behind the commit is answered late.
constexpr std::chrono::milliseconds kSlowRestart{2000};
// Well below the link's 3 s wait for each further reply byte.
constexpr std::chrono::milliseconds kSlowByte{2};
// Frames of the box's own, often; the line stays quiet around requests.
constexpr std::chrono::milliseconds kUnsolicitedInterval{50};
constexpr unsigned kLineBaud = 115200;
constexpr std::size_t kTruncatedReplyBytes = 5;
constexpr std::size_t kTransferBytes = 600;

enum class Fault {
    None,
    Silent,
    BadChecksum,
    Garbage,
    Truncated,
    SlowBytes,
    Unsolicited,
    Throttled,
    Refusal,
    ShortPayload,
    Unplugged,
    SlowRestart,
};

enum class Command { Connect, Info, Disconnect, Read, Write, Reset, Upgrade, Send, Jump };

constexpr int kFaultCount = static_cast<int>(Fault::SlowRestart) + 1;
constexpr int kCommandCount = static_cast<int>(Command::Jump) + 1;

// Indexed by Fault.
constexpr const char* kFaultNames[] = {
    "none",
    "silent",
    "bad checksum",
    "garbage before reply",
    "truncated reply",
    "slow bytes",
    "unsolicited frames",
    "throttled line",
    "refusal word",
    "reply payload of one byte",
    "unplugged",
    "slow restart",
};
static_assert(std::size(kFaultNames) == kFaultCount);

// Indexed by Command: the command line of each.
const std::vector<std::string> kCommandArgs[] = {
    {"connect"},
    {"info"},
    {"disconnect"},
    {"read-settings"},
    {"write-settings", "settings.json"},
    {"factory-reset"},
    {"upgrade", "m.pkg"},
    {"send", "app.bin", "--slot", "1"},
    {"jump", "--slot", "1"},
};
static_assert(std::size(kCommandArgs) == kCommandCount);

const char* FaultName(Fault f) {
    return kFaultNames[static_cast<int>(f)];
}
const std::vector<std::string>& CommandArgs(Command c) {
    return kCommandArgs[static_cast<int>(c)];
}

void Inject(CBoxSimulator& box, Fault f) {
    auto overrideAll = [&box](const SimOverride& o) {
        for (const CommandInfo& c : kCommands)
            box.SetOverride(c.code, o);
    };
    switch (f) {
        case Fault::None:
            break;
        case Fault::Silent:
            box.SetFaults({.silent = true});
            break;
        case Fault::BadChecksum:
            box.SetFaults({.badChecksum = true});
            break;
        case Fault::Garbage:
            box.SetFaults({.garbage = {0x00, 0xFF, 0x55, 0x13}});
            break;
        case Fault::Truncated:
            box.SetFaults({.truncateReply = kTruncatedReplyBytes});
            break;
        case Fault::SlowBytes:
            box.SetFaults({.byteDelay = kSlowByte});
            break;
        case Fault::Unsolicited:
            box.SetFaults({.unsolicitedInterval = kUnsolicitedInterval});
            break;
        case Fault::Throttled:
            box.SetFaults({.throttleBaud = kLineBaud});
            break;
        case Fault::Refusal: {
            SimOverride o;
            o.resultWord = kRefusal;
            overrideAll(o);
            break;
        }
        case Fault::ShortPayload: {
            SimOverride o;
            o.rawPayload = Bytes{0x00};
            overrideAll(o);
            break;
        }
        case Fault::Unplugged:
            box.Unplug();
            break;
        case Fault::SlowRestart:
            box.SetRestartTime(kSlowRestart);
            break;
    }
}

// A whole record the box accepts: every flag off, every list at its first entry.
std::string WholeRecordJson() {
    DeviceSettings s;
    for (const OptionInfo& o : Options()) {
        if (!o.IsFlag())
            s.*o.selection = 0;
    }
    return SettingsToJson(s).dump();
}

struct Cell {
    Fault fault;
    Command command;
    int exitCode;
    const char* lastStatus;  // the last "status: " line's text; "" for none
};

// The status line of a successful read: blocks 1 and 2 of the factory settings.
constexpr char kReadDigits[] =
    "000000000F1E1E050000000000000000070707070C0C00010101000F0000000000000000";

// What each cell must give. Success only where the fault leaves the exchange
// intact (slow bytes, a throttled line, frames on an idle line) or where the
// command does not care (the restart only matters to an upgrade; a disconnect
// of a tool that holds no port needs no box). A download and a jump look at
// the link's status alone, never at the box's result word, so a box that
// refuses them with a result word of its own still gives their success.
const Cell kCells[] = {
    {Fault::None, Command::Connect, 0, "设备连接成功."},
    {Fault::None, Command::Info, 0, ""},
    {Fault::None, Command::Disconnect, 0, "断开连接正常!"},
    {Fault::None, Command::Read, 0, kReadDigits},
    {Fault::None, Command::Write, 0, "写入设置成功"},
    {Fault::None, Command::Reset, 0, "恢复出厂设置成功"},
    {Fault::None, Command::Upgrade, 0, "固件刷新成功!"},
    {Fault::None, Command::Send, 0, "文件发送完成."},
    {Fault::None, Command::Jump, 0, "正在装载 ..."},

    {Fault::Silent, Command::Connect, 1, "错误:EF00"},
    {Fault::Silent, Command::Info, 1, "错误:EF00"},
    {Fault::Silent, Command::Disconnect, 0, "断开连接正常!"},
    {Fault::Silent, Command::Read, 1, "错误:EF00"},
    {Fault::Silent, Command::Write, 1, "错误:EF00"},
    {Fault::Silent, Command::Reset, 1, "错误:EF00"},
    {Fault::Silent, Command::Upgrade, 1, "wErr=EF00; Code=0000; wLen=0000;"},
    {Fault::Silent, Command::Send, 1, "文件发送失败."},
    {Fault::Silent, Command::Jump, 1, ""},

    {Fault::BadChecksum, Command::Connect, 1, "错误:EF00"},
    {Fault::BadChecksum, Command::Info, 1, "错误:EF00"},
    {Fault::BadChecksum, Command::Disconnect, 0, "断开连接正常!"},
    {Fault::BadChecksum, Command::Read, 1, "错误:EF00"},
    {Fault::BadChecksum, Command::Write, 1, "错误:EF00"},
    {Fault::BadChecksum, Command::Reset, 1, "错误:EF00"},
    {Fault::BadChecksum, Command::Upgrade, 1, "wErr=EF00; Code=0000; wLen=0000;"},
    {Fault::BadChecksum, Command::Send, 1, "文件发送失败."},
    {Fault::BadChecksum, Command::Jump, 1, ""},

    {Fault::Garbage, Command::Connect, 1, "错误:EF00"},
    {Fault::Garbage, Command::Info, 1, "错误:EF00"},
    {Fault::Garbage, Command::Disconnect, 0, "断开连接正常!"},
    {Fault::Garbage, Command::Read, 1, "错误:EF00"},
    {Fault::Garbage, Command::Write, 1, "错误:EF00"},
    {Fault::Garbage, Command::Reset, 1, "错误:EF00"},
    {Fault::Garbage, Command::Upgrade, 1, "wErr=EF00; Code=0000; wLen=0000;"},
    {Fault::Garbage, Command::Send, 1, "文件发送失败."},
    {Fault::Garbage, Command::Jump, 1, ""},

    {Fault::Truncated, Command::Connect, 1, "错误:EF00"},
    {Fault::Truncated, Command::Info, 1, "错误:EF00"},
    {Fault::Truncated, Command::Disconnect, 0, "断开连接正常!"},
    {Fault::Truncated, Command::Read, 1, "错误:EF00"},
    {Fault::Truncated, Command::Write, 1, "错误:EF00"},
    {Fault::Truncated, Command::Reset, 1, "错误:EF00"},
    {Fault::Truncated, Command::Upgrade, 1, "wErr=EF00; Code=0000; wLen=0000;"},
    {Fault::Truncated, Command::Send, 1, "文件发送失败."},
    {Fault::Truncated, Command::Jump, 1, ""},

    {Fault::SlowBytes, Command::Connect, 0, "设备连接成功."},
    {Fault::SlowBytes, Command::Info, 0, ""},
    {Fault::SlowBytes, Command::Disconnect, 0, "断开连接正常!"},
    {Fault::SlowBytes, Command::Read, 0, kReadDigits},
    {Fault::SlowBytes, Command::Write, 0, "写入设置成功"},
    {Fault::SlowBytes, Command::Reset, 0, "恢复出厂设置成功"},
    {Fault::SlowBytes, Command::Upgrade, 0, "固件刷新成功!"},
    {Fault::SlowBytes, Command::Send, 0, "文件发送完成."},
    {Fault::SlowBytes, Command::Jump, 0, "正在装载 ..."},

    {Fault::Unsolicited, Command::Connect, 0, "设备连接成功."},
    {Fault::Unsolicited, Command::Info, 0, ""},
    {Fault::Unsolicited, Command::Disconnect, 0, "断开连接正常!"},
    {Fault::Unsolicited, Command::Read, 0, kReadDigits},
    {Fault::Unsolicited, Command::Write, 0, "写入设置成功"},
    {Fault::Unsolicited, Command::Reset, 0, "恢复出厂设置成功"},
    {Fault::Unsolicited, Command::Upgrade, 0, "固件刷新成功!"},
    {Fault::Unsolicited, Command::Send, 0, "文件发送完成."},
    {Fault::Unsolicited, Command::Jump, 0, "正在装载 ..."},

    {Fault::Throttled, Command::Connect, 0, "设备连接成功."},
    {Fault::Throttled, Command::Info, 0, ""},
    {Fault::Throttled, Command::Disconnect, 0, "断开连接正常!"},
    {Fault::Throttled, Command::Read, 0, kReadDigits},
    {Fault::Throttled, Command::Write, 0, "写入设置成功"},
    {Fault::Throttled, Command::Reset, 0, "恢复出厂设置成功"},
    {Fault::Throttled, Command::Upgrade, 0, "固件刷新成功!"},
    {Fault::Throttled, Command::Send, 0, "文件发送完成."},
    {Fault::Throttled, Command::Jump, 0, "正在装载 ..."},

    {Fault::Refusal, Command::Connect, 1, "错误:1234"},
    {Fault::Refusal, Command::Info, 1, "错误:1234"},
    {Fault::Refusal, Command::Disconnect, 0, "断开连接正常!"},
    {Fault::Refusal, Command::Read, 1, "错误:1234"},
    {Fault::Refusal, Command::Write, 1, "错误:1234"},
    {Fault::Refusal, Command::Reset, 1, "错误:1234"},
    {Fault::Refusal, Command::Upgrade, 1, "wErr=EE00; Code=1234; wLen=0002;"},
    {Fault::Refusal, Command::Send, 0, "文件发送完成."},
    {Fault::Refusal, Command::Jump, 0, "正在装载 ..."},

    {Fault::ShortPayload, Command::Connect, 1, "错误:EF00"},
    {Fault::ShortPayload, Command::Info, 1, "错误:EF00"},
    {Fault::ShortPayload, Command::Disconnect, 0, "断开连接正常!"},
    {Fault::ShortPayload, Command::Read, 1, "错误:EF00"},
    {Fault::ShortPayload, Command::Write, 1, "错误:EF00"},
    {Fault::ShortPayload, Command::Reset, 1, "错误:EF00"},
    {Fault::ShortPayload, Command::Upgrade, 1, "wErr=EF00; Code=0000; wLen=0000;"},
    {Fault::ShortPayload, Command::Send, 1, "文件发送失败."},
    {Fault::ShortPayload, Command::Jump, 1, ""},

    {Fault::Unplugged, Command::Connect, 1, "错误:EF00"},
    {Fault::Unplugged, Command::Info, 1, "错误:EF00"},
    {Fault::Unplugged, Command::Disconnect, 0, "断开连接正常!"},
    {Fault::Unplugged, Command::Read, 1, "错误:EF00"},
    {Fault::Unplugged, Command::Write, 1, "错误:EF00"},
    {Fault::Unplugged, Command::Reset, 1, "错误:EF00"},
    {Fault::Unplugged, Command::Upgrade, 1, "wErr=EF00; Code=0000; wLen=0000;"},
    {Fault::Unplugged, Command::Send, 1, "文件发送失败."},
    {Fault::Unplugged, Command::Jump, 1, ""},

    {Fault::SlowRestart, Command::Connect, 0, "设备连接成功."},
    {Fault::SlowRestart, Command::Info, 0, ""},
    {Fault::SlowRestart, Command::Disconnect, 0, "断开连接正常!"},
    {Fault::SlowRestart, Command::Read, 0, kReadDigits},
    {Fault::SlowRestart, Command::Write, 0, "写入设置成功"},
    {Fault::SlowRestart, Command::Reset, 0, "恢复出厂设置成功"},
    {Fault::SlowRestart, Command::Upgrade, 0, "固件刷新成功!"},
    {Fault::SlowRestart, Command::Send, 0, "文件发送完成."},
    {Fault::SlowRestart, Command::Jump, 0, "正在装载 ..."},
};

struct Outcome {
    int exitCode = -1;
    std::string lastStatus;
    std::string out;
    std::string err;
};

std::string LastStatus(const std::string& out) {
    constexpr std::string_view kPrefix = "status: ";
    std::string last;
    std::size_t start = 0;
    while (start < out.size()) {
        std::size_t end = out.find('\n', start);
        if (end == std::string::npos)
            end = out.size();
        const std::string_view line(out.data() + start, end - start);
        if (line.starts_with(kPrefix))
            last = line.substr(kPrefix.size());
        start = end + 1;
    }
    return last;
}

// One command from scratch against a box `inject` has set up: its own box on
// COM3, port folder and working directory.
Outcome RunCommand(Command command, const std::function<void(CBoxSimulator&)>& inject,
                   const CliRun& base) {
    Outcome outcome;
    char rootTemplate[] = "/tmp/vornak-cli-matrix.XXXXXX";
    if (mkdtemp(rootTemplate) == nullptr)
        return outcome;
    const std::string root = rootTemplate;
    const std::string portDir = root + "/ports";
    const std::string workDir = root + "/work";
    std::filesystem::create_directories(portDir);
    std::filesystem::create_directories(workDir + "/Prg");
    const Bytes package = MakeSamplePackage("VBX-100 V2.4.0", kTransferBytes);
    std::ofstream(workDir + "/Prg/m.pkg", std::ios::binary)
        .write(reinterpret_cast<const char*>(package.data()),
               static_cast<std::streamsize>(package.size()));
    std::ofstream(workDir + "/app.bin", std::ios::binary) << std::string(kTransferBytes, 'A');
    std::ofstream(workDir + "/settings.json", std::ios::binary) << WholeRecordJson();
    {
        CBoxSimulator box;
        if (box.Start(portDir, kBoxPort)) {
            box.SetVersion(kBoxVersion);
            box.SetSerial(kBoxSerial);
            box.SetRestartTime(kShortRestart);
            inject(box);
            CliRun run = base;
            run.workDir = workDir;
            run.env[0] = "VORNAK_PORT_DIR=" + portDir;
            run.timeout = kCellLimit;
            const CliResult r = RunProcess(VORNAK_CLI_PATH, CommandArgs(command), run);
            outcome.exitCode = r.exitCode;
            outcome.lastStatus = LastStatus(r.out);
            outcome.out = r.out;
            outcome.err = r.err;
        }
        box.Stop();
    }
    std::filesystem::remove_all(root);
    return outcome;
}

Outcome RunCell(const Cell& cell, const CliRun& base) {
    return RunCommand(
        cell.command, [&cell](CBoxSimulator& box) { Inject(box, cell.fault); }, base);
}

}  // namespace

TEST_F(CliTest, EveryFaultAgainstEveryCommand) {
    // The matrix is complete: each fault meets each command once.
    for (int f = 0; f < kFaultCount; ++f) {
        for (int c = 0; c < kCommandCount; ++c) {
            const auto n =
                std::count_if(std::begin(kCells), std::end(kCells), [&](const Cell& cell) {
                    return cell.fault == Fault(f) && cell.command == Command(c);
                });
            EXPECT_EQ(n, 1) << FaultName(Fault(f)) << " x " << CommandArgs(Command(c)).front();
        }
    }

    constexpr std::size_t kCellCount = std::size(kCells);
    std::vector<Outcome> outcomes(kCellCount);
    std::atomic<std::size_t> next{0};
    const CliRun base = Options();
    std::vector<std::thread> workers;
    for (unsigned i = 0; i < kParallelCells; ++i) {
        workers.emplace_back([&] {
            for (std::size_t k = next++; k < kCellCount; k = next++)
                outcomes[k] = RunCell(kCells[k], base);
        });
    }
    for (std::thread& t : workers)
        t.join();

    for (std::size_t k = 0; k < kCellCount; ++k) {
        const Cell& cell = kCells[k];
        const Outcome& o = outcomes[k];
        SCOPED_TRACE(std::string(FaultName(cell.fault)) + " x " +
                     CommandArgs(cell.command).front());
        EXPECT_EQ(o.exitCode, cell.exitCode) << o.out << o.err;
        EXPECT_EQ(o.lastStatus, cell.lastStatus) << o.out << o.err;
    }
}

// A frame the box sends on its own just as a request goes out arrives ahead of
// the reply. Where it cannot be the reply (the settings and the result-only
// replies have fixed lengths) the reply that follows is taken, so the command
// does what it was asked and does not fail on the other frame's bytes.
TEST_F(CliTest, AFrameOfTheBoxsOwnAheadOfTheReplyIsNotTakenForIt) {
    Bytes own;
    const Bytes ownPayload = {0xEE, 0x00, 0x55, 0xAA, 0x07};
    ASSERT_TRUE(BuildFrame(kReplyStart, ownPayload.data(), ownPayload.size(), own));
    const auto ownFrameAhead = [&own](CBoxSimulator& box) { box.SetFaults({.garbage = own}); };
    const struct {
        Command command;
        const char* lastStatus;
    } cases[] = {
        {Command::Read, kReadDigits},
        {Command::Write, "写入设置成功"},
        {Command::Reset, "恢复出厂设置成功"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(CommandArgs(c.command).front());
        const Outcome o = RunCommand(c.command, ownFrameAhead, Options());
        EXPECT_EQ(o.exitCode, 0) << o.out << o.err;
        EXPECT_EQ(o.lastStatus, c.lastStatus) << o.out << o.err;
    }
}
