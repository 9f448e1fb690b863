#include "link/device_link.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <span>
#include <string>

#include "link/command_codes.h"

namespace {

// The receive thread reads only after poll said a byte is there, so this
// wait for it is a formality; it bounds the attempt if a transaction took it.
constexpr std::uint32_t kRxFirstByteTimeoutMs = 80;
// Wait for the length field and for the rest of an unsolicited frame after its
// start byte: such a frame comes in one go.
constexpr std::uint32_t kRxFrameTimeoutMs = 300;
// A line in error (without a hang-up) reports itself readable at once and for
// ever; this pause keeps the receive thread from spinning on it.
constexpr int kDeadLineBackoffMs = 50;
// While transactions own the line the receive thread stays off it and looks
// again this often; frames it misses meanwhile are discarded by the next
// request anyway.
constexpr int kBusyLineRecheckMs = 10;

std::string PortNameFor(int number) {
    const std::string plain = "COM" + std::to_string(number);
    return number < CDeviceLink::kFirstDeviceNamespacePort ? plain : "\\\\.\\" + plain;
}

}  // namespace

CDeviceLink* CDeviceLink::GetInstance() {
    // Created once, even when two threads ask at the same moment, and never
    // destroyed: a worker may still be using it while the process ends.
    static CDeviceLink* const instance = new CDeviceLink();
    return instance;
}

CDeviceLink::CDeviceLink(LinkTiming timing) : m_timing(timing), m_port(timing) {}

CDeviceLink::~CDeviceLink() {
    // Whoever set the hooks may already be gone (a link destroyed after the
    // state its hook writes to): a link being destroyed tells nobody.
    SetStateHook({});
    Disconnect();
}

bool CDeviceLink::IsOpen() const {
    return m_port.IsOpen() && !m_port.LineGone();
}

std::uint8_t CDeviceLink::ConnectedPortNumber() const {
    return IsOpen() ? m_openPortNumber.load() : 0;
}

bool CDeviceLink::ReleaseDeadLine() {
    std::lock_guard lifecycle(m_lifecycleMutex);
    if (!m_port.LineGone())
        return false;
    StopReceiveThread();
    {
        std::lock_guard lock(m_portMutex);
        m_port.Close();
    }
    NotifyState(State::Closed);
    return true;
}

void CDeviceLink::SetStateHook(StateHook hook) {
    std::lock_guard lock(m_stateHookMutex);
    m_stateHook = std::move(hook);
}

void CDeviceLink::NotifyState(State state) {
    std::lock_guard lock(m_stateHookMutex);
    if (m_stateHook)
        m_stateHook(state);
}

void CDeviceLink::ReportIfLineGone() {
    if (m_port.LineGone() && !m_lineGoneReported.exchange(true))
        NotifyState(State::LineGone);
}

void CDeviceLink::SetTraceHook(TraceHook hook) {
    std::lock_guard lock(m_traceMutex);
    m_traceHook = std::move(hook);
    m_traceOn = static_cast<bool>(m_traceHook);
}

void CDeviceLink::Trace(bool outgoing, const std::uint8_t* bytes, std::size_t n) {
    if (!m_traceOn.load(std::memory_order_relaxed))
        return;
    std::lock_guard lock(m_traceMutex);
    if (m_traceHook)
        m_traceHook(outgoing, bytes, n);
}

LinkReply CDeviceLink::Transact(const LinkRequest& request) {
    LinkReply reply;
    if (!m_port.IsOpen()) {
        std::lock_guard lifecycle(m_lifecycleMutex);
        // Another caller may have connected while this one waited.
        if (!m_port.IsOpen()) {
            reply.status = ScanPortsLocked(nullptr);
            if (reply.status != ST_OK)
                return reply;
        }
    }

    // Make the receive thread leave the port alone before queueing for it.
    m_transactionsWaiting.fetch_add(1);
    if (m_receiverOnLine.load())
        m_wake.Signal();
    {
        std::lock_guard lock(m_portMutex);
        if (request.quietLineFirst)
            AwaitQuietLine();
        reply.status = SendRequest(request.command, request.subCode, request.data);
        if (reply.status == ST_OK)
            reply.status = ReadReply(&reply, request.firstByteTimeoutMs, request.accepted,
                                     request.keepUnfitting, request.readOnPastStrays);
    }
    // No wake-up here: the receive thread looks again by itself, so that a
    // run of transactions does not wake it once per exchange.
    m_transactionsWaiting.fetch_sub(1);
    ReportIfLineGone();
    return reply;
}

