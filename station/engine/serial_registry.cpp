#include "station/engine/serial_registry.h"

bool CSerialRegistry::Claim(const std::string& serial, const std::string& slot,
                            std::string& holder) {
    std::lock_guard lock(m_mutex);
    const auto [it, added] = m_holders.try_emplace(serial, slot);
    if (added || it->second == slot)
        return true;
    holder = it->second;
    return false;
}

void CSerialRegistry::Release(const std::string& slot) {
    std::lock_guard lock(m_mutex);
    std::erase_if(m_holders, [&](const auto& entry) { return entry.second == slot; });
}
