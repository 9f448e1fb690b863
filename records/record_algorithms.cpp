#include "records/record_algorithms.h"

#include "records/record_columns.h"

bool MigrateSchema(IRecordConnection& connection, const std::vector<SchemaStep>& steps, int target,
                   std::string& error) {
    const int latest = LatestVersion(steps);
    int version = 0;
    std::string ignored;
    if (target == latest && connection.ReadSchemaVersion(version, ignored) && version == latest)
        return true;

    CRecordTransaction transaction(connection, error);
    if (!transaction.Open() || !connection.LockSchema(error) ||
        !connection.ReadSchemaVersion(version, error))
        return false;
    if (version > latest) {
        error = std::string("the ") + connection.HolderWord() + "'s schema version " +
                std::to_string(version) + " is newer than this tool's (" + std::to_string(latest) +
                ")";
        return false;
    }
    for (const SchemaStep& step : steps) {
        if (step.version <= version || step.version > target)
            continue;
        if (!connection.Exec({step.sql, {}}, error) ||
            !connection.WriteSchemaVersion(step.version, error)) {
            error = "schema step " + std::to_string(step.version) + ": " + error;
            return false;
        }
    }
    return transaction.Commit(error);
}

bool LastRunOf(IRecordConnection& connection, const std::string& serial,
               const std::string& recipeSha256, std::optional<std::string>& result,
               std::string& error) {
    std::vector<RecordRow> rows;
    if (!connection.Query(LastRunQuery(connection.Style(), serial, recipeSha256), rows, error))
        return false;
    result.reset();
    if (!rows.empty() && !rows.front().empty())
        result = rows.front().front();
    return true;
}

InsertResult InsertRecord(IRecordConnection& connection, const UnitRecord& record,
                          bool requirePassFree, const std::vector<RecordQuery>& alsoRun) {
    std::string error;
    // The kind is the connection's word for the call that just failed, taken
    // before the transaction's rollback makes calls of its own.
    const auto failed = [&] { return InsertResult::Failed(connection.Fault(), error); };
    const auto committed = [&](CRecordTransaction& transaction) {
        return transaction.Commit(error) ? InsertResult{InsertOutcome::Stored} : failed();
    };
    CRecordTransaction transaction(connection, error);
    if (!transaction.Open() ||
        !connection.LockInterlock(record.serial + '\x1f' + record.recipeSha256, error))
        return failed();
    std::vector<RecordRow> rows;
    if (!connection.Query(
            InsertCheckQuery(connection.Style(), record.id, record.serial, record.recipeSha256),
            rows, error))
        return failed();
    if (rows.size() != 1 || rows.front().size() != 2)
        return InsertResult::Failed(StoreFault::Other, "unexpected answer to the insert's check");
    if (rows.front()[0] != "0")
        return committed(transaction);
    if (requirePassFree && record.result == UnitResult::Pass) {
        const std::string& last = rows.front()[1];
        if (InterlockFromLastRun(last.empty() ? std::nullopt : std::optional(last)) ==
            InterlockState::Passed) {
            return {InsertOutcome::AlreadyPassed, StoreFault::None,
                    "serial " + record.serial + " already passed this recipe"};
        }
    }
    if (!connection.Exec(InsertRecordQuery(connection.Style(), record), error))
        return failed();
    for (const RecordQuery& query : alsoRun) {
        if (!connection.Exec(query, error))
            return failed();
    }
    return committed(transaction);
}

bool QueryRecords(IRecordConnection& connection, const RecordQuery& query,
                  std::vector<UnitRecord>& records, std::string& error) {
    std::vector<RecordRow> rows;
    if (!connection.Query(query, rows, error))
        return false;
    records.clear();
    records.reserve(rows.size());
    for (const RecordRow& row : rows) {
        UnitRecord record;
        std::string why;
        if (!RecordFromColumnValues(row, record, why)) {
            error = "record " + (row.empty() ? std::string("?") : row.front()) +
                    " can't be read: " + why;
            return false;
        }
        records.push_back(std::move(record));
    }
    return true;
}
