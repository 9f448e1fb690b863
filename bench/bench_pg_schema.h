#pragma once
// A PostgreSQL schema of a benchmark's own on the server at a base URL, so a
// run leaves the database as it was: made when this is, dropped with all in
// it when this goes. Its URL sets the search path to it; Admin() is a
// connection to the base URL for the benchmark's own queries.
//
// Threads: one; Admin() is not to be shared.

#include <libpq-fe.h>
#include <unistd.h>

#include <cstdio>
#include <string>

class CBenchPgSchema {
public:
    // The schema is named `prefix`_PID.
    CBenchPgSchema(const std::string& baseUrl, const std::string& prefix)
        : m_name(prefix + "_" + std::to_string(getpid())),
          m_url(baseUrl + (baseUrl.find('?') == std::string::npos ? "?" : "&") +
                "options=-csearch_path%3D" + m_name),
          m_admin(PQconnectdb(baseUrl.c_str())) {
        PQsetNoticeProcessor(
            m_admin, [](void*, const char*) {}, nullptr);
        Run("CREATE SCHEMA " + m_name);
    }
    ~CBenchPgSchema() {
        Run("DROP SCHEMA " + m_name + " CASCADE");
        PQfinish(m_admin);
    }
    CBenchPgSchema(const CBenchPgSchema&) = delete;
    CBenchPgSchema& operator=(const CBenchPgSchema&) = delete;

    const std::string& Name() const { return m_name; }
    const std::string& Url() const { return m_url; }
    PGconn* Admin() const { return m_admin; }

private:
    // Says a failure on stderr; the benchmark's own steps then fail.
    void Run(const std::string& sql) {
        PGresult* result = PQexec(m_admin, sql.c_str());
        if (PQresultStatus(result) != PGRES_COMMAND_OK)
            std::fprintf(stderr, "%s: %s", sql.c_str(), PQresultErrorMessage(result));
        PQclear(result);
    }

    std::string m_name;
    std::string m_url;
    PGconn* m_admin;
};
