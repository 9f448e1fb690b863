#include "records/record_schema.h"

namespace {

// The columns of version 1, after the backend's own `seq` column (insertion
// order, which breaks ties between equal start times).
constexpr char kRecordColumnsV1[] = R"(
    id TEXT NOT NULL UNIQUE,
    start_time TEXT NOT NULL,
    end_time TEXT NOT NULL DEFAULT '',
    station TEXT NOT NULL DEFAULT '',
    operator_name TEXT NOT NULL DEFAULT '',
    slot TEXT NOT NULL DEFAULT '',
    recipe_name TEXT NOT NULL DEFAULT '',
    variant TEXT NOT NULL DEFAULT '',
    recipe_sha256 TEXT NOT NULL DEFAULT '',
    serial TEXT NOT NULL,
    version_before TEXT NOT NULL DEFAULT '',
    version_after TEXT NOT NULL DEFAULT '',
    package_sha256 TEXT NOT NULL DEFAULT '',
    settings_before TEXT NOT NULL DEFAULT '',
    settings_after TEXT NOT NULL DEFAULT '',
    settings_after_sha256 TEXT NOT NULL DEFAULT '',
    result TEXT NOT NULL,
    retry INTEGER NOT NULL DEFAULT 0,
    rework INTEGER NOT NULL DEFAULT 0,
    failed_step TEXT NOT NULL DEFAULT '',
    reason_code TEXT NOT NULL DEFAULT '',
    reason_text TEXT NOT NULL DEFAULT '',
    steps TEXT NOT NULL DEFAULT '[]',
    port_device TEXT NOT NULL DEFAULT '',
    port_by_path TEXT NOT NULL DEFAULT '',
    adapter_serial TEXT NOT NULL DEFAULT '',
    tool_version TEXT NOT NULL DEFAULT '',
    frame_trace TEXT NOT NULL DEFAULT '[]'
)";

// The release bundle a record's recipe came from (a later step than any
// other of either store's list).
constexpr char kReleaseColumns[] =
    "ALTER TABLE unit_records ADD COLUMN bundle_id TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE unit_records ADD COLUMN release_number INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE unit_records ADD COLUMN signer_key_id TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE unit_records ADD COLUMN rollback INTEGER NOT NULL DEFAULT 0;";

// Version 2: the interlock and `records list --serial` look a serial up and
// take its newest runs; `--since` takes a time range.
constexpr char kIndexesV2[] =
    "CREATE INDEX unit_records_serial_time ON unit_records (serial, start_time);"
    "CREATE INDEX unit_records_time ON unit_records (start_time);";

}  // namespace

std::vector<SchemaStep> SqliteSchemaSteps() {
    return {
        {1, std::string("CREATE TABLE unit_records (seq INTEGER PRIMARY KEY AUTOINCREMENT,") +
                kRecordColumnsV1 + ");"},
        {2, kIndexesV2},
        // Version 3: records a PostgreSQL store could not deliver yet, by
        // unit_records.id, in the order they were made.
        {3,
         "CREATE TABLE outbox (seq INTEGER PRIMARY KEY AUTOINCREMENT, "
         "id TEXT NOT NULL UNIQUE REFERENCES unit_records (id));"},
        {4, kReleaseColumns},
    };
}

std::vector<SchemaStep> PostgresSchemaSteps() {
    return {
        {1, std::string("CREATE TABLE unit_records (seq BIGSERIAL PRIMARY KEY,") +
                kRecordColumnsV1 + ");"},
        {2, kIndexesV2},
        {3, kReleaseColumns},
    };
}

int LatestVersion(const std::vector<SchemaStep>& steps) {
    return steps.empty() ? 0 : steps.back().version;
}
