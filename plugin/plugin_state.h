// State shared by every descriptor of the loaded plug-in: the host's information
// record, the plug-in's own configuration database and the moment the last
// settings dialog was created. One instance per loaded library; the host calls
// every operation from one thread, so there are no locks.
#pragma once

#include "runtime/rtpmodule.h"

class HDBDatabase;

namespace tripplug {

struct PluginState {
    RTPInfo HostInfo{};                     // copy of the record given to Init; zero until then
    HDBDatabase* PluginDatabase = nullptr;  // owned between Init and Done
    double DialogTime = 0;                  // platform date-time; set when a dialog is created
};

PluginState& State();

}  // namespace tripplug
