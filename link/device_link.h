#pragma once
// CDeviceLink: the one connection between the tool and the box.
//
// Principles of operation. The link owns the serial port. It finds the box by
// opening COM1..COM29 in turn and probing each with CMD_GET_SERIAL; the first
// port that answers with any valid frame stays open ("connected") and a
// receive thread starts. A transaction writes one request frame (the port
// discards pending input first) and reads one reply frame; the first valid
// reply after the request is its reply (or, as the request says, the first
// whose length fits, and the first after whatever stray bytes come ahead of
// it: see LinkRequest). Between transactions the box may send
// frames of its own; the receive thread reads and drops them. Both read a
// frame the same way (ReadFrame), each with its own waits and buffer.
//
// Threads: callers of Transact (the dialog thread, the firmware worker),
// callers of ScanPorts and Disconnect, and the receive thread.
//
// Locks, always taken in this order:
//  - m_lifecycleMutex serialises everything that opens or closes the port or
//    starts or stops the receive thread: ScanPorts, Disconnect, and a
//    Transact that finds the port closed and scans. Two scans never
//    interleave, and a second caller that found the port closed looks again
//    once the first scan is done.
//  - m_portMutex ("the link's lock") is held by every use of the port and of
//    the frame buffers: a transaction from writing its request until its reply
//    is read or has failed (so the receive thread never splits the two), one
//    frame attempt of the receive thread, a whole scan, and the close of a
//    disconnect.
// The receive thread waits for the first byte of a frame in poll() on the port
// and a wake-up signal without holding m_portMutex; only when a byte is
// readable does it take the lock. A transaction announces itself
// (m_transactionsWaiting) and signals the wake-up before it takes the lock;
// the receive thread then stops watching the port and breaks off a frame it is
// reading, so a transaction never waits behind it. While transactions follow
// one another it stays off the line and looks again every few milliseconds,
// so it is not woken once per exchange. Stopping the receive thread
// joins it before the port is closed.
//
// A line that goes away (the port reports a hang-up, EIO or ENXIO: the box or
// adapter unplugged) makes the link closed for IsOpen at once; the receive
// thread ends, and the port stays held (every use fails, nothing rescans in
// the middle of an operation) until ReleaseDeadLine or the next scan, open or
// disconnect closes it. The state hook hears of every change of the open state.

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/frame_codec.h"
#include "link/link_request.h"
#include "link/link_timing.h"
#include "link/serial_port.h"
#include "link/status_words.h"

class CDeviceLink {
public:
    // The scan's range of port numbers.
    static constexpr int kFirstPort = 1;
    static constexpr int kLastPort = 29;
    // Names of ports from this number on take the device namespace form.
    static constexpr int kFirstDeviceNamespacePort = 10;
    static constexpr std::uint32_t kLineBaud = 115200;
    // A quiet line (LinkRequest::quietLineFirst): this long without a byte,
    // some twenty byte times at the line's rate, waited for at most this long.
    static constexpr std::uint32_t kQuietGapMs = 2;
    static constexpr std::uint32_t kQuietLimitMs = 50;

    // The process-wide link the window and the tester dialog share.
    static CDeviceLink* GetInstance();

    // A link of its own, for a user that needs one: each station holds one
    // for its port, and a vornak-cli run one that disconnects when it ends.
    // The product uses the default timing; tests give shorter waits.
    explicit CDeviceLink(LinkTiming timing = {});
    ~CDeviceLink();
    CDeviceLink(const CDeviceLink&) = delete;
    CDeviceLink& operator=(const CDeviceLink&) = delete;

    // Sends the request and reads its reply; on a closed port it scans for
    // the box first.
    LinkReply Transact(const LinkRequest& request);
    StatusWord ScanPorts(std::uint8_t* byComNum);
    // Opens port COM<comNum> at the line's settings without probing it and
    // starts the receive thread, closing whatever was open first; for a tool
    // told which port the box is on. ST_OK, or ST_NO_DEVICE (port closed) when
    // the port can't be opened; `failure` (optional) then says why.
    StatusWord OpenPort(std::uint8_t comNum, PortFailure* failure = nullptr);
    // OpenPort for the device at `path` (a tty, or a link to one such as a
    // /dev/serial/by-id name). `comNum` is the port's number in the port list,
    // 0 when it has none; ConnectedPortNumber reports it.
    StatusWord OpenPortPath(const std::string& path, std::uint8_t comNum,
                            PortFailure* failure = nullptr);
    StatusWord Disconnect();
    // Open and not found gone.
    bool IsOpen() const;
    // Closes a port whose line went away (see above); false, doing nothing,
    // when the line is not gone.
    bool ReleaseDeadLine();
    // Number n of the port COMn the link holds open, 0 when closed: what the
    // connect handler shows when it ran no scan of its own.
    std::uint8_t ConnectedPortNumber() const;

    // Frame trace for --trace and debugging: called with true for bytes
    // written, false for frames read. Off (empty) by default. It is called
    // from the receive thread too, with the link's lock held: it must be
    // thread-safe and must not call back into the link.
    using TraceHook = std::function<void(bool outgoing, const std::uint8_t* bytes, std::size_t n)>;
    void SetTraceHook(TraceHook hook);

