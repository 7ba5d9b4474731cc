// Connections kept open between the uses of a database in one process, so that
// a host that runs day after day (rthost run --from --to, the real-time host)
// logs in once: a new backend costs the server a fork and its first queries
// fault in its memory, more than a daily report's fetch of the used variables.
// The pool is the process's; it is safe to use from several threads. A child
// made by fork() never uses its parent's connections (their sockets are shared
// with the parent): it leaves them alone and connects anew.
#pragma once

#include <array>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "archive/pg/pgconnection.h"

namespace host::pg {

class ConnectionPool {
  public:
    // At most this many idle connections are kept for one connection string.
    static constexpr std::size_t kKeptPerDatabase = 8;

    // The process's pool; its connections close when the process ends.
    static ConnectionPool& Process();

    // A connection to `conninfo` with `timeouts` in `out`: a kept one
    // (`reused` true; it may have been closed by the server since, which its
    // first command shows) or a new one. False with libpq's message in `error`
    // when a new one fails.
    bool Take(const std::string& conninfo, const Timeouts& timeouts, Connection& out, bool& reused,
              std::string& error);
    // Keeps `c` for the next Take of the same connection string and timeouts
    // when it is open and outside a transaction; otherwise (or when the pool
    // holds enough) closes it.
    void Give(const std::string& conninfo, const Timeouts& timeouts, Connection c);
    // Closes every kept connection.
    void Clear();

  private:
    ConnectionPool();
    ~ConnectionPool();
    // In a child of fork(): frees the parent's connections without closing them.
    void LeaveParents();

    std::mutex lock_;
    using Key = std::pair<std::string, std::array<int, 3>>;  // conninfo, timeouts
    static Key KeyOf(const std::string& conninfo, const Timeouts& t) {
        return {conninfo, {t.connect, t.lock, t.statement}};
    }
    std::map<Key, std::vector<Connection>> idle_;
    int owner_;  // the process the kept connections belong to
};

}  // namespace host::pg
