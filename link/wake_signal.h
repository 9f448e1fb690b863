#pragma once
// CWakeSignal: a wake-up that a thread blocked in poll() on Fd() notices at
// once: CSerialPort::WaitReadable, a port read given the signal, the box
// simulator's serving loop. Signal() may be called from any thread; signals do
// not count: one Clear() takes back all of them.
class CWakeSignal {
public:
    CWakeSignal();
    ~CWakeSignal();
    CWakeSignal(const CWakeSignal&) = delete;
    CWakeSignal& operator=(const CWakeSignal&) = delete;

    void Signal();
    void Clear();
    // Waits until signalled or until timeoutMs has passed (-1: no limit);
    // true when signalled. The signal stays set.
    bool Wait(int timeoutMs) const;
    bool IsSignalled() const { return Wait(0); }
    int Fd() const { return m_readFd; }

private:
    int m_readFd = -1;
    int m_writeFd = -1;
};
