#include "boxsim/box_simulator.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <span>
#include <thread>

#include "boxsim/box_state.h"
#include "boxsim/pty_pair.h"
#include "link/frame_codec.h"
#include "link/status_words.h"
#include "link/wake_signal.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Long enough to watch the tool's restart wait in a demo; tests set less.
constexpr milliseconds kDefaultRestartTime{3000};
// A reply that cannot be written for this long goes to nobody: the tool has
// closed the port and the slave's input queue is full.
constexpr milliseconds kWriteStallTimeout{1000};
// Once this much is waiting unread on the tool's side, nobody is reading:
// unsolicited frames are skipped rather than piling up.
constexpr int kUnsolicitedBacklogLimit = 1024;
// A frame of the box's own that falls due while requests are flowing waits
// for the next reply and follows it: sent on its own, it could arrive just
// after the tool discarded its input for a request and pass for the reply.
// A line quiet for this long has no exchange in progress.
constexpr milliseconds kQuietLine{20};
// Master reads: more than any frame, so one read usually takes a whole request.
constexpr std::size_t kReadChunk = 4096;
// Pause after an unexpected hang-up of the master side, instead of spinning.
constexpr milliseconds kHangupBackoff{100};
// Ten bits a byte on the wire: start bit, 8 data bits, stop bit.
constexpr long long kBitsPerByte = 10;
// Unsolicited frame payload: success word, a marker and a counter.
constexpr std::uint8_t kUnsolicitedMarker0 = 0x55;
constexpr std::uint8_t kUnsolicitedMarker1 = 0xAA;

std::vector<std::uint8_t> Frame(const std::vector<std::uint8_t>& payload) {
    std::vector<std::uint8_t> frame;
    BuildFrame(kReplyStart, payload.data(), payload.size(), frame);
    return frame;
}

}  // namespace

struct CBoxSimulator::Impl {
    // Everything below up to the serving-thread section is guarded by `mutex`.
    mutable std::mutex mutex;
    mutable std::condition_variable cv;  // a request was recorded, or stopping
    BoxState state;

    std::map<std::uint16_t, SimOverride> overrides;
    SimFaults faults;
    milliseconds restartTime{kDefaultRestartTime};
    bool answerAfterRestart = true;
    std::optional<Clock::time_point> restartUntil;
    std::optional<SimRequest> waitingRequest;
    std::deque<SimRequest> requests;  // at most kSimRequestHistory
    std::uint64_t requestCount = 0;
    std::map<std::uint16_t, std::uint64_t> commandCounts;
    RequestHook hook;
    bool stopping = false;
    std::string linkPath;
    std::string slavePath;
    bool serving = false;

    // Start, Stop and Unplug are serialised by `lifeMutex`; the pty changes
    // only while no serving thread runs. The wake-up signal lives as long as
    // the simulator, so setters may signal it without any lock.
    std::mutex lifeMutex;
    PtyPair pty;
    CWakeSignal wake;
    std::thread thread;

    // Serving thread only.
    CFrameAssembler assembler{kRequestStart, kMaxRequestPayload};
    bool midFrame = false;
    Clock::time_point txWireFree{};
    Clock::time_point rxWireEnd{};
    Clock::time_point nextUnsolicited{};
    std::uint8_t unsolicitedCount = 0;
    // When the last request byte came in, and whether a frame of the box's
    // own fell due while requests were flowing.
    Clock::time_point lastRequestByte{};
    bool ownFrameDue = false;

    void Serve();
    void OnBytes(const std::uint8_t* bytes, std::size_t n);
    void OnRequest(std::span<const std::uint8_t> payload);
    void Answer(const SimRequest& request);
    void EndRestart();
    std::vector<std::uint8_t> UnsolicitedFrame();
    void SendUnsolicited();
    bool WriteWire(const std::vector<std::uint8_t>& bytes, bool reply);
    bool WriteAll(const std::uint8_t* p, std::size_t n);
    bool SleepUntil(Clock::time_point t);
    void StopThread();
    void RemoveLink();
};

// Sleeps until `t` unless the simulator stops first; returns false then.
bool CBoxSimulator::Impl::SleepUntil(Clock::time_point t) {
    std::unique_lock lock(mutex);
    return !cv.wait_until(lock, t, [this] { return stopping; });
}

