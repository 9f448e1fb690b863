// CSerialPort over a bare pseudo-terminal: the test holds the device end.
#include "link/serial_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <fstream>
#include <thread>

#include "tests/link/link_test_support.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

// Short enough to keep the tests fast, long enough to be told apart from an
// immediate failure on a loaded machine.
constexpr std::uint32_t kTestInterByteMs = 150;
constexpr LinkTiming kTestTiming{.interByteTimeoutMs = kTestInterByteMs};

class SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_pty.Valid());
        ASSERT_TRUE(m_pty.LinkAs(m_dir.PortPath(3)));
    }

    static ComPara Params(const std::string& name, std::uint32_t baud = 115200) {
        ComPara p;
        p.name = name;
        p.baud = baud;
        return p;
    }

    // Opens the port named COM3 at 115200 8N1.
    void OpenPort(CSerialPort& port) {
        port.SetParams(Params("COM3"));
        ASSERT_EQ(port.Open(), ST_PORT_OK);
        ASSERT_TRUE(port.IsOpen());
    }

    // Waits until bytes the device sent have reached the port's input queue.
    static void AwaitInput(CSerialPort& port) {
        CWakeSignal never;
        ASSERT_EQ(port.WaitReadable(never, 1000), CSerialPort::WaitResult::Readable);
    }

    CTempPortDir m_dir;
    CTestPty m_pty;
};

TEST_F(SerialPortTest, FreshPortHasNoName) {
    const int fds = CountOpenFds();
    CSerialPort port;
    EXPECT_EQ(port.Open(), ST_PORT_NAME_EMPTY);
    EXPECT_FALSE(port.IsOpen());
    port.SetParams(Params(""));
    EXPECT_EQ(port.Open(), ST_PORT_NAME_EMPTY);
    EXPECT_EQ(CountOpenFds(), fds);
}

