#include "runnotes.h"

namespace host {

void RunNotes::Clear() {
    unverified_ = 0;
    withoutData_.clear();
    outputs_.clear();
    undelivered_.clear();
    counts_.reset();
    unexplained_.reset();
}

RunNotes& CurrentRunNotes() {
    static RunNotes notes;
    return notes;
}

}  // namespace host
