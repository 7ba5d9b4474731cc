// HourFileBuilder: fills an hour file from the samples of an archive fetch,
// which come variable by variable in configuration order, in runs: each
// entry's range, its span (the sample carried in, the look-back's, the
// period's) and the check of every sample's order and of its state against
// its variable's state set.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "archive/sample.h"
#include "plantdb/dbdatabase.h"
#include "hourfile/hourfile.h"

namespace host {

class HourFileBuilder {
  public:
    // `file` gets one entry per variable of `config`, or only for the
    // configuration variables `chosen` lists (in increasing order); all three
    // must outlive the builder. Samples before `from` are carried in, those
    // before `start` are the look-back's.
    HourFileBuilder(HHourFile& file, const HDBDatabase& config, int64_t from, int64_t start,
                    const std::vector<int>* chosen = nullptr);

    // Appends a run of samples of variable `v` (the configuration's, or the
    // v-th chosen); the variables before it without samples get their
    // entries. False with Error() set (the file partly filled) when `v` goes
    // back to an earlier variable or is none of the file's, a time goes back,
    // a sample before `from` is not the variable's first, a state is outside
    // the set, or the file would hold more than INT32_MAX samples.
    bool Add(int v, std::span<const archive::Sample> samples);
    // Makes room for `samples` more (beyond the file's bound: nothing).
    void Reserve(std::size_t samples);
    // Entries for the variables after the last one with samples.
    void Finish();
    const std::string& Error() const { return error_; }

  private:
    void Begin(int k);  // the entry of the k-th variable
    HHourVar& Entry() { return *file_.Variables.ItemINT(file_.Variables.Count() - 1); }
    bool Refuse(std::string error);

    HHourFile& file_;
    const HDBDatabase& config_;
    const HDBTable* vars_ = nullptr;
    int64_t from_, start_;
    const std::vector<int>* chosen_;
    int count_ = 0;  // of the entries the file gets
    int next_ = 0;
    const HDBStateSet* set_ = nullptr;  // of the variable being filled
    int64_t last_ = INT64_MIN;
    std::vector<HHourSample> converted_;  // a run as hour samples
    std::string error_;
};

}  // namespace host
