#pragma once
// The stores' two transactions, written once over IRecordConnection: the
// checked insert of a record and the schema's migration.

#include <functional>
#include <string>
#include <vector>

#include "records/record_connection.h"
#include "records/record_schema.h"
#include "records/unit_record.h"

// In one transaction: a record whose id is stored already changes nothing
// (true); with `requirePassFree` a pass is refused when the serial's last
// run through the recipe passed; then the insert, and `alsoInTransaction`
// (may be empty) before the commit. False with `error`, rolled back.
bool InsertCheckedRecord(IRecordConnection& connection, const UnitRecord& record,
                         bool requirePassFree,
                         const std::function<bool(std::string&)>& alsoInTransaction,
                         std::string& error);

// Brings the schema to version `target` (at most the newest of `steps`) in
// one transaction. False with `error` when the database's version is newer
// than the newest step or a step fails; the database is then unchanged.
bool MigrateSchema(IRecordConnection& connection, const std::vector<SchemaStep>& steps, int target,
                   std::string& error);