bool CBoxSimulator::Impl::WriteAll(const std::uint8_t* p, std::size_t n) {
    const Clock::time_point giveUp = Clock::now() + kWriteStallTimeout;
    while (n > 0) {
        const ssize_t w = write(pty.master, p, n);
        if (w > 0) {
            p += w;
            n -= static_cast<std::size_t>(w);
            continue;
        }
        if (w < 0 && errno == EINTR)
            continue;
        if (w < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        const auto left = std::chrono::duration_cast<milliseconds>(giveUp - Clock::now());
        if (left.count() <= 0)
            return false;
        pollfd fds[2] = {{pty.master, POLLOUT, 0}, {wake.Fd(), POLLIN, 0}};
        if (poll(fds, 2, static_cast<int>(left.count()) + 1) < 0 && errno != EINTR)
            return false;
        if (fds[1].revents & POLLIN)
            wake.Clear();
        std::lock_guard lock(mutex);
        if (stopping)
            return false;
    }
    return true;
}

bool CBoxSimulator::Impl::WriteWire(const std::vector<std::uint8_t>& bytes, bool reply) {
    milliseconds delay{0};
    unsigned baud = 0;
    {
        std::lock_guard lock(mutex);
        delay = reply ? faults.byteDelay : milliseconds{0};
        baud = faults.throttleBaud;
    }
    if (baud == 0 && delay.count() == 0)
        return WriteAll(bytes.data(), bytes.size());

    const auto byteTime =
        std::chrono::nanoseconds(baud == 0 ? 0 : kBitsPerByte * 1'000'000'000LL / baud);
    // The line's deadlines are absolute: each byte is due one byte time after
    // the one before it, so a wake-up that runs late delays that byte only and
    // never the rest of the transfer. The line starts afresh only from idle:
    // now, or for a reply ready before its request has crossed the wire, the
    // moment it has.
    Clock::time_point lineStart = Clock::now();
    if (baud != 0 && reply)
        lineStart = std::max(lineStart, rxWireEnd);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0 && delay.count() > 0) {
            if (!SleepUntil(Clock::now() + delay))
                return false;
            lineStart = Clock::now();
        }
        if (baud != 0) {
            // The byte arrives when its last bit has.
            if (i == 0 || delay.count() > 0)
                txWireFree = std::max(txWireFree, lineStart);
            txWireFree += byteTime;
            if (!SleepUntil(txWireFree))
                return false;
        }
        if (!WriteAll(&bytes[i], 1))
            return false;
    }
    return true;
}

void CBoxSimulator::Impl::Answer(const SimRequest& request) {
    std::vector<std::uint8_t> wire;
    bool restart = false;
    RequestHook hookCopy;
    {
        std::lock_guard lock(mutex);
        requests.push_back(request);
        if (requests.size() > kSimRequestHistory)
            requests.pop_front();
        ++requestCount;
        ++commandCounts[request.command];
        cv.notify_all();
        hookCopy = hook;

        SimOverride o;
        if (auto it = overrides.find(request.command); it != overrides.end()) {
            o = it->second;
            if (it->second.times > 0 && --it->second.times == 0)
                overrides.erase(it);
        }
        if (!faults.silent && !o.silent) {
            BoxAnswer answer = AnswerRequest(state, request);
            restart = answer.restart;
            // Restarting from before the reply goes out: whoever reads the
            // reply must find the box restarting, however the threads run.
            if (restart)
                restartUntil = Clock::now() + restartTime;
            std::vector<std::uint8_t> payload = std::move(answer.payload);
            if (o.rawPayload) {
                payload = *o.rawPayload;
            } else {
                if (o.resultWord)
                    WriteBigEndian16(payload.data(), *o.resultWord);
                if (o.replyData) {
                    payload.resize(kMinReplyPayload);
                    payload.insert(payload.end(), o.replyData->begin(), o.replyData->end());
                }
            }
            std::vector<std::uint8_t> frame = Frame(payload);
            if (faults.badChecksum || o.badChecksum)
                frame.back() ^= 0xFF;
            if (faults.truncateReply != 0 && faults.truncateReply < frame.size())
                frame.resize(faults.truncateReply);
            wire = faults.garbage;
            wire.insert(wire.end(), frame.begin(), frame.end());
        }
    }
    if (hookCopy)
        hookCopy(request);
    if (!wire.empty() && ownFrameDue) {
        // In the same write as the reply, the frame is in the tool's input
        // before the reply can be read, so the tool's next request discards
        // it (or its receive thread drains it): it can't pass for a reply.
        ownFrameDue = false;
        const std::vector<std::uint8_t> own = UnsolicitedFrame();
        wire.insert(wire.end(), own.begin(), own.end());
    }
    if (!wire.empty())
        WriteWire(wire, true);
    if (restart) {
        // The silence is counted from the end of the reply, as the box's is.
        std::lock_guard lock(mutex);
        restartUntil = Clock::now() + restartTime;
    }
}

