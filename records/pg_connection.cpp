#include "records/pg_connection.h"

#include <libpq-fe.h>

#include <charconv>
#include <utility>

#include "base/utf8_text.h"

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

}  // namespace

bool CPgConnection::Query(const RecordQuery& query, std::vector<RecordRow>& rows,
                          std::string& error) {
    rows.clear();
    if (m_beginPending) {
        m_beginPending = false;
        // The simple protocol runs both statements; with parameters the
        // BEGIN goes alone.
        if (query.params.empty())
            return Query({"BEGIN; " + query.sql, {}}, rows, error);
        if (!Exec({"BEGIN", {}}, error))
            return false;
    }
    std::vector<std::string> texts;
    texts.reserve(query.params.size());
    for (const std::string& param : query.params) {
        texts.push_back(Utf8Text(param));
    }
    // Without parameters the simple protocol runs several statements (a
    // schema step).
    PGresult* result = PgExec(m_conn, query.sql, texts, m_replyTimeoutMs);
    const ExecStatusType status = PQresultStatus(result);
    const bool ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    if (ok) {
        for (int row = 0; row < PQntuples(result); ++row) {
            RecordRow values;
            for (int column = 0; column < PQnfields(result); ++column) {
                values.emplace_back(PQgetvalue(result, row, column),
                                    static_cast<std::size_t>(PQgetlength(result, row, column)));
            }
            rows.push_back(std::move(values));
        }
    } else {
        error = PQresultErrorMessage(result);
        m_away = PgAway(m_conn, result);
        m_fault = PgFault(PQresultErrorField(result, PG_DIAG_SQLSTATE));
    }
    PQclear(result);
    return ok;
}

bool CPgConnection::Begin(std::string&) {
    m_beginPending = true;
    return true;
}

bool CPgConnection::Commit(std::string& error) {
    m_replyTimeoutMs = kReplyTimeoutMs;
    if (std::exchange(m_beginPending, false))
        return true;  // nothing was sent
    return Exec({"COMMIT", {}}, error);
}

void CPgConnection::Rollback() {
    m_replyTimeoutMs = kReplyTimeoutMs;
    if (std::exchange(m_beginPending, false) || m_away)
        return;
    std::string ignored;
    Exec({"ROLLBACK", {}}, ignored);
}

bool CPgConnection::LockInterlock(const std::string& key, std::string& error) {
    // The key as a literal rather than a parameter, so the lock travels
    // with the transaction's BEGIN.
    const std::string text = Utf8Text(key);
    char* literal = PQescapeLiteral(m_conn, text.c_str(), text.size());
    if (literal == nullptr) {
        error = PQerrorMessage(m_conn);
        m_fault = StoreFault::Other;
        return false;
    }
    const std::string sql =
        "SELECT pg_advisory_xact_lock(hashtextextended(" + std::string(literal) + ", 0))";
    PQfreemem(literal);
    return Exec({sql, {}}, error);
}

bool CPgConnection::LockSchema(std::string& error) {
    // Waiting for another station's migration is bound by the lock time-out;
    // the steps themselves are not bound by the statement time-out.
    if (!Exec({"SELECT pg_advisory_xact_lock(" + std::to_string(kSchemaLockKey) + ")", {}},
              error) ||
        !Exec({"SET LOCAL statement_timeout = 0", {}}, error))
        return false;
    m_replyTimeoutMs = kMigrationTimeoutMs;
    std::vector<RecordRow> rows;
    return Exec({"CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)", {}},
                error) &&
           Query({"SELECT version FROM schema_version", {}}, rows, error) &&
           (!rows.empty() || Exec({"INSERT INTO schema_version (version) VALUES (0)", {}}, error));
}

bool CPgConnection::ReadSchemaVersion(int& version, std::string& error) {
    std::vector<RecordRow> rows;
    if (!Query({"SELECT version FROM schema_version", {}}, rows, error))
        return false;
    version = 0;
    if (rows.empty())
        return true;
    const std::string& text = rows.front().front();
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), version);
    if (ec != std::errc() || end != text.data() + text.size()) {
        error = "can't read the schema version '" + text + "'";
        return false;
    }
    return true;
}

bool CPgConnection::WriteSchemaVersion(int version, std::string& error) {
    return Exec({"UPDATE schema_version SET version = $1", {std::to_string(version)}}, error);
}
