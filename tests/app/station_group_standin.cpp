// TEMPORARY: stands in for station/station_group.cpp until it lands on main.
#include <atomic>
#include <thread>

#include "station/station_group.h"

struct CStationGroup::Impl {
    std::vector<StationSlot> slots;
    std::vector<std::unique_ptr<CStation>> stations;
    std::vector<std::thread> threads;
};

CStationGroup::CStationGroup(const Recipe& recipe, IRecordStore& store, IStationObserver& observer,
                             const StationOptions& options, std::vector<StationSlot> slots)
    : m_impl(std::make_unique<Impl>()) {
    m_impl->slots = std::move(slots);
    for (const StationSlot& s : m_impl->slots) {
        StationOptions o = options;
        o.slot = s.name;
        std::string p = s.port;
        if (p.rfind("COM", 0) == 0)
            p = p.substr(3);
        if (!p.empty())
            o.port = std::stoi(p);
        m_impl->stations.push_back(std::make_unique<CStation>(recipe, store, observer, o));
    }
}
CStationGroup::~CStationGroup() {
    Stop();
    Stop();
    Wait();
}
bool CStationGroup::Start(std::string&) {
    for (auto& s : m_impl->stations)
        m_impl->threads.emplace_back([st = s.get()] { st->Run(); });
    return true;
}
CStation::StopEffect CStationGroup::Stop() {
    CStation::StopEffect e = CStation::StopEffect::EndsNow;
    for (auto& s : m_impl->stations) {
        auto x = s->RequestStop();
        if (static_cast<int>(x) > static_cast<int>(e))
            e = x;
    }
    return e;
}
void CStationGroup::Wait() {
    for (auto& t : m_impl->threads)
        if (t.joinable())
            t.join();
}
bool CStationGroup::AnyUnitRunning() const {
    return false;
}
const std::vector<StationSlot>& CStationGroup::Slots() const {
    return m_impl->slots;
}

#include <fstream>
bool LoadSlotsFile(const std::string& path, std::vector<StationSlot>& out, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = path + ": cannot read";
        return false;
    }
    std::string line;
    const auto value = [](const std::string& l) {
        const auto a = l.find('"');
        return l.substr(a + 1, l.rfind('"') - a - 1);
    };
    while (std::getline(in, line)) {
        if (line.rfind("[[slot]]", 0) == 0)
            out.push_back({});
        else if (line.rfind("name", 0) == 0)
            out.back().name = value(line);
        else if (line.rfind("port", 0) == 0)
            out.back().port = value(line);
    }
    return true;
}
