#include "station/engine/flight_recorder.h"

#include <algorithm>

#include "base/bytes_text.h"

void CFlightRecorder::Record(bool outgoing, const std::uint8_t* bytes, std::size_t n) {
    std::lock_guard lock(m_mutex);
    Frame& frame = m_frames[m_next];
    frame.outgoing = outgoing;
    frame.bytes.assign(bytes, bytes + std::min(n, kMaxFrameBytes));
    m_next = (m_next + 1) % kFrames;
    m_count = std::min(m_count + 1, kFrames);
}

std::vector<std::string> CFlightRecorder::Snapshot() const {
    std::lock_guard lock(m_mutex);
    std::vector<std::string> lines;
    lines.reserve(m_count);
    const std::size_t first = (m_next + kFrames - m_count) % kFrames;
    for (std::size_t i = 0; i < m_count; ++i) {
        const Frame& frame = m_frames[(first + i) % kFrames];
        lines.push_back((frame.outgoing ? "tx " : "rx ") +
                        BytesToHex(frame.bytes.data(), frame.bytes.size()));
    }
    return lines;
}

void CFlightRecorder::Clear() {
    std::lock_guard lock(m_mutex);
    m_next = 0;
    m_count = 0;
}
