// About, and the commands that make and dispose of the global and sequence data.
#include "host/commands.h"
#include "host/effect_data.h"
#include "host/effect_identity.h"
#include "host/owned_handle.h"
#include "host/suite_handler.h"

namespace {

// The name under which the effect registers with the host.
const char kRegistrationName[] = "Error!";

}  // namespace

PF_Err About(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* /*params*/[],
             PF_LayerDef* /*output*/) {
#if OSTREL_INTERFACE_12_10
    // The 12.10 build formats through the ANSI suite and shows no bug-fix digit.
    SuiteHandler suites(in_data->pica_basicP);
    suites.AnsiSuite()->sprintf(out_data->return_msg, "%s, v%d.%d\r%s", OSTREL_EFFECT_NAME,
                                OSTREL_EFFECT_MAJOR_VERSION, OSTREL_EFFECT_MINOR_VERSION,
                                OSTREL_EFFECT_DESCRIPTION);
#else
    in_data->utils->ansi.sprintf(out_data->return_msg, "%s, v%d.%d%d\r%s", OSTREL_EFFECT_NAME,
                                 OSTREL_EFFECT_MAJOR_VERSION, OSTREL_EFFECT_MINOR_VERSION,
                                 OSTREL_EFFECT_BUG_VERSION, OSTREL_EFFECT_DESCRIPTION);
#endif
    return PF_Err_NONE;
}

PF_Err GlobalSetup(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* /*params*/[],
                   PF_LayerDef* /*output*/) {
    SuiteHandler suites(in_data->pica_basicP);
    PF_Err err = PF_Err_NONE;

    out_data->my_version = OSTREL_EFFECT_VERSION;
    out_data->out_flags |= OSTREL_EFFECT_OUT_FLAGS;
    out_data->out_flags2 |= OSTREL_EFFECT_OUT_FLAGS2;

    const HandleSuiteTable* handles = suites.HandleSuite();
    OwnedHandle global_handle(handles->host_new_handle(sizeof(GlobalData)), *handles);
    if (!global_handle.get()) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    GlobalData* global = static_cast<GlobalData*>(global_handle.Lock(handles->host_lock_handle));
    if (global) {
        global->initialized = 1;
        // Premiere hosts the effect without the registration service. The 12.10
        // build registers in every host.
        if (OSTREL_INTERFACE_12_10 || in_data->appl_id != PF_APPL_ID_PREMIERE) {
            err = suites.UtilitySuite()->AEGP_RegisterWithAEGP(nullptr, kRegistrationName,
                                                               &global->plugin_id);
        }
        global_handle.Unlock();
        if (!err) {
            out_data->global_data = global_handle.Release();
        }
    }
    // A handle not handed over (no lock, or a failed registration) is given
    // back as global_handle goes out of scope.
    return err;
}

PF_Err GlobalSetdown(PF_InData* in_data) {
    SuiteHandler suites(in_data->pica_basicP);
    if (in_data->global_data) {
        suites.HandleSuite()->host_dispose_handle(in_data->global_data);
    }
    return PF_Err_NONE;
}

PF_Err SequenceSetdown(PF_InData* in_data, PF_OutData* /*out_data*/) {
    if (!in_data->sequence_data) {
        return PF_Err_NONE;
    }
    SuiteHandler suites(in_data->pica_basicP);
    suites.HandleSuite()->host_dispose_handle(in_data->sequence_data);
    return PF_Err_NONE;
}

// Set-up and re-setup alike: whatever sequence data came in is replaced by a
// fresh, zero-filled record.
PF_Err SequenceSetup(PF_InData* in_data, PF_OutData* out_data) {
    SuiteHandler suites(in_data->pica_basicP);
    const PF_Handle previous = in_data->sequence_data;
    PF_Err err = SequenceSetdown(in_data, out_data);
    // The old handle is gone: the host must not be handed it back if no new
    // one takes its place.
    if (previous && out_data->sequence_data == previous) {
        out_data->sequence_data = nullptr;
    }
    if (err) {
        return err;
    }

    const HandleSuiteTable* handles = suites.HandleSuite();
    OwnedHandle sequence_handle(handles->host_new_handle(sizeof(SequenceData)), *handles);
    if (!sequence_handle.get()) {
        return PF_Err_OUT_OF_MEMORY;
    }
    SequenceData* sequence =
        static_cast<SequenceData*>(sequence_handle.Lock(handles->host_lock_handle));
    if (sequence) {
        __builtin_memset(sequence, 0, sizeof(*sequence));
        sequence_handle.Unlock();
        out_data->sequence_data = sequence_handle.Release();
    }
    // Without a lock the handle is not handed over and goes back to the host here.
    return err;
}

#if OSTREL_INTERFACE_12_10
PF_Err EchoGeneralCommand(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* /*params*/[],
                          PF_LayerDef* /*output*/, void* extra) {
    SuiteHandler suites(in_data->pica_basicP);
    // The message holds 255 characters and its terminator; a longer text is cut.
    if (extra) {
        suites.AnsiSuite()->sprintf(out_data->return_msg, "%.255s",
                                    static_cast<const char*>(extra));
    }
    return PF_Err_NONE;
}
#endif
