#pragma once
// The stores' schema, as the steps that build it: step N takes a database at
// version N-1 to version N. A store brings an older database forward by
// running the missing steps in one transaction, and refuses a database newer
// than it knows (an older tool must not write into a schema it can't read).
// Steps are history: once released, a step's text never changes; a change of
// schema is a new step.
//
// SQLite keeps the version in PRAGMA user_version, PostgreSQL in the one-row
// table schema_version. Both hold the same unit_records table; the SQLite
// file also has the outbox of records waiting for a PostgreSQL server.

#include <string>
#include <vector>

struct SchemaStep {
    int version;
    std::string sql;  // one or more statements
};

std::vector<SchemaStep> SqliteSchemaSteps();
std::vector<SchemaStep> PostgresSchemaSteps();

// The version the newest step reaches.
int LatestVersion(const std::vector<SchemaStep>& steps);
