#include "station/engine/station_group.h"

#include <algorithm>
#include <thread>

#include "station/engine/serial_registry.h"

struct CStationGroup::Impl {
    const Recipe& recipe;
    IRecordStore& store;
    IStationObserver& observer;
    StationOptions options;
    std::vector<StationSlot> slots;

    CSerialRegistry serials;
    std::map<std::string, std::string> boxesLeft;
    // Made by Start; read-only afterwards, so any thread may walk them.
    std::vector<std::unique_ptr<CStation>> stations;
    std::vector<std::thread> threads;
    // Each slot's Run() result, written by its thread before it ends.
    std::vector<std::optional<UnitResult>> results;
};

CStationGroup::CStationGroup(const Recipe& recipe, IRecordStore& store, IStationObserver& observer,
                             const StationOptions& options, std::vector<StationSlot> slots)
    : m_impl(new Impl{recipe, store, observer, options, std::move(slots), {}, {}, {}, {}, {}}) {}

CStationGroup::~CStationGroup() {
    // Every unit ends at its next request: the group goes with its owner.
    Stop();
    Stop();
    Wait();
}

void CStationGroup::SetBoxesLeft(std::map<std::string, std::string> serialBySlot) {
    m_impl->boxesLeft = std::move(serialBySlot);
}

bool CStationGroup::Start(std::string& error) {
    if (!m_impl->stations.empty()) {
        error = "already started";
        return false;
    }
    if (!CheckSlots(m_impl->slots, error))
        return false;
    for (const StationSlot& slot : m_impl->slots) {
        StationOptions options = m_impl->options;
        options.slot = slot.name;
        // CheckSlots took every port text.
        std::string ignored;
        SlotPortChoice(slot, m_impl->slots.size(), options.port, ignored);
        options.serials = &m_impl->serials;
        if (const auto left = m_impl->boxesLeft.find(slot.name); left != m_impl->boxesLeft.end())
            options.leftSerial = left->second;
        m_impl->stations.push_back(
            std::make_unique<CStation>(m_impl->recipe, m_impl->store, m_impl->observer, options));
    }
    m_impl->results.resize(m_impl->stations.size());
    for (std::size_t i = 0; i < m_impl->stations.size(); ++i) {
        m_impl->threads.emplace_back(
            [this, i] { m_impl->results[i] = m_impl->stations[i]->Run(); });
    }
    return true;
}

CStation::StopEffect CStationGroup::Stop() {
    CStation::StopEffect strongest = CStation::StopEffect::EndsNow;
    for (const auto& station : m_impl->stations)
        strongest = std::max(strongest, station->RequestStop());
    return strongest;
}

void CStationGroup::Wait() {
    for (std::thread& thread : m_impl->threads) {
        if (thread.joinable())
            thread.join();
    }
}

void CStationGroup::RequestRework(std::size_t slot, const std::string& serial) {
    if (slot < m_impl->stations.size())
        m_impl->stations[slot]->RequestRework(serial);
}

bool CStationGroup::AnyUnitRunning() const {
    for (const auto& station : m_impl->stations) {
        if (station->InUnit())
            return true;
    }
    return false;
}

std::vector<std::optional<UnitResult>> CStationGroup::Results() const {
    return m_impl->results;
}

const std::vector<StationSlot>& CStationGroup::Slots() const {
    return m_impl->slots;
}
