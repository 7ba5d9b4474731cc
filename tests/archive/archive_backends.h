// The archives a test home can keep its samples in. Every test program has the
// day files; those linked with pg_backends.cpp have PostgreSQL as well, so the
// same cases run on both and can compare what the two give.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "archive/dayfile/archivefile.h"

namespace twtest {

struct ArchiveBackend {
    std::string Name;
    // Points the home at a fresh, empty archive of this kind; `tag` tells the
    // test's archives apart (letters, digits and '_').
    std::function<void(const std::string& home, const std::string& tag)> Prepare;
};

// Test names show the backend by its name.
inline void PrintTo(const ArchiveBackend& b, std::ostream* os) {
    *os << b.Name;
}

// The day files' backend, which every program has.
ArchiveBackend DayFileBackend();

// The day files first.
const std::vector<ArchiveBackend>& ArchiveBackends();

// Stores the samples in the home's archive (what its settings name) as one change.
void StoreSamples(const std::string& home, const std::vector<host::archive::VariableSamples>& vars);

}  // namespace twtest