void CBoxSimulator::Impl::EndRestart() {
    std::optional<SimRequest> waiting;
    {
        std::lock_guard lock(mutex);
        restartUntil.reset();
        state.version = state.versionAfterRestart;
        waiting.swap(waitingRequest);
    }
    if (waiting)
        Answer(*waiting);
}

void CBoxSimulator::Impl::OnRequest(std::span<const std::uint8_t> payload) {
    // Shorter than command code and sub-code: no request the box knows.
    if (payload.size() < kRequestHeaderSize)
        return;
    SimRequest request;
    request.command = ReadBigEndian16(&payload[0]);
    request.subCode = ReadBigEndian16(&payload[2]);
    request.data.assign(payload.begin() + kRequestHeaderSize, payload.end());
    {
        std::lock_guard lock(mutex);
        if (restartUntil) {
            if (answerAfterRestart)
                waitingRequest = std::move(request);
            return;
        }
    }
    Answer(request);
}

void CBoxSimulator::Impl::OnBytes(const std::uint8_t* bytes, std::size_t n) {
    lastRequestByte = Clock::now();
    unsigned baud = 0;
    {
        std::lock_guard lock(mutex);
        baud = faults.throttleBaud;
    }
    if (baud != 0) {
        const auto byteTime = std::chrono::nanoseconds(kBitsPerByte * 1'000'000'000LL / baud);
        rxWireEnd = std::max(rxWireEnd, Clock::now()) + byteTime * static_cast<long long>(n);
    }
    for (std::size_t i = 0; i < n; ++i) {
        const CFrameAssembler::Result r = assembler.Feed(bytes[i]);
        midFrame = r == CFrameAssembler::Result::NeedMore;
        // A bad checksum or an oversized frame gets no reply at all.
        if (r == CFrameAssembler::Result::Frame)
            OnRequest(assembler.Payload());
    }
}

std::vector<std::uint8_t> CBoxSimulator::Impl::UnsolicitedFrame() {
    const std::vector<std::uint8_t> payload = {
        static_cast<std::uint8_t>(RESULT_OK >> 8), static_cast<std::uint8_t>(RESULT_OK & 0xFF),
        kUnsolicitedMarker0, kUnsolicitedMarker1, unsolicitedCount++};
    return Frame(payload);
}

void CBoxSimulator::Impl::SendUnsolicited() {
    // Nobody reads the port: don't fill the tool's input queue.
    if (PendingSlaveInput(pty) > kUnsolicitedBacklogLimit)
        return;
    WriteWire(UnsolicitedFrame(), false);
}

void CBoxSimulator::Impl::Serve() {
    std::uint8_t buf[kReadChunk];
    nextUnsolicited = Clock::time_point::max();
    for (;;) {
        std::optional<Clock::time_point> deadline;
        bool unsolicitedOn = false;
        {
            std::lock_guard lock(mutex);
            if (stopping)
                return;
            deadline = restartUntil;
            unsolicitedOn = faults.unsolicitedInterval.count() > 0 && !restartUntil;
            if (!unsolicitedOn) {
                nextUnsolicited = Clock::time_point::max();
                ownFrameDue = false;
            } else {
                nextUnsolicited =
                    std::min(nextUnsolicited, Clock::now() + faults.unsolicitedInterval);
                // Never inside a request: its remaining bytes wake the loop.
                if (!midFrame && (!deadline || nextUnsolicited < *deadline)) {
                    deadline = nextUnsolicited;
                }
            }
        }
        int timeoutMs = -1;
        if (deadline) {
            const auto left =
                std::chrono::duration_cast<std::chrono::microseconds>(*deadline - Clock::now());
            // Round up, so the deadline has passed when poll returns.
            timeoutMs = left.count() <= 0 ? 0 : static_cast<int>((left.count() + 999) / 1000);
        }
        pollfd fds[2] = {{pty.master, POLLIN, 0}, {wake.Fd(), POLLIN, 0}};
        if (poll(fds, 2, timeoutMs) < 0 && errno != EINTR)
            return;
        if (fds[1].revents & POLLIN)
            wake.Clear();

        if (fds[0].revents & POLLIN) {
            const ssize_t n = read(pty.master, buf, sizeof buf);
            if (n > 0)
                OnBytes(buf, static_cast<std::size_t>(n));
        } else if (fds[0].revents & (POLLHUP | POLLERR)) {
            // Not expected while the simulator holds the slave side open.
            SleepUntil(Clock::now() + kHangupBackoff);
        }

        const Clock::time_point now = Clock::now();
        bool restartOver = false;
        {
            std::lock_guard lock(mutex);
            restartOver = restartUntil && *restartUntil <= now;
        }
        if (restartOver)
            EndRestart();

        if (unsolicitedOn && !midFrame && nextUnsolicited <= now) {
            if (now - lastRequestByte >= kQuietLine)
                SendUnsolicited();
            else
                ownFrameDue = true;
            milliseconds interval{0};
            {
                std::lock_guard lock(mutex);
                interval = faults.unsolicitedInterval;
            }
            nextUnsolicited = Clock::now() + interval;
        }
    }
}

void CBoxSimulator::Impl::StopThread() {
    if (!thread.joinable())
        return;
    {
        std::lock_guard lock(mutex);
        stopping = true;
        serving = false;
    }
    cv.notify_all();
    wake.Signal();
    thread.join();
}

void CBoxSimulator::Impl::RemoveLink() {
    std::string link, target;
    {
        std::lock_guard lock(mutex);
        link = linkPath;
        target = slavePath;
    }
    if (link.empty())
        return;
    // Only our own link: another simulator may have taken the name since.
    char buf[256];
    const ssize_t n = readlink(link.c_str(), buf, sizeof buf - 1);
    if (n > 0 && std::string(buf, static_cast<std::size_t>(n)) == target)
        unlink(link.c_str());
}

CBoxSimulator::CBoxSimulator() : m_impl(std::make_unique<Impl>()) {}

CBoxSimulator::~CBoxSimulator() {
    Stop();
}

bool CBoxSimulator::Start(const std::string& portDir, int comNumber) {
    Impl& d = *m_impl;
    std::lock_guard life(d.lifeMutex);
    if (d.thread.joinable())
        return false;
    if (d.wake.Fd() < 0)
        return false;
    // After an Unplug: the old slave side goes now.
    ClosePty(d.pty);
    d.wake.Clear();

    PtyPair pty;
    if (!OpenRawPty(pty))
        return false;
    const std::string link = portDir + "/COM" + std::to_string(comNumber);
    struct stat st {};
    // A stale link (or file) from an earlier run is replaced; a folder is not.
    if (lstat(link.c_str(), &st) == 0 && !S_ISDIR(st.st_mode))
        unlink(link.c_str());
    if (symlink(pty.slavePath.c_str(), link.c_str()) != 0) {
        ClosePty(pty);
        return false;
    }
    d.pty = std::move(pty);
    d.assembler.Reset();
    d.midFrame = false;
    {
        std::lock_guard lock(d.mutex);
        d.linkPath = link;
        d.slavePath = d.pty.slavePath;
        d.stopping = false;
        d.serving = true;
    }
    d.thread = std::thread([&d] { d.Serve(); });
    return true;
}

void CBoxSimulator::Stop() {
    Impl& d = *m_impl;
    std::lock_guard life(d.lifeMutex);
    d.StopThread();
    d.RemoveLink();
    ClosePty(d.pty);
}

void CBoxSimulator::Unplug() {
    Impl& d = *m_impl;
    std::lock_guard life(d.lifeMutex);
    d.StopThread();
    // Closing the master hangs the line up for the tool. The slave descriptor
    // stays open, which keeps the pts number taken while the link still names
    // it: no other pseudo-terminal can appear behind the link.
    if (d.pty.master >= 0)
        close(d.pty.master);
    d.pty.master = -1;
}

std::string CBoxSimulator::LinkPath() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->linkPath;
}

