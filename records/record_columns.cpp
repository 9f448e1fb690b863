#include "records/record_columns.h"

#include <charconv>

#include "records/record_fields.h"
#include "records/record_json.h"

namespace {

// A whole number as a store gives it back; empty (a column some store left
// unset) reads as 0.
bool ReadNumber(const std::string& text, std::int64_t& number) {
    number = 0;
    if (text.empty())
        return true;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
    return ec == std::errc() && end == text.data() + text.size();
}

}  // namespace

std::vector<std::string> RecordColumnNames() {
    std::vector<std::string> names;
    for (const RecordField& field : kRecordFields) {
        names.emplace_back(field.name);
    }
    return names;
}

std::string RecordColumnList() {
    std::string list;
    for (const RecordField& field : kRecordFields) {
        if (!list.empty())
            list += ", ";
        list += field.name;
    }
    return list;
}

std::vector<std::string> RecordColumnValues(const UnitRecord& record) {
    std::vector<std::string> values;
    values.reserve(std::size(kRecordFields));
    for (const RecordField& field : kRecordFields) {
        switch (field.kind) {
            case RecordFieldKind::Text:
                values.push_back(record.*field.text);
                break;
            case RecordFieldKind::Flag:
                values.emplace_back(record.*field.flag ? "1" : "0");
                break;
            case RecordFieldKind::Number:
                values.push_back(std::to_string(record.*field.number));
                break;
            case RecordFieldKind::Result:
                values.emplace_back(UnitResultName(record.result));
                break;
            case RecordFieldKind::Steps:
                values.push_back(StepsJsonText(record.steps));
                break;
            case RecordFieldKind::Frames:
                values.push_back(FramesJsonText(record.frameTrace));
                break;
        }
    }
    return values;
}

bool RecordFromColumnValues(std::span<const std::string> values, UnitRecord& record,
                            std::string& error) {
    if (values.size() != std::size(kRecordFields)) {
        error = "wrong number of columns";
        return false;
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        const RecordField& field = kRecordFields[i];
        const std::string& value = values[i];
        bool ok = true;
        switch (field.kind) {
            case RecordFieldKind::Text:
                record.*field.text = value;
                break;
            case RecordFieldKind::Flag:
                record.*field.flag = value != "0" && !value.empty();
                break;
            case RecordFieldKind::Number:
                ok = ReadNumber(value, record.*field.number);
                break;
            case RecordFieldKind::Result:
                ok = UnitResultFromName(value, record.result);
                break;
            case RecordFieldKind::Steps:
                ok = StepsFromJsonText(value, record.steps);
                break;
            case RecordFieldKind::Frames:
                ok = FramesFromJsonText(value, record.frameTrace);
                break;
        }
        if (!ok) {
            error = std::string("unreadable ") + field.name + " '" + value + "'";
            return false;
        }
    }
    return true;
}
