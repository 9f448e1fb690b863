#include "records/pg_connection.h"

#include <libpq-fe.h>

#include "link/utf8_text.h"
#include "records/pg_connect.h"

namespace {

// The database's text is UTF-8 and libpq's parameters end at a NUL: bytes
// that are not UTF-8 (a box's 8-bit version text) and NULs become U+FFFD, so
// such a record is stored instead of refused (and stuck in the outbox).
std::string Utf8Text(const std::string& text) {
    std::string out = WellFormedUtf8(text);
    for (std::size_t nul = out.find('\0'); nul != std::string::npos; nul = out.find('\0', nul))
        out.replace(nul, 1, kUtf8Replacement);
    return out;
}

pg_result* ExecUtf8(pg_conn* conn, const RecordQuery& query, int replyTimeoutMs) {
    std::vector<std::string> texts;
    texts.reserve(query.params.size());
    for (const std::string& param : query.params) {
        texts.push_back(Utf8Text(param));
    }
    return PgExec(conn, query.sql, texts, replyTimeoutMs);
}

}  // namespace

pg_result* PgExecQuery(pg_conn* conn, const RecordQuery& query) {
    return ExecUtf8(conn, query, kReplyTimeoutMs);
}

bool CPgConnection::Run(const RecordQuery& query, std::optional<std::vector<std::string>>* row,
                        std::string& error, int replyTimeoutMs) {
    PGresult* result = ExecUtf8(m_conn, query, replyTimeoutMs);
    const ExecStatusType status = PQresultStatus(result);
    const bool ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    if (ok && row != nullptr) {
        row->reset();
        if (PQntuples(result) > 0) {
            row->emplace();
            for (int column = 0; column < PQnfields(result); ++column) {
                (*row)->emplace_back(PQgetvalue(result, 0, column),
                                     static_cast<std::size_t>(PQgetlength(result, 0, column)));
            }
        }
    }
    if (!ok) {
        error = PQresultErrorMessage(result);
        m_away = PgAway(m_conn, result);
    }
    PQclear(result);
    return ok;
}

bool CPgConnection::Exec(const RecordQuery& query, std::string& error) {
    return Run(query, nullptr, error, kReplyTimeoutMs);
}

bool CPgConnection::FirstRow(const RecordQuery& query, std::optional<std::vector<std::string>>& row,
                             std::string& error) {
    return Run(query, &row, error, kReplyTimeoutMs);
}

bool CPgConnection::Begin(std::string& error) {
    return Exec({"BEGIN", {}}, error);
}

bool CPgConnection::Commit(std::string& error) {
    return Exec({"COMMIT", {}}, error);
}

void CPgConnection::Rollback() {
    if (m_away)
        return;
    std::string ignored;
    Exec({"ROLLBACK", {}}, ignored);
}

bool CPgConnection::LockSerial(const std::string& key, std::string& error) {
    return Exec({"SELECT pg_advisory_xact_lock(hashtextextended($1, 0))", {key}}, error);
}

bool CPgConnection::PeekSchemaVersion(int& version) {
    std::optional<std::vector<std::string>> row;
    std::string ignored;
    // A database without the table yet fails here; the migration makes it.
    if (!FirstRow({"SELECT version FROM schema_version", {}}, row, ignored) || !row || row->empty())
        return false;
    version = std::stoi(row->front());
    return true;
}

bool CPgConnection::BeginMigration(std::string& error) {
    // Waiting for another station's migration is bound by the lock time-out;
    // the steps themselves (indexes over a plant's records) are not.
    return Begin(error) &&
           Exec({"SELECT pg_advisory_xact_lock(" + std::to_string(kSchemaLockKey) + ")", {}},
                error) &&
           Exec({"SET LOCAL statement_timeout = 0", {}}, error) &&
           Exec({"CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)", {}},
                error);
}

bool CPgConnection::ReadSchemaVersion(int& version, std::string& error) {
    std::optional<std::vector<std::string>> row;
    if (!FirstRow({"SELECT version FROM schema_version", {}}, row, error))
        return false;
    if (!row) {
        version = 0;
        return Exec({"INSERT INTO schema_version (version) VALUES (0)", {}}, error);
    }
    version = std::stoi(row->front());
    return true;
}

bool CPgConnection::WriteSchemaVersion(int version, std::string& error) {
    return Exec({"UPDATE schema_version SET version = $1", {std::to_string(version)}}, error);
}

bool CPgConnection::RunSchemaStep(const std::string& sql, std::string& error) {
    return Run({sql, {}}, nullptr, error, kMigrationTimeoutMs);
}
