#include "records/record_transactions.h"

namespace {

// Ends the transaction with a rollback unless Commit() succeeded.
class CTransaction {
public:
    explicit CTransaction(IRecordConnection& connection) : m_connection(connection) {}
    ~CTransaction() {
        if (m_open)
            m_connection.Rollback();
    }
    CTransaction(const CTransaction&) = delete;
    CTransaction& operator=(const CTransaction&) = delete;

    bool Begin(bool (IRecordConnection::*begin)(std::string&), std::string& error) {
        m_open = (m_connection.*begin)(error);
        return m_open;
    }
    bool Commit(std::string& error) {
        if (!m_connection.Commit(error))
            return false;
        m_open = false;
        return true;
    }

private:
    IRecordConnection& m_connection;
    bool m_open = false;
};

}  // namespace

bool InsertCheckedRecord(IRecordConnection& connection, const UnitRecord& record,
                         bool requirePassFree,
                         const std::function<bool(std::string&)>& alsoInTransaction,
                         std::string& error) {
    const ParamStyle style = connection.Style();
    CTransaction transaction(connection);
    std::optional<std::vector<std::string>> row;
    if (!transaction.Begin(&IRecordConnection::Begin, error) ||
        !connection.LockSerial(record.serial + '\x1f' + record.recipeSha256, error) ||
        !connection.FirstRow(RecordExistsQuery(style, record.id), row, error))
        return false;
    if (row)
        return transaction.Commit(error);
    if (requirePassFree && record.result == UnitResult::Pass) {
        if (!connection.FirstRow(LastRunQuery(style, record.serial, record.recipeSha256), row,
                                 error))
            return false;
        const std::optional<std::string> last =
            row && !row->empty() ? std::optional(row->front()) : std::nullopt;
        if (InterlockFromLastRun(last) == InterlockState::Passed) {
            error = "serial " + record.serial + " already passed this recipe";
            return false;
        }
    }
    if (!connection.Exec(InsertRecordQuery(style, record), error))
        return false;
    if (alsoInTransaction && !alsoInTransaction(error))
        return false;
    return transaction.Commit(error);
}

bool MigrateSchema(IRecordConnection& connection, const std::vector<SchemaStep>& steps, int target,
                   std::string& error) {
    // Stations starting together don't queue behind the migration's lock
    // when there is nothing to migrate.
    int current = 0;
    if (connection.PeekSchemaVersion(current) && current == target &&
        current <= LatestVersion(steps))
        return true;
    CTransaction transaction(connection);
    int version = 0;
    if (!transaction.Begin(&IRecordConnection::BeginMigration, error) ||
        !connection.ReadSchemaVersion(version, error))
        return false;
    if (version > LatestVersion(steps)) {
        error = "the schema version " + std::to_string(version) + " is newer than this tool's (" +
                std::to_string(LatestVersion(steps)) + ")";
        return false;
    }
    for (const SchemaStep& step : steps) {
        if (step.version <= version || step.version > target)
            continue;
        if (!connection.RunSchemaStep(step.sql, error) ||
            !connection.WriteSchemaVersion(step.version, error)) {
            error = "schema step " + std::to_string(step.version) + ": " + error;
            return false;
        }
    }
    return transaction.Commit(error);
}
