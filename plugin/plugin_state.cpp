#include "plugin_state.h"

namespace tripplug {
PluginState& State() {
    static PluginState state;
    return state;
}
}  // namespace tripplug
