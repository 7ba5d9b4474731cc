// Running a command for the tests and taking its standard output, and whether
// the PDF tools (poppler-utils) that some tests read PDF files with are there.
#pragma once

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace twtest {

// The standard output of `command` run by the shell (empty when it cannot run).
inline std::string Shell(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return out;
    std::array<char, 4096> buf;
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0)
        out.append(buf.data(), n);
    pclose(p);
    return out;
}

inline bool HavePoppler() {
    return std::system("pdftotext -v >/dev/null 2>&1") == 0;
}

}  // namespace twtest
