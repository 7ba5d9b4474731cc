#include "pgpool.h"

#include <unistd.h>

namespace host::pg {

ConnectionPool& ConnectionPool::Process() {
    static ConnectionPool pool;
    return pool;
}

ConnectionPool::ConnectionPool() : owner_(int(::getpid())) {}

ConnectionPool::~ConnectionPool() {
    const std::lock_guard guard(lock_);
    LeaveParents();
}

void ConnectionPool::LeaveParents() {
    if (owner_ == int(::getpid())) return;
    for (auto& [key, kept] : idle_)
        for (Connection& c : kept)
            c.Forget();
    idle_.clear();
    owner_ = int(::getpid());
}

bool ConnectionPool::Take(const std::string& conninfo, const Timeouts& timeouts, Connection& out,
                          bool& reused, std::string& error) {
    {
        const std::lock_guard guard(lock_);
        LeaveParents();
        auto it = idle_.find(KeyOf(conninfo, timeouts));
        if (it != idle_.end() && !it->second.empty()) {
            out = std::move(it->second.back());
            it->second.pop_back();
            reused = true;
            return true;
        }
    }
    reused = false;
    Connection fresh;
    if (!fresh.Open(conninfo, timeouts)) {
        error = fresh.Error();
        return false;
    }
    out = std::move(fresh);
    return true;
}

void ConnectionPool::Give(const std::string& conninfo, const Timeouts& timeouts, Connection c) {
    if (!c.IsIdle()) return;
    const std::lock_guard guard(lock_);
    LeaveParents();
    auto& kept = idle_[KeyOf(conninfo, timeouts)];
    if (kept.size() < kKeptPerDatabase) kept.push_back(std::move(c));
}

void ConnectionPool::Clear() {
    std::map<Key, std::vector<Connection>> closing;
    {
        const std::lock_guard guard(lock_);
        closing.swap(idle_);
    }
}

}  // namespace host::pg
