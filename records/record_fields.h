#pragma once
// The table of a UnitRecord's fields that record_columns.cpp and
// record_json.cpp walk. Internal to records/.

#include "records/unit_record.h"

enum class RecordFieldKind { Text, Flag, Number, Result, Steps, Frames };

struct RecordField {
    const char* name;
    RecordFieldKind kind;
    std::string UnitRecord::*text = nullptr;     // Text
    bool UnitRecord::*flag = nullptr;            // Flag
    std::int64_t UnitRecord::*number = nullptr;  // Number
};

inline constexpr RecordField kRecordFields[] = {
    {"id", RecordFieldKind::Text, &UnitRecord::id},
    {"start_time", RecordFieldKind::Text, &UnitRecord::startTime},
    {"end_time", RecordFieldKind::Text, &UnitRecord::endTime},
    {"station", RecordFieldKind::Text, &UnitRecord::station},
    {"operator_name", RecordFieldKind::Text, &UnitRecord::operatorName},
    {"slot", RecordFieldKind::Text, &UnitRecord::slot},
    {"recipe_name", RecordFieldKind::Text, &UnitRecord::recipeName},
    {"variant", RecordFieldKind::Text, &UnitRecord::variant},
    {"recipe_sha256", RecordFieldKind::Text, &UnitRecord::recipeSha256},
    {"serial", RecordFieldKind::Text, &UnitRecord::serial},
    {"version_before", RecordFieldKind::Text, &UnitRecord::versionBefore},
    {"version_after", RecordFieldKind::Text, &UnitRecord::versionAfter},
    {"package_sha256", RecordFieldKind::Text, &UnitRecord::packageSha256},
    {"settings_before", RecordFieldKind::Text, &UnitRecord::settingsBefore},
    {"settings_after", RecordFieldKind::Text, &UnitRecord::settingsAfter},
    {"settings_after_sha256", RecordFieldKind::Text, &UnitRecord::settingsAfterSha256},
    {"result", RecordFieldKind::Result},
    {"retry", RecordFieldKind::Flag, nullptr, &UnitRecord::retry},
    {"rework", RecordFieldKind::Flag, nullptr, &UnitRecord::rework},
    {"failed_step", RecordFieldKind::Text, &UnitRecord::failedStep},
    {"reason_code", RecordFieldKind::Text, &UnitRecord::reasonCode},
    {"reason_text", RecordFieldKind::Text, &UnitRecord::reasonText},
    {"steps", RecordFieldKind::Steps},
    {"port_device", RecordFieldKind::Text, &UnitRecord::portDevice},
    {"port_by_path", RecordFieldKind::Text, &UnitRecord::portByPath},
    {"adapter_serial", RecordFieldKind::Text, &UnitRecord::adapterSerial},
    {"tool_version", RecordFieldKind::Text, &UnitRecord::toolVersion},
    {"frame_trace", RecordFieldKind::Frames},
    {"bundle_id", RecordFieldKind::Text, &UnitRecord::bundleId},
    {"release_number", RecordFieldKind::Number, nullptr, nullptr, &UnitRecord::releaseNumber},
    {"signer_key_id", RecordFieldKind::Text, &UnitRecord::signerKeyId},
    {"rollback", RecordFieldKind::Flag, nullptr, &UnitRecord::rollback},
};