StatusWord CDeviceLink::OpenLinePort(const std::string& name, PortFailure* failure) {
    ComPara params;
    params.name = name;
    params.baud = kLineBaud;
    params.byteSize = 8;
    params.parity = kParityNone;
    params.stopBits = kStopBitsOne;
    m_port.SetParams(params);
    return m_port.Open(failure);
}

StatusWord CDeviceLink::ScanPorts(std::uint8_t* byComNum) {
    std::lock_guard lifecycle(m_lifecycleMutex);
    return ScanPortsLocked(byComNum);
}

StatusWord CDeviceLink::ScanPortsLocked(std::uint8_t* byComNum) {
    StatusWord status = ST_NO_DEVICE;
    std::uint8_t found = 0;
    std::vector<SkippedPort> skipped;
    StopReceiveThread();
    {
        std::lock_guard lock(m_portMutex);
        m_port.Close();
        for (int n = kFirstPort; n <= kLastPort; ++n) {
            PortFailure failure;
            if (OpenLinePort(PortNameFor(n), &failure) != ST_PORT_OK) {
                if (!failure.nothingThere)
                    skipped.push_back({n, std::move(failure)});
                continue;
            }

            // Any valid frame counts: the result word and data are not looked at.
            StatusWord st = SendRequest(CMD_GET_SERIAL, SUB_DEFAULT, {});
            if (st == ST_OK)
                st = ReadReply(nullptr, TIMEOUT_PROBE_MS);
            if (st == ST_OK) {
                found = static_cast<std::uint8_t>(n);
                m_openPortNumber = found;
                status = ST_OK;
                break;
            }
            m_port.Close();
        }
        // Also lets go of a port held after its settings were refused.
        if (status != ST_OK)
            m_port.Close();
    }
    if (status == ST_OK) {
        m_lineGoneReported = false;
        StartReceiveThread();
    } else {
        std::lock_guard hookLock(m_skippedHookMutex);
        if (m_skippedHook)
            m_skippedHook(skipped);
    }
    NotifyState(status == ST_OK ? State::Open : State::Closed);
    if (byComNum != nullptr)
        *byComNum = found;
    return status;
}

void CDeviceLink::SetSkippedPortsHook(SkippedPortsHook hook) {
    std::lock_guard lock(m_skippedHookMutex);
    m_skippedHook = std::move(hook);
}

StatusWord CDeviceLink::OpenPort(std::uint8_t comNum, PortFailure* failure) {
    return OpenNamedPort(PortNameFor(comNum), comNum, failure);
}

StatusWord CDeviceLink::OpenPortPath(const std::string& path, std::uint8_t comNum,
                                     PortFailure* failure) {
    return OpenNamedPort(path, comNum, failure);
}

StatusWord CDeviceLink::OpenNamedPort(const std::string& name, std::uint8_t comNum,
                                      PortFailure* failure) {
    std::lock_guard lifecycle(m_lifecycleMutex);
    StopReceiveThread();
    StatusWord status = ST_NO_DEVICE;
    {
        std::lock_guard lock(m_portMutex);
        if (OpenLinePort(name, failure) == ST_PORT_OK) {
            status = ST_OK;
            m_openPortNumber = comNum;
        } else {
            m_port.Close();
        }
    }
    if (status == ST_OK) {
        m_lineGoneReported = false;
        StartReceiveThread();
    }
    NotifyState(status == ST_OK ? State::Open : State::Closed);
    return status;
}

StatusWord CDeviceLink::Disconnect() {
    std::lock_guard lifecycle(m_lifecycleMutex);
    StopReceiveThread();
    {
        std::lock_guard lock(m_portMutex);
        m_port.Close();
    }
    const bool open = m_port.IsOpen();
    NotifyState(open ? State::Open : State::Closed);
    return open ? ST_CLOSE_FAILED : ST_OK;
}

void CDeviceLink::AwaitQuietLine() {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point giveUp = Clock::now() + std::chrono::milliseconds(kQuietLimitMs);
    std::uint8_t dropped = 0;
    while (Clock::now() < giveUp && m_port.ReadByte(&dropped, kQuietGapMs) == ST_PORT_OK) {
    }
}