TEST_F(SerialPortTest, OpenFailuresKeepNoDescriptorAndSayWhy) {
    const std::string regularFile = m_dir.Path() + "/plain.txt";
    std::ofstream(regularFile) << "not a tty";
    std::filesystem::create_directory(m_dir.PortPath(6));
    ASSERT_EQ(symlink("/dev/null", m_dir.PortPath(7).c_str()), 0);
    ASSERT_EQ(symlink("/nonexistent/pts/9", m_dir.PortPath(8).c_str()), 0);
    struct Case {
        std::string name;
        PortFailureKind kind;
        bool nothingThere;
        const char* text;
    };
    const Case cases[] = {
        {"COM5", PortFailureKind::Gone, true, "gone: no device there (unplugged?)"},
        {"\\\\.\\COM17", PortFailureKind::Gone, true, "gone: no device there (unplugged?)"},
        {"/nonexistent/ttyUSB0", PortFailureKind::Gone, true, "gone: no device there (unplugged?)"},
        {"COM8", PortFailureKind::Gone, false, "gone: no device there (unplugged?)"},
        {regularFile, PortFailureKind::NotSerial, false,
         "not a serial device: the path leads to something that is no serial line"},
        {"COM6", PortFailureKind::NotSerial, false,
         "not a serial device: the path leads to something that is no serial line"},
        {"COM7", PortFailureKind::NotSerial, false,
         "not a serial device: the path leads to something that is no serial line"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int fds = CountOpenFds();
        CSerialPort port;
        port.SetParams(Params(c.name));
        PortFailure failure;
        EXPECT_EQ(port.Open(&failure), ST_PORT_IO_ERROR);
        EXPECT_FALSE(port.IsOpen());
        EXPECT_EQ(CountOpenFds(), fds);
        EXPECT_EQ(failure.kind, c.kind);
        EXPECT_EQ(failure.nothingThere, c.nothingThere);
        EXPECT_EQ(PortFailureText(failure), c.text);
    }
}

TEST_F(SerialPortTest, SecondOpenOfSamePortIsRefused) {
    CSerialPort first;
    OpenPort(first);
    const int fds = CountOpenFds();
    CSerialPort second;
    second.SetParams(Params("\\\\.\\COM3"));
    PortFailure failure;
    EXPECT_EQ(second.Open(&failure), ST_PORT_IO_ERROR);
    // The holder is this process, which is not named as another.
    EXPECT_EQ(PortFailureText(failure), "busy: held by another process");
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(CountOpenFds(), fds);
    EXPECT_TRUE(first.IsOpen());

    // Once the first lets go, the port is free again.
    first.Close();
    EXPECT_EQ(second.Open(), ST_PORT_OK);
}

// The latency timer of a made-up adapter: lowered to 1 ms while the port is
// open and put back on close; left alone when it is already low.
TEST_F(SerialPortTest, LatencyTimerLoweredWhileOpen) {
    struct Case {
        const char* what;
        const char* before;
        const char* whileOpen;
    };
    const Case cases[] = {
        {"default timer", "16\n", "1\n"},
        {"already low", "1\n", "1\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string root = m_dir.Path() + "/sys";
        const std::filesystem::path timerDir = std::filesystem::path(root) /
                                               "bus/usb-serial/devices" /
                                               std::filesystem::path(m_pty.SlavePath()).filename();
        std::filesystem::create_directories(timerDir);
        const std::string file = (timerDir / "latency_timer").string();
        std::filesystem::remove(file);
        std::ofstream(file) << c.before;

        const std::optional<LatencyTimer> timer = ReadLatencyTimer(root, m_dir.PortPath(3));
        ASSERT_TRUE(timer.has_value());
        EXPECT_EQ(timer->ms, std::atoi(c.before));

        CSerialPort port({}, root);
        OpenPort(port);
        std::ifstream open(file);
        std::string text((std::istreambuf_iterator<char>(open)), std::istreambuf_iterator<char>());
        EXPECT_EQ(text, c.whileOpen);
        port.Close();
        std::ifstream closed(file);
        text.assign(std::istreambuf_iterator<char>(closed), std::istreambuf_iterator<char>());
        EXPECT_EQ(std::atoi(text.c_str()), std::atoi(c.before));
    }
}

TEST_F(SerialPortTest, CloseIsIdempotentAndRefusesIo) {
    const int fds = CountOpenFds();
    CSerialPort port;
    OpenPort(port);
    // Opening an open port reopens it without keeping the old descriptor.
    EXPECT_EQ(port.Open(), ST_PORT_OK);
    EXPECT_EQ(CountOpenFds(), fds + 1);
    port.Close();
    EXPECT_FALSE(port.IsOpen());
    port.Close();
    EXPECT_EQ(CountOpenFds(), fds);

    const std::uint8_t byte = 0x55;
    std::uint8_t in = 0;
    std::uint32_t count = 99;
    EXPECT_EQ(port.Write(&byte, 1), ST_PORT_NOT_OPEN);
    EXPECT_EQ(port.ReadByte(&in, 10), ST_PORT_NOT_OPEN);
    EXPECT_EQ(port.Read(&in, 1, &count, 10), ST_PORT_IO_ERROR);
    EXPECT_EQ(count, 0u);
    EXPECT_TRUE(m_pty.Receive(1, 50).empty());
}

TEST_F(SerialPortTest, LineSettingsAppliedAndRestored) {
    // The device side as another program left it: cooked, echoing, with
    // signals, output processing, hardware flow control and XON/XOFF on (the
    // test's pseudo-terminal starts raw, so each is set here).
    const int probe = open(m_pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(probe, 0);
    termios before{};
    ASSERT_EQ(tcgetattr(probe, &before), 0);
    before.c_cflag |= CRTSCTS | PARENB | CSTOPB;
    before.c_iflag |= IXON | ICRNL | ISTRIP;
    before.c_lflag |= ICANON | ECHO | ISIG;
    before.c_oflag |= OPOST;
    cfsetispeed(&before, B9600);
    cfsetospeed(&before, B9600);
    ASSERT_EQ(tcsetattr(probe, TCSANOW, &before), 0);
    ASSERT_EQ(tcgetattr(probe, &before), 0);

    CSerialPort port;
    OpenPort(port);
    termios t{};
    ASSERT_EQ(tcgetattr(probe, &t), 0);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B115200));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB), 0u);
    EXPECT_EQ(t.c_iflag & (INPCK | IXON | ICRNL | ISTRIP), 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_cc[VSTART], 0x11);
    EXPECT_EQ(t.c_cc[VSTOP], 0x13);
    // Left alone: hardware flow control keeps the port's value.
    EXPECT_EQ(t.c_cflag & CRTSCTS, static_cast<tcflag_t>(CRTSCTS));

    port.Close();
    termios after{};
    ASSERT_EQ(tcgetattr(probe, &after), 0);
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(after.c_oflag, before.c_oflag);
    EXPECT_EQ(cfgetospeed(&after), static_cast<speed_t>(B9600));
    close(probe);
}

TEST_F(SerialPortTest, RefusedSettingsHoldPortUntilClose) {
    ComPara oneAndHalf = Params("COM3");
    oneAndHalf.stopBits = kStopBitsOneAndHalf;
    const ComPara cases[] = {Params("COM3", 12345), oneAndHalf};
    for (const ComPara& params : cases) {
        const int fds = CountOpenFds();
        CSerialPort port;
        port.SetParams(params);
        EXPECT_EQ(port.Open(), ST_PORT_IO_ERROR);
        EXPECT_FALSE(port.IsOpen());
        const std::uint8_t byte = 0;
        EXPECT_EQ(port.Write(&byte, 1), ST_PORT_NOT_OPEN);
        EXPECT_EQ(CountOpenFds(), fds + 1);
        port.Close();
        EXPECT_EQ(CountOpenFds(), fds);
    }
}

