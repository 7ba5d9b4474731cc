#include "pgconnection.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace host::pg {

namespace {
// Memory that libpq handed out.
using PgMemory = UniqueHandle<char*, &PQfreemem>;
}  // namespace

std::string Result::Text(int row, int column) const {
    const PGresult* r = r_.get();
    if (!r || PQgetisnull(r, row, column)) return {};
    return std::string(PQgetvalue(r, row, column), std::size_t(PQgetlength(r, row, column)));
}

bool Connection::Fail(const char* fallback, const PGresult* result) {
    const char* message = result ? PQresultErrorMessage(result) : nullptr;
    if (!message || !*message) message = c_ ? PQerrorMessage(c_.get()) : nullptr;
    error_ = message && *message ? message : fallback;
    while (!error_.empty() && (error_.back() == '\n' || error_.back() == ' '))
        error_.pop_back();
    return false;
}

bool Connection::FinishCopy() {
    Result done(PQgetResult(c_.get()));
    while (PGresult* extra = PQgetResult(c_.get()))
        PQclear(extra);
    if (!done.get() || PQresultStatus(done.get()) != PGRES_COMMAND_OK)
        return Fail("COPY failed", done.get());
    return true;
}

bool Connection::Open(const std::string& conninfo, const Timeouts& timeouts) {
    c_.reset();  // the old session ends before the new one begins
    // Our connect timeout first: the connection string's own, expanded from
    // "dbname", comes later and wins; the environment's is libpq's default.
    const std::string connect = std::to_string(std::max(timeouts.connect, 0));
    const bool ours = timeouts.connect > 0 && !std::getenv("PGCONNECT_TIMEOUT");
    const char* const keys[] = {ours ? "connect_timeout" : "dbname", "dbname", nullptr};
    const char* const values[] = {ours ? connect.c_str() : "", conninfo.c_str(), nullptr};
    c_.reset(PQconnectdbParams(keys, values, 1));
    if (!c_) return Fail("out of memory");
    if (PQstatus(c_.get()) != CONNECTION_OK) return Fail("connection failed");
    PQsetNoticeProcessor(
        c_.get(), [](void*, const char*) {}, nullptr);  // notices are not errors
    // Times cross as timestamptz; texts as UTF-8 whatever the server's default.
    // No parallel plans: the period's query relies on a nested loop handing
    // each variable's rows on in the order of its index scan. No JIT
    // compilation (servers from 11 on have it): the query is estimated dear
    // enough to be compiled, and compiling it takes longer than its scans.
    // A lock held elsewhere or a statement that does not end fails in time.
    std::string setup =
        "SET client_encoding = 'UTF8'; SET TIME ZONE 'UTC';"
        "SET max_parallel_workers_per_gather = 0; SET lock_timeout = " +
        std::to_string(std::max(timeouts.lock, 0) * 1000) +
        "; SET statement_timeout = " + std::to_string(std::max(timeouts.statement, 0) * 1000);
    if (PQserverVersion(c_.get()) >= 110000) setup += "; SET jit = off";
    return Exec(setup);
}

void Connection::Forget() {
    if (!c_) return;
    // Our copy of the socket closed first, the close's message has nowhere to go.
    if (PQsocket(c_.get()) >= 0) ::close(PQsocket(c_.get()));
    c_.reset();
}

bool Connection::Exec(const std::string& sql, Result* out, ExecStatusType expected) {
    if (!c_) return Fail("not connected");
    Result r(PQexec(c_.get(), sql.c_str()));  // one or more commands, the last one's result
    if (!r.get() || PQresultStatus(r.get()) != expected) return Fail("command failed", r.get());
    if (out) *out = std::move(r);
    return true;
}

bool Connection::Exec(const std::string& sql, const std::vector<std::string>& params, Result* out,
                      ExecStatusType expected) {
    if (!c_) return Fail("not connected");
    std::vector<const char*> values;
    for (const std::string& p : params)
        values.push_back(p.c_str());
    Result r(PQexecParams(c_.get(), sql.c_str(), int(values.size()), nullptr, values.data(),
                          nullptr, nullptr, 0));
    if (!r.get() || PQresultStatus(r.get()) != expected) return Fail("command failed", r.get());
    if (out) *out = std::move(r);
    return true;
}

bool Connection::CopyOut(const std::string& sql,
                         const std::function<bool(const char*, std::size_t)>& sink) {
    if (!Exec(sql, nullptr, PGRES_COPY_OUT)) return false;
    bool ok = true;
    for (;;) {
        char* chunk = nullptr;
        const int n = PQgetCopyData(c_.get(), &chunk, 0);
        if (n == -1) break;  // done; the command's result follows
        if (n < 0) return Fail("the connection was lost during COPY");
        const PgMemory owned(chunk);
        if (ok && !sink(chunk, std::size_t(n))) ok = false;
    }
    return FinishCopy() && ok;
}

bool Connection::CopyIn(const std::string& sql, const std::string& data) {
    if (!Exec(sql, nullptr, PGRES_COPY_IN)) return false;
    constexpr std::size_t kChunk = 1 << 16;
    for (std::size_t at = 0; at < data.size(); at += kChunk) {
        const std::size_t n = std::min(kChunk, data.size() - at);
        if (PQputCopyData(c_.get(), data.data() + at, int(n)) != 1) return Fail("COPY failed");
    }
    if (PQputCopyEnd(c_.get(), nullptr) != 1) return Fail("COPY failed");
    return FinishCopy();
}

std::string Connection::Literal(const std::string& text) const {
    if (!c_) return {};
    const PgMemory q(PQescapeLiteral(c_.get(), text.data(), text.size()));
    return q ? std::string(q.get()) : std::string();
}

std::string Connection::Identifier(const std::string& text) const {
    if (!c_) return {};
    const PgMemory q(PQescapeIdentifier(c_.get(), text.data(), text.size()));
    return q ? std::string(q.get()) : std::string();
}

}  // namespace host::pg