StatusWord CDeviceLink::SendRequest(std::uint16_t command, std::uint16_t subCode,
                                    std::span<const std::uint8_t> data) {
    const std::size_t frameLength =
        BuildRequestFrame(command, subCode, data.data(), data.size(), m_txBuf);
    if (frameLength == 0)
        return ST_SEND_FAILED;
    if (m_port.Write(m_txBuf, static_cast<std::uint32_t>(frameLength)) != ST_PORT_OK)
        return ST_SEND_FAILED;
    Trace(true, m_txBuf, frameLength);
    return ST_OK;
}

CFrameAssembler::Result CDeviceLink::ReadFrame(CFrameAssembler& frame,
                                               std::uint32_t firstByteTimeoutMs,
                                               std::uint32_t partTimeoutMs, const CWakeSignal* wake,
                                               std::deque<std::uint8_t>* replay) {
    frame.Reset();
    std::uint32_t waitMs = firstByteTimeoutMs;
    for (;;) {
        // Exactly the bytes the assembler wants: nothing past the frame is
        // taken off the line.
        std::size_t wanted = frame.Wanted();
        if (replay != nullptr && !replay->empty()) {
            wanted = std::min(wanted, replay->size());
            std::copy_n(replay->begin(), wanted, frame.Room());
            replay->erase(replay->begin(), replay->begin() + static_cast<std::ptrdiff_t>(wanted));
        } else {
            std::uint32_t received = 0;
            if (m_port.Read(frame.Room(), static_cast<std::uint32_t>(wanted), &received, waitMs,
                            wake) != ST_PORT_OK) {
                // Kept with the half-read frame: AfterFalseStart sees them.
                if (received != 0)
                    frame.Take(received);
                return CFrameAssembler::Result::NeedMore;
            }
        }
        const CFrameAssembler::Result result = frame.Take(wanted);
        if (result == CFrameAssembler::Result::Frame ||
            result == CFrameAssembler::Result::BadChecksum) {
            const std::span<const std::uint8_t> bytes = frame.FrameBytes();
            Trace(false, bytes.data(), bytes.size());
        }
        if (result != CFrameAssembler::Result::NeedMore)
            return result;
        waitMs = partTimeoutMs;
    }
}

StatusWord CDeviceLink::ReadReply(LinkReply* reply, std::uint32_t firstByteTimeoutMs,
                                  ReplyLengths accepted, bool keepUnfitting,
                                  bool readOnPastStrays) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(firstByteTimeoutMs);
    std::uint32_t waitMs = firstByteTimeoutMs;
    // A valid frame of a length that cannot be the reply, kept aside.
    std::vector<std::uint8_t> kept;
    // Ends a wait that found no fitting frame: the frame kept, if any.
    auto endWithoutFit = [&](StatusWord status) {
        if (kept.empty())
            return status;
        HandOver(reply, kept);
        return ST_OK;
    };
    // Bytes of a false start, to be looked through again (readOnPastStrays).
    std::deque<std::uint8_t> replay;
    for (;;) {
        // A stray first byte or a length the buffer cannot hold ends the read
        // of a request that takes any length; the next request discards
        // whatever of it is still coming.
        const CFrameAssembler::Result result =
            ReadFrame(m_replyFrame, waitMs, m_timing.interByteTimeoutMs, nullptr, &replay);
        const bool stray = result == CFrameAssembler::Result::Skipped ||
                           result == CFrameAssembler::Result::TooLong;
        const bool dropStrays = !accepted.Any() && !keepUnfitting;
        const bool badChecksum = result == CFrameAssembler::Result::BadChecksum;
        if (badChecksum && kept.empty())
            SayBadChecksum();
        const bool isReply = result == CFrameAssembler::Result::Frame &&
                             m_replyFrame.Payload().size() >= kMinReplyPayload;
        if (readOnPastStrays) {
            if (isReply && accepted.Fits(static_cast<std::uint32_t>(m_replyFrame.Payload().size() -
                                                                    kMinReplyPayload))) {
                HandOver(reply, m_replyFrame.Payload());
                return ST_OK;
            }
            // A start byte of the box's own chatter may have swallowed the
            // reply's first bytes: they go round again.
            if (result != CFrameAssembler::Result::Frame) {
                const std::span<const std::uint8_t> again = m_replyFrame.AfterFalseStart();
                replay.insert(replay.begin(), again.begin(), again.end());
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0 && replay.empty())
                return ST_NO_REPLY;
            waitMs = static_cast<std::uint32_t>(std::max<long long>(left.count(), 0));
            continue;
        }
        if (badChecksum)
            return endWithoutFit(ST_NO_REPLY);
        if (result != CFrameAssembler::Result::Frame && !(stray && dropStrays))
            return endWithoutFit(ST_NO_REPLY);
        if (result == CFrameAssembler::Result::Frame) {
            const std::span<const std::uint8_t> payload = m_replyFrame.Payload();
            // Without a whole result word there is nothing to hand over.
            if (payload.size() < kMinReplyPayload)
                return endWithoutFit(ST_NO_REPLY);
            if (accepted.Fits(static_cast<std::uint32_t>(payload.size() - kMinReplyPayload))) {
                HandOver(reply, payload);
                return ST_OK;
            }
            if (keepUnfitting)
                kept.assign(payload.begin(), payload.end());
        }
        // The box's own frame, or bytes of one: the reply may still come.
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return endWithoutFit(ST_NO_REPLY);
        waitMs = static_cast<std::uint32_t>(left.count());
    }
}

