// What the effect keeps between commands, in handles that the host holds.
#pragma once

#include "host/interface/ae_effect.h"

// The global-data handle: one per load of the plug-in.
struct GlobalData {
    A_u_char initialized;     // 1 after global set-up and after every error-free UI update
    AEGP_PluginID plugin_id;  // handed back by the host's registration
};

// The sequence-data handle: one per effect instance. It holds the parameter
// state at the last UI update. Set-up makes it zero-filled and at full size, so
// that the first comparison reads a whole state record and finds it differs.
struct SequenceData {
    PF_State parameter_state;
};
static_assert(sizeof(SequenceData) == sizeof(PF_State), "sequence data is one state record");

// The contents of a handle that the host holds for us, reached without locking.
template <typename Record>
Record* HandleContents(PF_Handle handle) {
    return handle ? static_cast<Record*>(*handle) : nullptr;
}
