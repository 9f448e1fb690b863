#pragma once
// vornak-cli's stderr, shared by the tool's messages and the link's
// diagnostic ("ABC" for a reply with a bad checksum, written without a line
// end). Both write to the same stream through two FILEs of this object: when
// the link's last write left a line open, the tool's next message starts on
// a line of its own, so "ABCvornak-cli: ..." never happens.
//
// Threads: the link writes from whichever thread runs a transaction, the
// tool from its own; each write goes straight to the stream (no buffering),
// and the open-line flag is atomic.

#include <atomic>
#include <cstdio>

class CCliStderr {
public:
    explicit CCliStderr(std::FILE* target);
    ~CCliStderr();
    CCliStderr(const CCliStderr&) = delete;
    CCliStderr& operator=(const CCliStderr&) = delete;

    // For the tool's own messages.
    std::FILE* Messages() const { return m_messages; }
    // For CDeviceLink::SetDiagnosticStream.
    std::FILE* Diagnostics() const { return m_diagnostics; }

private:
    std::FILE* m_target;
    std::FILE* m_messages = nullptr;
    std::FILE* m_diagnostics = nullptr;
    std::atomic<bool> m_lineOpen{false};
};
