// The fuzzers' input as a file: every reader of the system takes a path, as a
// user hands it a file. One scratch file per process, rewritten per input.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace twfuzz {

inline const std::string& InputFile(const char* extension) {
    static const std::string path = [&] {
        const char* dir = std::getenv("TMPDIR");
        return std::string(dir && *dir ? dir : "/tmp") + "/twfuzz-" + std::to_string(getpid()) +
               extension;
    }();
    return path;
}

inline const char* WriteInput(const uint8_t* data, std::size_t size, const char* extension) {
    const std::string& path = InputFile(extension);
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        if (size) std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    return path.c_str();
}

}  // namespace twfuzz
