// Operations 5 to 7 of the descriptor: Init, Done, Probe.
#include <cstring>

#include "plantdb/dbdatabase.h"
#include "plugin_state.h"
#include "report_tripwatch.h"

using tripplug::State;

void ReportTripwatch::Init(const RTPInfo* info) {
    std::memcpy(&State().HostInfo, info, sizeof(RTPInfo));
    // A host that calls Init again gets a fresh database, not a second one.
    HDBDestroy(State().PluginDatabase);
    State().PluginDatabase = DBCreateDatabase();
    State().PluginDatabase->ConfigId = 0;
}

void ReportTripwatch::Done() {
    HDBDestroy(State().PluginDatabase);
}

bool ReportTripwatch::Probe() {
    return true;
}
