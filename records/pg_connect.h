#pragma once
// Reaching the plant's PostgreSQL server without hanging a station: what a
// failed connection means, and statements that wait for their reply only so
// long.
//
// Only a server that does not answer (nothing listens, the network or the
// server is down or frozen, it is starting or shutting down) is "away": the
// store then keeps records locally. A server that answers and refuses (wrong
// password, unknown user or database, a bad option, SSL required by the URL
// but not offered) is a configuration error, which no wait mends.
//
// Time-outs: connecting gives up after kConnectTimeoutS; the server aborts a
// statement after kStatementTimeoutMs and a wait for a lock (another
// station's serial, a table someone locked) after kLockTimeoutMs; and the
// tool itself gives up on a reply after kReplyTimeoutMs (a server frozen with
// SIGSTOP enforces nothing), closing the connection. Each of these counts as
// the server being away.

#include <string>
#include <vector>

struct pg_conn;
struct pg_result;

// An attempt to reach a server that does not answer ends after this long.
constexpr int kConnectTimeoutS = 2;
// The server's own limits on one statement and on one wait for a lock.
constexpr int kStatementTimeoutMs = 5000;
constexpr int kLockTimeoutMs = 3000;
// How long the tool waits for any reply: past the server's limits, so a
// server that answers late still reports its own time-out.
constexpr int kReplyTimeoutMs = 8000;
// A schema migration may build indexes over a plant's records: it runs
// without the server's limits and waits this long for each step.
constexpr int kMigrationTimeoutMs = 600000;

enum class PgReach { Connected, Away, Refused };

// Connects to `url` with the time-outs above. Away or Refused with `error`
// (libpq's words) when it fails; `conn` is then null.
PgReach PgConnect(const std::string& url, pg_conn*& conn, std::string& error);

// Runs `sql` with `params` (none: the simple protocol, which also runs
// several statements). Waits at most `replyTimeoutMs` for the reply; past
// that the connection is closed (PgAway() then says so). The result is
// never null: a failure is a result with libpq's error.
pg_result* PgExec(pg_conn* conn, const std::string& sql, const std::vector<std::string>& params,
                  int replyTimeoutMs = kReplyTimeoutMs);

// Whether a failed statement means the server is away rather than refusing:
// the connection was lost, or the server gave up on the statement or a lock
// within its time-outs, or it is shutting down.
bool PgAway(pg_conn* conn, const pg_result* result);
