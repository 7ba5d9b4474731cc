// A connection to a PostgreSQL server through libpq, and its results, as RAII
// handles: no copy, noexcept move, the handle released on every way out. The
// connection string is libpq's own (key=value pairs or a postgresql:// URI), so
// that service files and the PG* variables work as for every PostgreSQL client.
// Failures return false (or a null result) with the server's or libpq's text in
// Error(), never throw.
#pragma once

#include <libpq-fe.h>

#include <cstddef>
#include <functional>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "common/unique_handle.h"

namespace host::pg {

// How long a session waits, in seconds (0: no limit): for the server to answer
// the login, for a lock another session holds, for one statement.
struct Timeouts {
    int connect = 10;
    int lock = 30;
    int statement = 600;
    bool operator==(const Timeouts&) const = default;
};

// One result of a command; owns the PGresult.
class Result {
  public:
    Result() = default;
    explicit Result(PGresult* r) : r_(r) {}
    Result(Result&& o) noexcept = default;
    Result& operator=(Result&& o) noexcept {
        std::swap(r_, o.r_);
        return *this;
    }
    PGresult* get() const { return r_.get(); }
    int Rows() const { return r_ ? PQntuples(r_.get()) : 0; }
    // The text of a field (empty for null).
    std::string Text(int row, int column) const;
    // The rows a command changed (0 when it tells none).
    long Changed() const { return r_ ? std::atol(PQcmdTuples(r_.get())) : 0; }

  private:
    UniqueHandle<PGresult*, &PQclear> r_;
};

class Connection {
  public:
    Connection() = default;
    // A move hands the connection over (an assignment swaps the two); Error()
    // stays with its object.
    Connection(Connection&& o) noexcept : c_(std::move(o.c_)) {}
    Connection& operator=(Connection&& o) noexcept {
        std::swap(c_, o.c_);
        return *this;
    }

    // Connects with `timeouts` (a connect_timeout in `conninfo` or
    // PGCONNECT_TIMEOUT wins over timeouts.connect); false with libpq's message
    // when the server is not reachable, does not answer in time or refuses the
    // login. A statement that waits longer fails with the server's message.
    bool Open(const std::string& conninfo, const Timeouts& timeouts = {});
    bool IsOpen() const { return c_ && PQstatus(c_.get()) == CONNECTION_OK; }
    // Frees the connection without a word to the server (the copy of a parent's
    // in a child of fork(): the Terminate message of a close would end the
    // parent's session).
    void Forget();
    // Open and outside any transaction or command: fit to be used again.
    bool IsIdle() const { return IsOpen() && PQtransactionStatus(c_.get()) == PQTRANS_IDLE; }

    // Runs commands without parameters (separated by ';'); false (Error() set)
    // unless the last gave `expected` (PGRES_COMMAND_OK or PGRES_TUPLES_OK).
    bool Exec(const std::string& sql, Result* out = nullptr,
              ExecStatusType expected = PGRES_COMMAND_OK);
    // The same with text parameters ($1, $2, ...).
    bool Exec(const std::string& sql, const std::vector<std::string>& params, Result* out,
              ExecStatusType expected);
    // COPY ... TO STDOUT: every chunk of data goes to `sink` in order; false when
    // the command fails, the connection is lost, or `sink` returns false.
    bool CopyOut(const std::string& sql, const std::function<bool(const char*, std::size_t)>& sink);
    // COPY ... FROM STDIN with `data` as the whole stream.
    bool CopyIn(const std::string& sql, const std::string& data);

    // A literal or identifier quoted for SQL text (empty on failure).
    std::string Literal(const std::string& text) const;
    std::string Identifier(const std::string& text) const;

    const std::string& Error() const { return error_; }

  private:
    // Sets Error() from the result's text, else the connection's, else `fallback`.
    bool Fail(const char* fallback, const PGresult* result = nullptr);
    // Takes the result that ends a COPY.
    bool FinishCopy();

    UniqueHandle<PGconn*, &PQfinish> c_;
    std::string error_;
};

}  // namespace host::pg
