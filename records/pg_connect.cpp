#include "records/pg_connect.h"

#include <libpq-fe.h>
#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <cstring>

namespace {

// How long the kernel may keep sent data unacknowledged before the
// connection counts as lost: a pulled cable must not hang a station.
constexpr char kTcpUserTimeoutMs[] = "10000";

// SQLSTATEs of a server that gave up on a statement or is going away, as
// opposed to one that refuses it.
constexpr const char* kAwayStates[] = {
    "55P03",  // lock_not_available: lock_timeout
    "57014",  // query_canceled: statement_timeout
    "57P01",  // admin_shutdown
    "57P02",  // crash_shutdown
    "57P03",  // cannot_connect_now
};

bool UrlRequiresSsl(const std::string& url) {
    PQconninfoOption* options = PQconninfoParse(url.c_str(), nullptr);
    bool required = false;
    for (PQconninfoOption* o = options; o != nullptr && o->keyword != nullptr; ++o) {
        if (std::strcmp(o->keyword, "sslmode") == 0 && o->val != nullptr)
            required =
                std::strncmp(o->val, "require", 7) == 0 || std::strncmp(o->val, "verify-", 7) == 0;
    }
    PQconninfoFree(options);
    return required;
}

// After a failed connection: did anything answer? A server that answered at
// all (an authentication request, an error with a SQLSTATE) refused us.
PgReach WhyNotConnected(const std::string& url, const char* const* keywords,
                        const char* const* values) {
    switch (PQpingParams(keywords, values, 1)) {
        case PQPING_OK:
        case PQPING_NO_ATTEMPT:
            return PgReach::Refused;
        case PQPING_REJECT:
            return PgReach::Away;
        case PQPING_NO_RESPONSE:
            break;
    }
    // libpq itself gives up when the URL requires SSL and the server offers
    // none, which looks like no answer: ask again without SSL.
    if (!UrlRequiresSsl(url))
        return PgReach::Away;
    const std::string timeout = std::to_string(kConnectTimeoutS);
    const char* const plainKeywords[] = {"connect_timeout", "dbname", "sslmode", nullptr};
    const char* const plainValues[] = {timeout.c_str(), url.c_str(), "disable", nullptr};
    return PQpingParams(plainKeywords, plainValues, 1) == PQPING_OK ? PgReach::Refused
                                                                    : PgReach::Away;
}

bool Succeeded(const PGresult* result) {
    const ExecStatusType status = PQresultStatus(result);
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
}

// Closes the socket under libpq, which then reads the end of the connection
// and reports it lost.
void Abandon(pg_conn* conn) {
    const int socket = PQsocket(conn);
    if (socket >= 0)
        shutdown(socket, SHUT_RDWR);
    PQconsumeInput(conn);
}

}  // namespace

PgReach PgConnect(const std::string& url, pg_conn*& conn, std::string& error) {
    const std::string timeout = std::to_string(kConnectTimeoutS);
    // The URL's own settings override the defaults before it.
    const char* const keywords[] = {"connect_timeout", "tcp_user_timeout", "dbname", nullptr};
    const char* const values[] = {timeout.c_str(), kTcpUserTimeoutMs, url.c_str(), nullptr};
    conn = PQconnectdbParams(keywords, values, 1);
    if (conn == nullptr || PQstatus(conn) != CONNECTION_OK) {
        error = conn != nullptr ? PQerrorMessage(conn) : "out of memory";
        PQfinish(conn);
        conn = nullptr;
        return WhyNotConnected(url, keywords, values);
    }
    // The server's notices ("relation ... already exists, skipping") are not
    // the station's to print.
    PQsetNoticeProcessor(
        conn, [](void*, const char*) {}, nullptr);
    // Set here rather than in the URL's options, which a plant may use for
    // its own settings (search_path).
    PGresult* limits = PgExec(conn,
                              "SET statement_timeout = " + std::to_string(kStatementTimeoutMs) +
                                  "; SET lock_timeout = " + std::to_string(kLockTimeoutMs),
                              {});
    const bool ok = Succeeded(limits);
    const bool away = !ok && PgAway(conn, limits);
    if (!ok)
        error = PQresultErrorMessage(limits);
    PQclear(limits);
    if (ok)
        return PgReach::Connected;
    PQfinish(conn);
    conn = nullptr;
    return away ? PgReach::Away : PgReach::Refused;
}

pg_result* PgExec(pg_conn* conn, const std::string& sql, const std::vector<std::string>& params,
                  int replyTimeoutMs) {
    int sent = 0;
    if (params.empty()) {
        sent = PQsendQuery(conn, sql.c_str());
    } else {
        std::vector<const char*> values;
        values.reserve(params.size());
        for (const std::string& param : params) {
            values.push_back(param.c_str());
        }
        sent = PQsendQueryParams(conn, sql.c_str(), static_cast<int>(values.size()), nullptr,
                                 values.data(), nullptr, nullptr, 0);
    }
    if (sent == 0)
        return PQmakeEmptyPGresult(conn, PGRES_FATAL_ERROR);
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(replyTimeoutMs);
    // The first failed result of several statements, else the last one.
    PGresult* kept = nullptr;
    for (;;) {
        while (PQisBusy(conn) == 0) {
            PGresult* result = PQgetResult(conn);
            if (result == nullptr)
                return kept != nullptr ? kept : PQmakeEmptyPGresult(conn, PGRES_FATAL_ERROR);
            if (kept == nullptr || Succeeded(kept)) {
                PQclear(kept);
                kept = result;
            } else {
                PQclear(result);
            }
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd readable{PQsocket(conn), POLLIN, 0};
        if (left <= 0 || readable.fd < 0 || poll(&readable, 1, static_cast<int>(left)) == 0) {
            PQclear(kept);
            Abandon(conn);
            while (PGresult* rest = PQgetResult(conn)) {
                PQclear(rest);
            }
            return PQmakeEmptyPGresult(conn, PGRES_FATAL_ERROR);
        }
        // A failure here leaves libpq's error result to collect above.
        PQconsumeInput(conn);
    }
}

bool PgAway(pg_conn* conn, const pg_result* result) {
    if (PQstatus(conn) != CONNECTION_OK)
        return true;
    const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
    if (state == nullptr)
        return false;
    // Class 08: connection exceptions.
    if (std::strncmp(state, "08", 2) == 0)
        return true;
    for (const char* away : kAwayStates) {
        if (std::strcmp(state, away) == 0)
            return true;
    }
    return false;
}
