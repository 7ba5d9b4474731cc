// Operations 5 to 7 of the descriptor: Init, Done, Probe.
#include <cstring>

#include "plantdb/dbdatabase.h"
#include "plugin_state.h"
#include "report_tripwatch.h"

using tripplug::State;

void ReportTripwatch::Init(const RTPInfo* info) {
    std::memcpy(&State().HostInfo, info, sizeof(RTPInfo));
    State().PluginDatabase = DBCreateDatabase();
    State().PluginDatabase->ConfigId = 0;
}

void ReportTripwatch::Done() {
    HDBDestroy(State().PluginDatabase);
}

bool ReportTripwatch::Probe() {
    return true;
}