TEST_F(SerialPortTest, WriteDiscardsEarlierInput) {
    CSerialPort port;
    OpenPort(port);
    m_pty.Send({0x3C, 0x00, 0x02, 0xEE});
    AwaitInput(port);

    const Bytes request = {0x3E, 0x00, 0x04, 0x1A, 0x9B, 0x00, 0x01, 0xFF, 0x49};
    ASSERT_EQ(port.Write(request.data(), static_cast<std::uint32_t>(request.size())), ST_PORT_OK);
    EXPECT_EQ(m_pty.Receive(request.size()), request);

    m_pty.Send({0x42});
    std::uint8_t byte = 0;
    ASSERT_EQ(port.ReadByte(&byte, 1000), ST_PORT_OK);
    EXPECT_EQ(byte, 0x42);
    EXPECT_EQ(port.ReadByte(&byte, 20), ST_PORT_IO_ERROR);
}

TEST_F(SerialPortTest, LargeWriteWaitsForRoom) {
    CSerialPort port;
    OpenPort(port);
    Bytes big(256 * 1024);
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<std::uint8_t>(i * 7);
    Bytes got;
    std::thread reader([&] { got = m_pty.Receive(big.size(), 2000); });
    EXPECT_EQ(port.Write(big.data(), static_cast<std::uint32_t>(big.size())), ST_PORT_OK);
    reader.join();
    EXPECT_EQ(got, big);
}

struct ReadCase {
    const char* name;
    Bytes sent;
    std::uint32_t wanted;
    std::uint32_t firstByteMs;
    StatusWord status;
    std::uint32_t count;
    long long minMs;  // the wait the rules imply
};

TEST_F(SerialPortTest, ReadTimeouts) {
    const ReadCase cases[] = {
        {"all arrive", {1, 2, 3, 4, 5}, 5, 1000, ST_PORT_OK, 5, 0},
        {"three of five", {1, 2, 3}, 5, 1000, ST_PORT_IO_ERROR, 3, kTestInterByteMs},
        {"first byte missing", {}, 5, 100, ST_PORT_IO_ERROR, 0, 100},
    };
    CSerialPort port(kTestTiming);
    OpenPort(port);
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        m_pty.Send(c.sent);
        Bytes buffer(c.wanted, 0);
        std::uint32_t count = 99;
        const Clock::time_point start = Clock::now();
        EXPECT_EQ(port.Read(buffer.data(), c.wanted, &count, c.firstByteMs), c.status);
        const long long took = ElapsedMs(start);
        EXPECT_EQ(count, c.count);
        EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + count), c.sent);
        EXPECT_GE(took, c.minMs);
        // Nowhere near the caller's time-out per further byte.
        EXPECT_LT(took, c.minMs + 700);
    }
}

TEST_F(SerialPortTest, FirstByteGetsCallersWaitNotInterByteWait) {
    CSerialPort port(kTestTiming);
    OpenPort(port);
    std::thread late([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(2 * kTestInterByteMs));
        m_pty.Send({0xA1, 0xA2});
    });
    std::uint8_t buffer[2] = {};
    std::uint32_t count = 0;
    EXPECT_EQ(port.Read(buffer, 2, &count, 3000), ST_PORT_OK);
    late.join();
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(buffer[1], 0xA2);
}

// Well before the reads' 2000 ms time-out, however slow the build.
constexpr long long kWellBeforeTimeoutMs = std::min<long long>(Scaled(500), 1000);

TEST_F(SerialPortTest, WaitsEndOnWakeAndHangUp) {
    CSerialPort port;
    OpenPort(port);
    CWakeSignal wake;
    EXPECT_EQ(port.WaitReadable(wake, 20), CSerialPort::WaitResult::TimedOut);

    wake.Signal();
    EXPECT_EQ(port.WaitReadable(wake, 1000), CSerialPort::WaitResult::Woken);
    std::uint8_t byte = 0;
    Clock::time_point start = Clock::now();
    EXPECT_EQ(port.ReadByte(&byte, 2000, &wake), ST_PORT_IO_ERROR);
    EXPECT_LT(ElapsedMs(start), kWellBeforeTimeoutMs);
    wake.Clear();
    EXPECT_FALSE(wake.IsSignalled());

    m_pty.Send({0x99});
    EXPECT_EQ(port.WaitReadable(wake, 1000), CSerialPort::WaitResult::Readable);
    EXPECT_EQ(port.ReadByte(&byte, 100, &wake), ST_PORT_OK);
    EXPECT_EQ(byte, 0x99);

    // Cable out: every wait and read ends at once rather than at its time-out.
    m_pty.CloseMaster();
    EXPECT_EQ(port.WaitReadable(wake, 2000), CSerialPort::WaitResult::Hangup);
    start = Clock::now();
    EXPECT_EQ(port.ReadByte(&byte, 2000), ST_PORT_IO_ERROR);
    EXPECT_LT(ElapsedMs(start), kWellBeforeTimeoutMs);
    EXPECT_EQ(port.Write(&byte, 1), ST_PORT_IO_ERROR);
    EXPECT_TRUE(port.IsOpen());

    port.Close();
    EXPECT_EQ(port.WaitReadable(wake, 0), CSerialPort::WaitResult::NotOpen);
}

}  // namespace
