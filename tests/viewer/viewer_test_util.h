// Helpers of the viewer tests: saved first-level reports with chosen periods
// and outcomes, and an indicator that remembers every text it was given.
#pragma once

#include <zlib.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "runtime/idle.h"
#include "runtime/operation.h"
#include "tw_file.h"

namespace twview_test {

// An incident with the relay and apparatus lines in use or not, and their
// outcome bytes; `tag` goes into Value so that rows can be told apart.
inline TW_ContourLine Incident(bool relayUsed, uint8_t relay, bool apparatusUsed, uint8_t apparatus,
                               double tag) {
    TW_ContourLine line{};
    line.Contour.Used = 1;
    line.Contour.Rele.Used = relayUsed;
    line.Contour.Prot.Used = apparatusUsed;
    line.ReleResult = relay;
    line.ProtResult = apparatus;
    line.Value = tag;
    return line;
}

// Saves a report of the period [start, end] with the given incidents.
inline bool SaveReport(const std::string& path, const PRTime& start, const PRTime& end,
                       const std::vector<TW_ContourLine>& items) {
    TW_File report;
    report.Start = start;
    report.End = end;
    for (const TW_ContourLine& line : items)
        report.Add(line);
    report.FileName.Set(path.c_str());
    return report.Save();
}

// A well-formed report header that stores `count` items and no item bytes.
inline void SaveHeaderOnly(const std::string& path, const PRTime& start, const PRTime& end,
                           int32_t count) {
    unsigned char header[TW_HeaderSize] = {};
    const uint32_t magic = TW_FileMagic, size = TW_RecordSize;
    std::memcpy(header, &magic, 4);
    std::memcpy(header + 4, &size, 4);
    std::memcpy(header + 8, &start, 12);
    std::memcpy(header + 20, &end, 12);
    std::memcpy(header + 44, &count, 4);
    gzFile gz = gzopen(path.c_str(), "wb");
    gzwrite(gz, header, sizeof header);
    gzclose(gz);
}

inline void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Remembers each text shown, in order (cp1251; an empty text when it was
// cleared), and each progress value.
class RecordingOperation : public HOperation {
  public:
    std::vector<std::string> texts;
    std::vector<int> progress;

  protected:
    void Show() override {
        if ((texts.empty() ? std::string() : texts.back()) != text_) texts.push_back(text_);
        if (progress.empty() || progress.back() != progress_) progress.push_back(progress_);
    }
};

// Installs a RecordingOperation and a zero idle period for its life.
class ScopedRecording {
  public:
    ScopedRecording() : previous_(host::SetOperation(&op)) {
        host::SetIdlePeriodLength(std::chrono::milliseconds(0));
    }
    ~ScopedRecording() {
        host::SetIdlePeriodLength(std::chrono::milliseconds(200));
        host::SetOperation(previous_);
    }
    ScopedRecording(const ScopedRecording&) = delete;
    ScopedRecording& operator=(const ScopedRecording&) = delete;
    RecordingOperation op;

  private:
    HOperation* previous_;
};

}  // namespace twview_test
