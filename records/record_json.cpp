#include "records/record_json.h"

#include "records/record_fields.h"

namespace {

nlohmann::json StepsToJson(const std::vector<StepRecord>& steps) {
    nlohmann::json array = nlohmann::json::array();
    for (const StepRecord& step : steps) {
        nlohmann::json item = {{"name", step.name},
                               {"ok", step.ok},
                               {"duration_ms", step.durationMs},
                               {"status_texts", step.statusTexts}};
        if (!step.resultWords.empty())
            item["result_words"] = step.resultWords;
        if (!step.blocksWritten.empty())
            item["blocks_written"] = step.blocksWritten;
        if (!step.blocksRead.empty())
            item["blocks_read"] = step.blocksRead;
        array.push_back(std::move(item));
    }
    return array;
}

}  // namespace

std::string JsonText(const nlohmann::json& json, int indent) {
    return json.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace);
}

nlohmann::json RecordToJson(const UnitRecord& record) {
    nlohmann::json json = nlohmann::json::object();
    for (const RecordField& field : kRecordFields) {
        switch (field.kind) {
            case RecordFieldKind::Text:
                json[field.name] = record.*field.text;
                break;
            case RecordFieldKind::Flag:
                json[field.name] = record.*field.flag;
                break;
            case RecordFieldKind::Number:
                json[field.name] = record.*field.number;
                break;
            case RecordFieldKind::Result:
                json[field.name] = UnitResultName(record.result);
                break;
            case RecordFieldKind::Steps:
                json[field.name] = StepsToJson(record.steps);
                break;
            case RecordFieldKind::Frames:
                json[field.name] = record.frameTrace;
                break;
        }
    }
    return json;
}

std::string RecordJsonText(const UnitRecord& record) {
    return JsonText(RecordToJson(record));
}

std::string StepsJsonText(const std::vector<StepRecord>& steps) {
    return JsonText(StepsToJson(steps));
}

bool StepsFromJsonText(const std::string& text, std::vector<StepRecord>& steps) {
    const nlohmann::json json = nlohmann::json::parse(text, nullptr, false);
    if (!json.is_array())
        return false;
    std::vector<StepRecord> parsed;
    for (const nlohmann::json& item : json) {
        if (!item.is_object())
            return false;
        StepRecord step;
        try {
            step.name = item.value("name", std::string());
            step.ok = item.value("ok", false);
            step.durationMs = item.value("duration_ms", std::uint32_t{0});
            step.statusTexts = item.value("status_texts", std::vector<std::string>());
            step.resultWords = item.value("result_words", std::string());
            step.blocksWritten = item.value("blocks_written", std::string());
            step.blocksRead = item.value("blocks_read", std::string());
        } catch (const nlohmann::json::exception&) {
            return false;
        }
        parsed.push_back(std::move(step));
    }
    steps = std::move(parsed);
    return true;
}

std::string FramesJsonText(const std::vector<std::string>& frames) {
    return JsonText(nlohmann::json(frames));
}

bool FramesFromJsonText(const std::string& text, std::vector<std::string>& frames) {
    const nlohmann::json json = nlohmann::json::parse(text, nullptr, false);
    if (!json.is_array())
        return false;
    try {
        frames = json.get<std::vector<std::string>>();
    } catch (const nlohmann::json::exception&) {
        return false;
    }
    return true;
}