std::string CBoxSimulator::SlavePath() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->slavePath;
}

bool CBoxSimulator::IsServing() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->serving;
}

void CBoxSimulator::SetVersion(const std::string& text) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->state.version = text;
}

std::string CBoxSimulator::Version() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->state.version;
}

void CBoxSimulator::SetSerial(const std::vector<std::uint8_t>& bytes) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->state.serial = bytes;
}

std::vector<std::uint8_t> CBoxSimulator::ConfigBlock(int block) const {
    std::lock_guard lock(m_impl->mutex);
    if (block < 1 || block > kConfigBlockCount)
        return {};
    return m_impl->state.blocks[block - 1];
}

void CBoxSimulator::SetConfigBlock(int block, const std::vector<std::uint8_t>& bytes) {
    std::lock_guard lock(m_impl->mutex);
    if (block < 1 || block > kConfigBlockCount)
        return;
    m_impl->state.blocks[block - 1] = bytes;
}

void CBoxSimulator::SetFactoryDefaults(int block, const std::vector<std::uint8_t>& bytes) {
    std::lock_guard lock(m_impl->mutex);
    if (block < 1 || block > kConfigBlockCount)
        return;
    m_impl->state.factoryDefaults[block - 1] = bytes;
}

std::vector<std::uint8_t> CBoxSimulator::UpgradeHeader() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->state.upgradeHeader;
}

