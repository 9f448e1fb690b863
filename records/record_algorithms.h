#pragma once
// The stores' algorithms, written once over IRecordConnection: bringing the
// schema forward, the pass-free insert, reading records back. Each says what
// it leaves unchanged when it fails.

#include <optional>
#include <string>
#include <vector>

#include "records/record_connection.h"
#include "records/record_schema.h"
#include "records/unit_record.h"

// Brings the database to schema version `target` (at most the newest of
// `steps`), all steps in one transaction. A database already at the newest
// version is recognised without taking the schema lock, so stations starting
// together do not wait for one another. False with `error` when its version
// is newer than the newest of `steps` or a step fails; the database is then
// unchanged.
bool MigrateSchema(IRecordConnection& connection, const std::vector<SchemaStep>& steps, int target,
                   std::string& error);

// Inserts `record` in one transaction: an id already stored changes nothing
// and succeeds; with `requirePassFree`, a passed record whose serial's last
// run through the same recipe passed is refused; `alsoRun` (e.g. putting the
// record in an outbox) runs in the same transaction after the insert.
// Stored, AlreadyPassed, or a Fault of the kind the connection took from the
// database's code; nothing is stored unless Stored.
InsertResult InsertRecord(IRecordConnection& connection, const UnitRecord& record,
                          bool requirePassFree, const std::vector<RecordQuery>& alsoRun);

// The result name of the serial's last run through the recipe, if any.
bool LastRunOf(IRecordConnection& connection, const std::string& serial,
               const std::string& recipeSha256, std::optional<std::string>& result,
               std::string& error);

// Runs a query of whole records (RecordColumnList order). A row that can't
// be read back is an error naming the record's id, never skipped. False with
// `error`; `records` is then unspecified.
bool QueryRecords(IRecordConnection& connection, const RecordQuery& query,
                  std::vector<UnitRecord>& records, std::string& error);
