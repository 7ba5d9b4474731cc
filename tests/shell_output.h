// Running a command for the tests and taking its standard output or exit code,
// reading a text file, and whether
// the PDF tools (poppler-utils) that some tests read PDF files with are there.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
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

// A program of the build (TW_BIN_DIR).
inline std::string Bin(const char* name) {
    const char* dir = std::getenv("TW_BIN_DIR");
    return std::string(dir ? dir : ".") + "/" + name;
}

// The exit code of `command` run by the shell (-1 when it did not exit).
inline int ExitCode(const std::string& command) {
    const int rc = std::system(command.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

// A whole text file (empty when it cannot be read).
inline std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline bool HavePoppler() {
    return std::system("pdftotext -v >/dev/null 2>&1") == 0;
}

}  // namespace twtest