    // A port a scan could not open (a free port number is not one).
    struct SkippedPort {
        int number = 0;
        PortFailure failure;
    };
    // Called at the end of every scan that found no box, with the ports it
    // could not open (possibly none), from the scanning thread with the port
    // lock released but the lifecycle lock held; it must not call back into
    // the link. Off by default.
    using SkippedPortsHook = std::function<void(const std::vector<SkippedPort>& skipped)>;
    void SetSkippedPortsHook(SkippedPortsHook hook);

    // What the state hook hears: a port opened (a scan that found the box, or
    // OpenPort), the port closed (Disconnect, a scan that found nothing,
    // ReleaseDeadLine), or the line went away while open.
    enum class State { Open, Closed, LineGone };
    // Called from whichever thread changed the state (a transaction's caller,
    // the receive thread, a scan with the lifecycle lock held); it must be
    // thread-safe and must not call back into the link. Off by default; the
    // destructor closes the port without calling it.
    using StateHook = std::function<void(State state)>;
    void SetStateHook(StateHook hook);

    // Where the link writes its one diagnostic, "ABC" for a reply whose
    // checksum does not match; stdout by default. A tool whose stdout is a
    // contract (vornak-cli) gives it stderr. Set it before the first
    // transaction; the stream must outlive the link's use.
    void SetDiagnosticStream(std::FILE* stream) { m_diagnostics = stream; }

private:
    StatusWord ScanPortsLocked(std::uint8_t* byComNum);
    // Sets the port named `name` ("COMn" or a path) to the line's settings
    // (115200 8N1) and opens it; the port's own status word. Caller holds the
    // port lock.
    StatusWord OpenLinePort(const std::string& name, PortFailure* failure);
    StatusWord OpenNamedPort(const std::string& name, std::uint8_t comNum, PortFailure* failure);
    // Drops input until the line is quiet (LinkRequest::quietLineFirst).
    // Caller holds the port lock.
    void AwaitQuietLine();
    StatusWord SendRequest(std::uint16_t command, std::uint16_t subCode,
                           std::span<const std::uint8_t> data);
    // Reads one frame into `frame` (whose size limit applies): its start byte
    // within firstByteTimeoutMs, the first byte of each later part (length
    // field, rest of the frame) within partTimeoutMs and every other byte
    // within the timing's inter-byte wait; with `wake`, every wait ends when it
    // is signalled. A whole frame is traced, whatever its checksum. Returns the
    // assembler's verdict, NeedMore when the line fell silent or was woken
    // first. Caller holds the port lock.
    // Bytes in `replay` (optional) are taken ahead of the port's, as if they
    // were still on the line.
    CFrameAssembler::Result ReadFrame(CFrameAssembler& frame, std::uint32_t firstByteTimeoutMs,
                                      std::uint32_t partTimeoutMs, const CWakeSignal* wake,
                                      std::deque<std::uint8_t>* replay = nullptr);
    // Reads the reply into `reply` (null: only whether one came); its status.
    // Valid frames of a length `accepted` does not fit are dropped (or, with
    // keepUnfitting, kept aside: see LinkRequest) while the first-byte
    // time-out, counted from the call, lasts; with readOnPastStrays so is
    // everything else that opens no valid reply.
    StatusWord ReadReply(LinkReply* reply, std::uint32_t firstByteTimeoutMs,
                         ReplyLengths accepted = {}, bool keepUnfitting = false,
                         bool readOnPastStrays = false);
    // The link's one diagnostic, for a frame whose checksum does not match.
    void SayBadChecksum();
    // Hands a reply payload over to `reply` (null: nothing to fill).
    static void HandOver(LinkReply* reply, std::span<const std::uint8_t> payload);
    void StartReceiveThread();
    void StopReceiveThread();
    void ReceiveLoop();
    void ReceiveOneFrame();
    void Trace(bool outgoing, const std::uint8_t* bytes, std::size_t n);
    void NotifyState(State state);
    // Tells the state hook once that the port found its line gone.
    void ReportIfLineGone();

    const LinkTiming m_timing;
    std::mutex m_lifecycleMutex;
    std::mutex m_portMutex;

    // Guarded by m_portMutex (and by the receive thread being stopped while the
    // port is opened or closed).
    CSerialPort m_port;
    std::uint8_t m_txBuf[kTxBufSize] = {};  // the request frame being written
    CFrameAssembler m_replyFrame{kReplyStart, kMaxReplyPayload};
    CFrameAssembler m_unsolicitedFrame{kReplyStart, kMaxUnsolicitedPayload};

    // Guarded by m_lifecycleMutex.
    std::thread m_receiveThread;

    std::atomic<bool> m_stopRequested{false};
    std::atomic<int> m_transactionsWaiting{0};
    // The receive thread is watching or reading the port (not standing aside).
    std::atomic<bool> m_receiverOnLine{false};
    CWakeSignal m_wake;
    // Set with the port that a scan found or OpenPort opened.
    std::atomic<std::uint8_t> m_openPortNumber{0};

    std::mutex m_traceMutex;
    TraceHook m_traceHook;
    std::atomic<bool> m_traceOn{false};

    std::mutex m_stateHookMutex;
    StateHook m_stateHook;
    // The line's loss was told to the state hook (cleared with each open).
    std::atomic<bool> m_lineGoneReported{false};

    std::mutex m_skippedHookMutex;
    SkippedPortsHook m_skippedHook;

    std::atomic<std::FILE*> m_diagnostics{stdout};
};
