// One day file of the hour archive, HOME/Archive/YYYY-MM-DD.rta: the samples of
// one local calendar day, grouped by variable, in time order (format in
// ARCHIVE.md). The reader checks every count and offset against the file before
// it uses or allocates from it; a corrupt or truncated file fails with a last
// error naming the file. Writers build the whole file in memory and replace the
// old one atomically.
#pragma once

#include <cstdint>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "archive/sample.h"
#include "common/osfile.h"

namespace host::archive {

inline constexpr char kMagic[4] = {'R', 'T', 'H', 'A'};
inline constexpr uint16_t kVersion = 1;
inline constexpr uint32_t kHeaderSize = 48;
inline constexpr uint32_t kDirEntrySize = 16;
inline constexpr uint32_t kSampleSize = 14;

// The file name "YYYY-MM-DD.rta" of a day.
std::string DayFileName(const Day& day);
// The day of a file name "YYYY-MM-DD.rta"; false for any other name.
bool DayOfFileName(const char* name, Day& out);

// The bytes of a day file holding these variables (sorted by name here; empty
// sample lists are left out). Samples must lie within the day.
std::string EncodeDayFile(const Day& day, std::vector<VariableSamples> variables);

class DayFile {
  public:
    // Opens and checks the header, directory and name pool. False with the last
    // error naming the file when it is missing, truncated or corrupt.
    bool Open(const char* path);
    const std::string& Path() const { return path_; }
    const Day& GetDay() const { return day_; }
    int Count() const { return int(dir_.size()); }
    const char* Name(int i) const { return names_.data() + dir_[std::size_t(i)].NameOffset; }
    uint32_t SampleCount(int i) const { return dir_[std::size_t(i)].Count; }
    // The entry of a variable name (binary search), or -1.
    int Find(const char* name) const;
    // Reads and checks variable i's samples (CRC, times within the day and in
    // order) as raw 14-byte records into `raw`. False with the last error set.
    bool ReadRaw(int i, std::string& raw);
    // Decodes samples read by ReadRaw.
    void Decode(const std::string& raw, std::vector<Sample>& out) const;
    // Every variable with its samples.
    bool ReadAll(std::vector<VariableSamples>& out);

  private:
    struct DirEntry {
        uint32_t NameOffset, First, Count, Crc;
    };
    bool Corrupt(const char* what);

    std::string path_;
    UniqueFile file_;
    Day day_;
    uint32_t sampleCount_ = 0;
    uint64_t samplesOffset_ = 0;
    std::vector<DirEntry> dir_;
    std::string names_;
};

// Little-endian field access of the 14-byte sample record.
inline uint32_t RawOffset(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}
inline uint16_t RawState(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return uint16_t(b[4] | b[5] << 8);
}
inline double RawValue(const char* p) {
    double v;  // little-endian, as the host
    std::memcpy(&v, p + 6, 8);
    return v;
}

}  // namespace host::archive
