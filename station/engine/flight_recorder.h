#pragma once
// CFlightRecorder: the link's last frames, kept always so that a failed
// unit's record can show what went over the line just before it failed.
//
// A ring of kFrames slots whose byte buffers are reused: recording a frame
// copies its bytes and moves an index, with no allocation once every slot has
// held a frame of that size; hex text is made only when a snapshot is taken.
// Threads: Record is called from the link's trace hook (the thread of a
// transaction or the receive thread); Snapshot and Clear from the unit's
// thread. One mutex guards the ring; it is held only to copy bytes.

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

class CFlightRecorder {
public:
    static constexpr std::size_t kFrames = 64;
    // A frame is at most a 256-byte packet and its heads; longer writes are
    // cut here, which still shows what they were.
    static constexpr std::size_t kMaxFrameBytes = 300;

    void Record(bool outgoing, const std::uint8_t* bytes, std::size_t n);
    // "tx AA55..." / "rx 55AA...", oldest first.
    std::vector<std::string> Snapshot() const;
    void Clear();

private:
    struct Frame {
        bool outgoing = false;
        std::vector<std::uint8_t> bytes;
    };
    mutable std::mutex m_mutex;
    std::array<Frame, kFrames> m_frames;
    std::size_t m_next = 0;   // slot the next frame goes into
    std::size_t m_count = 0;  // slots in use, up to kFrames
};
