#include "runnotes.h"

namespace host {

void RunNotes::Clear() {
    unverified_ = 0;
    withoutData_.clear();
    outputs_.clear();
}

RunNotes& CurrentRunNotes() {
    static RunNotes notes;
    return notes;
}

}  // namespace host
