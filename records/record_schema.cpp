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

// Version 2: the interlock and `records list --serial` look a serial up and
// take its newest runs; `--since` takes a time range.
constexpr char kIndexesV2[] =
    "CREATE INDEX unit_records_serial_time ON unit_records (serial, start_time);"
    "CREATE INDEX unit_records_time ON unit_records (start_time);";

// The recall indexes: each recall field, then the start time, so a query
// that names one of them and a time range reads only its own rows, newest
// first. The interlock gets an index of its own (serial, recipe, time): with
// the recipe index beside the serial one, a planner without statistics could
// otherwise walk a whole recipe's runs to find one serial's last.
constexpr char kRecallIndexes[] =
    "CREATE INDEX unit_records_interlock ON unit_records (serial, recipe_sha256, start_time);"
    "CREATE INDEX unit_records_version_time ON unit_records (version_after, start_time);"
    "CREATE INDEX unit_records_package_time ON unit_records (package_sha256, start_time);"
    "CREATE INDEX unit_records_recipe_time ON unit_records (recipe_sha256, start_time);"
    "CREATE INDEX unit_records_variant_time ON unit_records (variant, start_time);"
    "CREATE INDEX unit_records_station_time ON unit_records (station, start_time);"
    "CREATE INDEX unit_records_result_time ON unit_records (result, start_time);";

// The view vornak_units, for a plant's own queries and dashboards: one row
// per unit with its times as times, its cycle time in seconds and its flags
// as truth values. The columns after `started_at` are the same in both
// dialects; only the time arithmetic differs.
constexpr char kUnitsViewColumns[] = R"(
    station, slot, operator_name, recipe_name, variant, recipe_sha256, serial,
    version_before, version_after, package_sha256, result,
    retry <> 0 AS retry, rework <> 0 AS rework, (retry = 0 AND rework = 0) AS first_run,
    failed_step, reason_code, reason_text, port_device, port_by_path, adapter_serial,
    tool_version)";

// The release bundle a record's recipe came from: the table's columns, then
// the view again with them (a view's columns are fixed when it is made).
constexpr char kReleaseColumns[] =
    "ALTER TABLE unit_records ADD COLUMN bundle_id TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE unit_records ADD COLUMN release_number INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE unit_records ADD COLUMN signer_key_id TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE unit_records ADD COLUMN rollback INTEGER NOT NULL DEFAULT 0;"
    "DROP VIEW vornak_units;";
constexpr char kUnitsViewReleaseColumns[] =
    ", bundle_id, release_number, signer_key_id, rollback <> 0 AS rollback";

constexpr char kUnitsViewFrom[] = " FROM unit_records;";

// SQLite has no time type: the times stay text (they sort and compare), the
// cycle time comes from julianday(), to the millisecond.
constexpr char kSqliteUnitsView[] = R"(CREATE VIEW vornak_units AS SELECT id,
    start_time AS started_at, NULLIF(end_time, '') AS ended_at,
    ROUND((julianday(end_time) - julianday(start_time)) * 86400.0, 3) AS cycle_seconds,)";

// The records' time format, as a PostgreSQL pattern.
constexpr char kPgTimePattern[] = R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d(\.\d+)?Z$)";

// PostgreSQL reads the times as timestamptz; a time text that is not the
// records' format reads as NULL rather than failing every query of the view.
// `more` follows the shared columns.
std::string PgUnitsView(const std::string& more) {
    const auto time = [](const std::string& column) {
        return "CASE WHEN " + column + " ~ '" + kPgTimePattern + "' THEN " + column +
               "::timestamptz END";
    };
    return "CREATE VIEW vornak_units AS SELECT id, " + time("start_time") + " AS started_at, " +
           time("end_time") + " AS ended_at, EXTRACT(EPOCH FROM " + time("end_time") + " - " +
           time("start_time") + ")::float8 AS cycle_seconds," + kUnitsViewColumns + more;
}

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
        // Version 4: recall queries and the view.
        {4, std::string(kRecallIndexes) + kSqliteUnitsView + kUnitsViewColumns + kUnitsViewFrom},
        // Version 5: the release bundle of each record.
        {5, std::string(kReleaseColumns) + kSqliteUnitsView + kUnitsViewColumns +
                kUnitsViewReleaseColumns + kUnitsViewFrom},
    };
}

std::vector<SchemaStep> PostgresSchemaSteps() {
    return {
        {1, std::string("CREATE TABLE unit_records (seq BIGSERIAL PRIMARY KEY,") +
                kRecordColumnsV1 + ");"},
        {2, kIndexesV2},
        // Version 3: recall queries and the view.
        {3, kRecallIndexes + PgUnitsView("") + kUnitsViewFrom},
        // Version 4: the release bundle of each record.
        {4, kReleaseColumns + PgUnitsView(kUnitsViewReleaseColumns) + kUnitsViewFrom},
    };
}

int LatestVersion(const std::vector<SchemaStep>& steps) {
    return steps.empty() ? 0 : steps.back().version;
}
