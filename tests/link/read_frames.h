#pragma once
// The frames a CDeviceLink read off the line, as its trace hook reports them:
// replies to transactions and, while none runs, the frames its receive thread
// drains. Installs the hook for its lifetime; declare it after the link.

#include <cstdint>
#include <mutex>
#include <vector>

#include "link/device_link.h"

class CReadFrames {
public:
    using Bytes = std::vector<std::uint8_t>;

    explicit CReadFrames(CDeviceLink& link) : m_link(link) {
        m_link.SetTraceHook([this](bool outgoing, const std::uint8_t* bytes, std::size_t n) {
            if (outgoing)
                return;
            std::lock_guard lock(m_mutex);
            m_frames.emplace_back(bytes, bytes + n);
        });
    }
    ~CReadFrames() { m_link.SetTraceHook({}); }
    CReadFrames(const CReadFrames&) = delete;
    CReadFrames& operator=(const CReadFrames&) = delete;

    std::size_t Count() const {
        std::lock_guard lock(m_mutex);
        return m_frames.size();
    }
    std::vector<Bytes> Frames() const {
        std::lock_guard lock(m_mutex);
        return m_frames;
    }

private:
    CDeviceLink& m_link;
    mutable std::mutex m_mutex;
    std::vector<Bytes> m_frames;
};
