#pragma once
// CSerialRegistry: the box serials the slots of one group hold right now, so
// that the second slot to identify a serial another slot holds (two boxes
// mixed up at the fixture) fails instead of running it too.
//
// A slot claims its box's serial when it identifies it and lets go once the
// box is removed or the slot stops. Threads: any; one short lock per call,
// never held across an exchange with a box.

#include <map>
#include <mutex>
#include <string>

class CSerialRegistry {
public:
    // Claims `serial` for `slot`. False when another slot holds it; `holder`
    // is then that slot's name.
    bool Claim(const std::string& serial, const std::string& slot, std::string& holder);
    // Lets go of whatever `slot` holds.
    void Release(const std::string& slot);

private:
    std::mutex m_mutex;
    std::map<std::string, std::string> m_holders;  // serial -> slot
};