void CDeviceLink::SayBadChecksum() {
    std::FILE* diagnostics = m_diagnostics.load();
    std::fputs("ABC", diagnostics);
    std::fflush(diagnostics);
}

void CDeviceLink::HandOver(LinkReply* reply, std::span<const std::uint8_t> payload) {
    if (reply == nullptr)
        return;
    reply->data.resize(REPLY_LIMIT);
    HandOverReply(payload.data(), payload.size(), &reply->resultWord, reply->data.data(),
                  REPLY_LIMIT, &reply->length);
    reply->data.resize(std::min(reply->length, REPLY_LIMIT));
}

void CDeviceLink::StartReceiveThread() {
    if (m_receiveThread.joinable())
        return;
    m_stopRequested = false;
    m_wake.Clear();
    m_receiveThread = std::thread(&CDeviceLink::ReceiveLoop, this);
}

void CDeviceLink::StopReceiveThread() {
    if (!m_receiveThread.joinable())
        return;
    m_stopRequested = true;
    m_wake.Signal();
    // Really wait: the port may be closed only once the thread is off it.
    m_receiveThread.join();
}

void CDeviceLink::ReceiveLoop() {
    while (!m_stopRequested.load()) {
        if (!m_port.IsOpen())
            return;
        m_wake.Clear();
        if (m_stopRequested.load())
            return;
        // Announce this thread on the line before looking for transactions;
        // a transaction announces itself before looking at this flag, so one
        // of the two always sees the other.
        m_receiverOnLine = true;
        if (m_transactionsWaiting.load() > 0) {
            m_receiverOnLine = false;
            // A transaction owns the line: its reply is not ours to watch.
            m_wake.Wait(kBusyLineRecheckMs);
            continue;
        }
        switch (m_port.WaitReadable(m_wake, -1)) {
            case CSerialPort::WaitResult::Readable:
                ReceiveOneFrame();
                break;
            case CSerialPort::WaitResult::Hangup:
                if (m_port.LineGone()) {
                    // Nothing more will come; the port waits to be released.
                    ReportIfLineGone();
                    return;
                }
                m_wake.Wait(kDeadLineBackoffMs);
                break;
            case CSerialPort::WaitResult::NotOpen:
                return;
            case CSerialPort::WaitResult::Woken:
            case CSerialPort::WaitResult::TimedOut:
                break;
        }
    }
}

void CDeviceLink::ReceiveOneFrame() {
    std::lock_guard lock(m_portMutex);
    // A transaction that queued meanwhile goes first; it discards this input.
    if (m_transactionsWaiting.load() > 0 || m_stopRequested.load())
        return;

    // The read gives way at once when a transaction or a stop signals. A
    // stray byte is eaten here, one per round; the bytes of a frame too long
    // for the buffer are eaten as strays in later rounds; a frame with a wrong
    // checksum is dropped without a trace on stdout.
    ReadFrame(m_unsolicitedFrame, kRxFirstByteTimeoutMs, kRxFrameTimeoutMs, &m_wake);
}
