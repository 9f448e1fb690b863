#include "station/event_json.h"

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

// As records store the result ("pass", "fail", "aborted").
const char* ResultName(UnitResult result) {
    switch (result) {
        case UnitResult::Pass:
            return "pass";
        case UnitResult::Fail:
            return "fail";
        case UnitResult::Aborted:
            return "aborted";
    }
    return "fail";
}

}  // namespace

nlohmann::json UnitRecordToJson(const UnitRecord& r) {
    nlohmann::json steps = nlohmann::json::array();
    for (const StepRecord& s : r.steps) {
        steps.push_back({{"name", s.name},
                         {"ok", s.ok},
                         {"duration_ms", s.durationMs},
                         {"status_texts", s.statusTexts}});
    }
    return {
        {"id", r.id},
        {"start_time", r.startTime},
        {"end_time", r.endTime},
        {"station", r.station},
        {"operator_name", r.operatorName},
        {"slot", r.slot},
        {"recipe_name", r.recipeName},
        {"variant", r.variant},
        {"recipe_sha256", r.recipeSha256},
        {"serial", r.serial},
        {"version_before", r.versionBefore},
        {"version_after", r.versionAfter},
        {"package_sha256", r.packageSha256},
        {"settings_before", r.settingsBefore},
        {"settings_after", r.settingsAfter},
        {"settings_after_sha256", r.settingsAfterSha256},
        {"result", ResultName(r.result)},
        {"retry", r.retry},
        {"rework", r.rework},
        {"failed_step", r.failedStep},
        {"reason_code", r.reasonCode},
        {"reason_text", r.reasonText},
        {"steps", steps},
        {"port_device", r.portDevice},
        {"port_by_path", r.portByPath},
        {"adapter_serial", r.adapterSerial},
        {"tool_version", r.toolVersion},
        {"frame_trace", r.frameTrace},
    };
}

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
                j["record"] = UnitRecordToJson(*e.record);
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
