#include "station/board/station_board.h"

#include <algorithm>

#include "layouts/option_words.h"

std::optional<double> ShiftCounters::FirstPassYield() const {
    if (firstRuns == 0)
        return std::nullopt;
    return static_cast<double>(firstRunPasses) / firstRuns;
}

std::optional<double> ShiftCounters::MeanCycleSeconds() const {
    const int units = passed + failed;
    if (units == 0)
        return std::nullopt;
    return cycleSecondsTotal / units;
}

KeptStationEvent KeepStationEvent(const StationEvent& event) {
    KeptStationEvent kept{event, std::nullopt};
    if (event.record != nullptr)
        kept.record = *event.record;
    kept.event.record = nullptr;
    return kept;
}

bool IsRefusal(const KeptStationEvent& kept) {
    return kept.event.kind == StationEventKind::UnitEnd && kept.record && !kept.event.stored &&
           kept.record->reasonCode == kReasonAlreadyPassed;
}

CStationBoard::CStationBoard(const std::vector<std::string>& slots) {
    for (const std::string& slot : slots) {
        StationTile tile;
        tile.slot = slot;
        m_tiles.push_back(tile);
    }
}

int CStationBoard::Apply(const KeptStationEvent& kept, long long nowMs) {
    const StationEvent& e = kept.event;
    const bool refusal = IsRefusal(kept);
    if (refusal) {
        ++m_counters.refused;
    } else if (e.kind == StationEventKind::UnitEnd && kept.record) {
        CountUnit(*kept.record);
        AddLatest(*kept.record);
    }
    const auto it = std::find_if(m_tiles.begin(), m_tiles.end(),
                                 [&](const StationTile& t) { return t.slot == e.slot; });
    if (it == m_tiles.end())
        return -1;
    StationTile& tile = *it;
    switch (e.kind) {
        case StationEventKind::UnitStart: {
            StationTile fresh;
            fresh.slot = tile.slot;
            fresh.state = TileState::Running;
            fresh.unitStartMs = nowMs;
            tile = fresh;
            break;
        }
        case StationEventKind::StepStart:
            tile.state = TileState::Running;
            tile.step = e.step;
            tile.progressValue = 0;
            tile.progressTotal = 0;
            tile.busy = false;
            break;
        case StationEventKind::StepEnd:
            if (!e.serial.empty())
                tile.serial = e.serial;
            break;
        case StationEventKind::Progress:
            tile.busy = e.total < 0;
            tile.progressValue = tile.busy ? 0 : e.value;
            tile.progressTotal = tile.busy ? 0 : e.total;
            break;
        case StationEventKind::UnitEnd:
            tile.unitEndMs = nowMs;
            tile.progressValue = 0;
            tile.progressTotal = 0;
            tile.busy = false;
            if (kept.record) {
                const UnitRecord& r = *kept.record;
                tile.serial = r.serial;
                tile.state = refusal                        ? TileState::Refused
                             : r.result == UnitResult::Pass ? TileState::Passed
                                                            : TileState::Failed;
                tile.aborted = r.result == UnitResult::Aborted;
                tile.failedStep = r.failedStep;
                tile.reasonCode = r.reasonCode;
                // Option keys are for the record's detail; the tile names captions.
                tile.reasonText = WithoutOptionKeys(r.reasonText);
            }
            break;
        case StationEventKind::Removed:
            tile.removed = true;
            break;
        case StationEventKind::Waiting:
            // A result stays in view until the next unit starts; only a tile
            // caught mid-unit (the station stopped) goes back to waiting.
            if (tile.state == TileState::Running) {
                tile.state = TileState::Waiting;
                tile.unitStartMs = -1;
            }
            break;
        case StationEventKind::Notice:
            return -1;
    }
    return static_cast<int>(it - m_tiles.begin());
}

void CStationBoard::SetLatest(const std::vector<UnitRecord>& newestFirst) {
    for (const UnitRecord& record : newestFirst) {
        if (m_latest.size() >= kBoardRecords)
            break;
        const auto same = [&](const UnitRecord& r) { return r.id == record.id; };
        if (std::none_of(m_latest.begin(), m_latest.end(), same))
            m_latest.push_back(record);
    }
}

void CStationBoard::AddLatest(const UnitRecord& record) {
    // A record may already be there when the list was read from the store
    // after the unit committed it.
    const auto same = [&](const UnitRecord& r) { return r.id == record.id; };
    if (std::any_of(m_latest.begin(), m_latest.end(), same))
        return;
    m_latest.push_front(record);
    if (m_latest.size() > kBoardRecords)
        m_latest.pop_back();
}

void CStationBoard::CountUnit(const UnitRecord& record) {
    const bool passed = record.result == UnitResult::Pass;
    ++(passed ? m_counters.passed : m_counters.failed);
    if (!record.retry && !record.rework) {
        ++m_counters.firstRuns;
        m_counters.firstRunPasses += passed ? 1 : 0;
    }
    m_counters.cycleSecondsTotal += UnitSeconds(record);
}

long long CStationBoard::ElapsedMs(std::size_t tile, long long nowMs) const {
    if (tile >= m_tiles.size())
        return -1;
    const StationTile& t = m_tiles[tile];
    if (t.unitStartMs < 0)
        return -1;
    return (t.unitEndMs >= 0 ? t.unitEndMs : nowMs) - t.unitStartMs;
}

bool CStationBoard::AnyRunning() const {
    return std::any_of(m_tiles.begin(), m_tiles.end(),
                       [](const StationTile& t) { return t.state == TileState::Running; });
}