std::vector<std::uint8_t> CBoxSimulator::UpgradeData() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->state.upgradeData;
}

int CBoxSimulator::CommitCount() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->state.commitCount;
}

void CBoxSimulator::SetRestartTime(std::chrono::milliseconds t) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->restartTime = t;
}

void CBoxSimulator::SetAnswerAfterRestart(bool answer) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->answerAfterRestart = answer;
}

bool CBoxSimulator::IsRestarting() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->restartUntil.has_value();
}

SimLoadSlot CBoxSimulator::Slot(int index) const {
    std::lock_guard lock(m_impl->mutex);
    if (index < 0 || index >= kSimSlotCount)
        return {};
    return m_impl->state.slots[index];
}

std::optional<std::uint32_t> CBoxSimulator::LastJumpAddress() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->state.lastJumpAddress;
}

void CBoxSimulator::SetOverride(std::uint16_t command, const SimOverride& o) {
    std::lock_guard lock(m_impl->mutex);
    if (o.times == 0) {
        m_impl->overrides.erase(command);
    } else {
        m_impl->overrides[command] = o;
    }
}

void CBoxSimulator::ClearOverrides() {
    std::lock_guard lock(m_impl->mutex);
    m_impl->overrides.clear();
}

void CBoxSimulator::SetStoreFault(const std::optional<SimStoreFault>& fault) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->state.storeFault = fault;
}

void CBoxSimulator::SetFaults(const SimFaults& faults) {
    {
        std::lock_guard lock(m_impl->mutex);
        m_impl->faults = faults;
    }
    // The serving thread recomputes its wait (the unsolicited interval).
    m_impl->wake.Signal();
}

std::vector<SimRequest> CBoxSimulator::Requests() const {
    std::lock_guard lock(m_impl->mutex);
    return {m_impl->requests.begin(), m_impl->requests.end()};
}

std::uint64_t CBoxSimulator::RequestCount() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->requestCount;
}

std::uint64_t CBoxSimulator::RequestCount(std::uint16_t command) const {
    std::lock_guard lock(m_impl->mutex);
    const auto it = m_impl->commandCounts.find(command);
    return it == m_impl->commandCounts.end() ? 0 : it->second;
}

void CBoxSimulator::ClearRequests() {
    std::lock_guard lock(m_impl->mutex);
    m_impl->requests.clear();
    m_impl->requestCount = 0;
    m_impl->commandCounts.clear();
}

bool CBoxSimulator::WaitForRequestCount(std::size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_impl->mutex);
    return m_impl->cv.wait_for(lock, timeout, [&] { return m_impl->requestCount >= n; });
}

void CBoxSimulator::SetRequestHook(RequestHook hook) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->hook = std::move(hook);
}
