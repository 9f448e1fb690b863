#include "station/board/event_json.h"

#include "records/record_json.h"

namespace {

const char* KindName(StationEventKind kind) {
    switch (kind) {
        case StationEventKind::Waiting:
            return "waiting";
        case StationEventKind::UnitStart:
            return "unit_start";
        case StationEventKind::StepStart:
            return "step_start";
        case StationEventKind::StepEnd:
            return "step_end";
        case StationEventKind::Progress:
            return "progress";
        case StationEventKind::UnitEnd:
            return "unit_end";
        case StationEventKind::Removed:
            return "removed";
        case StationEventKind::Notice:
            return "notice";
    }
    return "notice";
}

}  // namespace

nlohmann::json StationEventToJson(const StationEvent& e, const std::string& time) {
    nlohmann::json j = {{"schema", kStationEventSchema},
                        {"event", KindName(e.kind)},
                        {"time", time},
                        {"slot", e.slot}};
    if (!e.unitId.empty())
        j["unit"] = e.unitId;
    switch (e.kind) {
        case StationEventKind::Waiting:
        case StationEventKind::UnitStart:
            j["port"] = e.text;
            break;
        case StationEventKind::StepStart:
            j["step"] = e.step;
            break;
        case StationEventKind::StepEnd:
            j["step"] = e.step;
            j["ok"] = e.ok;
            j["duration_ms"] = e.durationMs;
            j["status"] = e.text;
            break;
        case StationEventKind::Progress:
            j["step"] = e.step;
            j["value"] = e.value;
            j["total"] = e.total;
            break;
        case StationEventKind::UnitEnd:
            j["stored"] = e.stored;
            if (e.record != nullptr) {
                j["line"] = ResultLine(*e.record);
                j["record"] = RecordToJson(*e.record);
            }
            break;
        case StationEventKind::Removed:
            break;
        case StationEventKind::Notice:
            j["text"] = e.text;
            break;
    }
    return j;
}
