#pragma once
// CSerialPort: one serial line of the host, opened for exclusive use.
//
// Principles of operation: the port holds a name and line settings; Open
// resolves the name (link/port_names.h), opens the device without blocking,
// locks it against a second user and puts it into a byte-transparent raw mode
// at the asked framing, remembering the settings it found so that Close can
// put them back. Write discards everything pending in both directions first,
// then writes the whole buffer. Reads take one byte at a time, each with a
// total time-out of its own; nothing is read ahead. Every result is a status
// word: 0 (ST_PORT_OK) on success, else ST_PORT_IO_ERROR, ST_PORT_NAME_EMPTY or
// ST_PORT_NOT_OPEN.
//
// Threads: the port has no lock. Its one user (the device link) serialises
// every call, with two exceptions that are safe from any thread: IsOpen and
// LineGone (atomic flags) and, while the port stays open, WaitReadable and the reads'
// wake-up watch, which the link's receive thread uses without the link's lock.
// The wait for each byte of a read after its first is the port's timing, given
// at construction.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "link/link_timing.h"
#include "link/low_latency.h"
#include "link/port_failure.h"
#include "link/status_words.h"
#include "link/wake_signal.h"

struct termios;

// Line settings handed to CSerialPort::SetParams. The parity and stop-bit codes
// are those of the usual serial settings record.
struct ComPara {
    std::string name;  // "COMn", "\\.\COMn" or a device path
    std::uint32_t baud = 9600;
    std::uint8_t byteSize = 8;
    std::uint8_t parity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
    std::uint8_t stopBits = 0;  // 0 one, 1 one and a half, 2 two
};

constexpr std::uint8_t kParityNone = 0;
constexpr std::uint8_t kParityOdd = 1;
constexpr std::uint8_t kParityEven = 2;
constexpr std::uint8_t kParityMark = 3;
constexpr std::uint8_t kParitySpace = 4;
constexpr std::uint8_t kStopBitsOne = 0;
constexpr std::uint8_t kStopBitsOneAndHalf = 1;
constexpr std::uint8_t kStopBitsTwo = 2;

class CSerialPort {
public:
    // `sysfsRoot` is where Open looks for a USB adapter's latency timer
    // (link/low_latency.h).
    explicit CSerialPort(LinkTiming timing = {}, std::string sysfsRoot = kSystemSysfsRoot);
    ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Copies name, baud rate, byte size, parity and stop bits; takes effect at
    // the next Open.
    void SetParams(const ComPara& params);

    // Opens the stored name with the stored settings, closing first whatever is
    // held, and puts the device into low latency while it is open.
    // ST_PORT_NAME_EMPTY when no name is set (nothing changes, the system is
    // not asked); ST_PORT_IO_ERROR when the device is missing, busy or
    // forbidden (no descriptor is kept) or refuses the settings (the open flag
    // stays clear and the descriptor is held until the next Open or Close).
    // On ST_PORT_IO_ERROR `failure` (optional) says why; otherwise it is left
    // alone.
    StatusWord Open(PortFailure* failure = nullptr);
    // Puts back the settings found at Open and releases the device. Idempotent.
    void Close();
    bool IsOpen() const { return m_open.load(std::memory_order_acquire); }
    // Whether a read, write or wait since the last Open found the device gone
    // (a hang-up, EIO or ENXIO: the cable or adapter unplugged, the other side
    // of a pseudo-terminal closed). The port stays open until Close; every
    // further use fails. Safe from any thread.
    bool LineGone() const { return m_lineGone.load(std::memory_order_acquire); }

    // Discards all pending input and output, then writes the whole buffer,
    // waiting as long as the line needs (there is no write time-out).
    // ST_PORT_NOT_OPEN when not open (nothing discarded), ST_PORT_IO_ERROR on a
    // failed write.
    StatusWord Write(const std::uint8_t* bytes, std::uint32_t count);

    // Reads one byte within timeoutMs. ST_PORT_NOT_OPEN when no device is held;
    // ST_PORT_IO_ERROR on time-out, hang-up or read failure, and at once when
    // `wake` (optional) is signalled.
    StatusWord ReadByte(std::uint8_t* byte, std::uint32_t timeoutMs,
                        const CWakeSignal* wake = nullptr);

    // Reads `count` (>= 1) bytes: the first within firstByteTimeoutMs, each
    // further one within the timing's inter-byte wait. When the first byte fails:
    // *received = 0 and ST_PORT_IO_ERROR. When a later byte fails: *received =
    // the bytes read so far and that byte's status. Otherwise *received = count
    // and 0.
    StatusWord Read(std::uint8_t* buffer, std::uint32_t count, std::uint32_t* received,
                    std::uint32_t firstByteTimeoutMs, const CWakeSignal* wake = nullptr);

    enum class WaitResult { Readable, Woken, Hangup, TimedOut, NotOpen };
    // Waits until a byte can be read or `wake` is signalled (-1: no limit).
    // Hangup: the other end is gone (unplugged); bytes still queued are not
    // worth reading then.
    WaitResult WaitReadable(const CWakeSignal& wake, int timeoutMs) const;

private:
    void Release();
    // Remembers that the device is gone when `gone`; never clears.
    void NoteLineGone(bool gone) const;

    const LinkTiming m_timing;
    ComPara m_params;
    std::atomic<int> m_fd{-1};
    std::atomic<bool> m_open{false};
    // Set by whichever call finds the device gone, the waits included.
    mutable std::atomic<bool> m_lineGone{false};
    // The settings found at Open, put back by Close; null when none were read.
    std::unique_ptr<termios> m_savedSettings;
    const std::string m_sysfsRoot;
    CLowLatency m_lowLatency;
};
