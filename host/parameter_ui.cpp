// Keeps the effect controls panel in step with Edge Mode, and the instance's
// snapshot of the parameter state fresh.
#include "engine/render_settings.h"
#include "host/commands.h"
#include "host/effect_data.h"
#include "host/owned_handle.h"
#include "host/parameters.h"
#include "host/suite_handler.h"

namespace {

// Renews the snapshot in the sequence data when the parameters differ from
// it, or when no update has yet succeeded. Returns the first host error.
PF_Err RenewParameterSnapshot(PF_InData* in_data, PF_OutData* out_data, SuiteHandler* suites,
                              const GlobalData& global) {
    const ParamUtilsSuiteTable* param_utils = suites->ParamUtilsSuite();
    PF_Err err = PF_Err_NONE;
    PF_Boolean changed = false;
    const SequenceData* stored = HandleContents<SequenceData>(in_data->sequence_data);
    if (stored) {
        err = param_utils->PF_HasParamChanged(in_data->effect_ref, &stored->parameter_state,
                                              PF_ParamIndex_CHECK_ALL_HONOR_EXCLUDE, &changed);
    } else {
        // Nothing to compare with (set-up could not make the record): take a
        // snapshot rather than read through a missing handle.
        changed = true;
    }
    if (!changed && global.initialized) {
        return err;
    }

    PF_UtilCallbacks* utils = in_data->utils;
    // The new record is filled before the old one goes; if it cannot be
    // stored it goes back to the host when this scope ends.
    OwnedHandle snapshot(utils->host_new_handle(sizeof(SequenceData)), *utils);
    if (!snapshot.get()) {
        return err;  // short of memory: keep the old snapshot and carry on
    }
    if (!err) {
        err = param_utils->PF_GetCurrentState(
            in_data->effect_ref, &HandleContents<SequenceData>(snapshot.get())->parameter_state);
    }
    if (!err) {
        if (in_data->sequence_data) {
            suites->HandleSuite()->host_dispose_handle(in_data->sequence_data);
        }
        out_data->sequence_data = snapshot.get();
        in_data->sequence_data = snapshot.Release();
    }
    return err;
}

// Enables the edge control that Edge Mode uses and greys out the other, by
// handing the host changed copies of their definitions.
PF_Err ShowEdgeControls(PF_InData* in_data, SuiteHandler* suites, bool lightness_in_use,
                        PF_ParamDef work[]) {
    const ParamUtilsSuiteTable* param_utils = suites->ParamUtilsSuite();
    PF_Err err = PF_Err_NONE;
    const ParamIndex edge_controls[] = {ParamEdgeLightness, ParamEdgeColor};
    for (const ParamIndex index : edge_controls) {
        const ControlDefinition& control = Control(index);
        PF_ParamDef& copy = work[index];
        const bool in_use = (index == ParamEdgeLightness) == lightness_in_use;
        copy.param_type = control.kind;
        if (in_use) {
            copy.ui_flags &= ~PF_PUI_DISABLED;
        } else {
            copy.ui_flags |= PF_PUI_DISABLED;
        }
        in_data->utils->ansi.strcpy(copy.name, control.name);
        if (!err) {
            err = param_utils->PF_UpdateParamUI(in_data->effect_ref, index, &copy);
        }
    }
    return err;
}

}  // namespace

// The host's own definitions are never written; only the copies are handed back.
void CopyParamDefinitions(PF_ParamDef* const params[], PF_ParamDef work[ParamCount]) {
    __builtin_memset(work, 0, sizeof(PF_ParamDef) * ParamCount);
    work[ParamEdgeLightness] = *params[ParamEdgeLightness];
    work[ParamEdgeColor] = *params[ParamEdgeColor];
}

PF_Err RefreshParameterUi(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                          PF_LayerDef* /*output*/, void* /*extra*/) {
    PF_Err err = PF_Err_NONE;
    SuiteHandler suites(in_data->pica_basicP);
    GlobalData* global = HandleContents<GlobalData>(in_data->global_data);
    if (global) {
        // The update reads the edge controls from the host's array: without
        // all the controls there is nothing safe to read.
        if (!params || in_data->num_params < ParamCount) {
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        PF_ParamDef work[ParamCount];
        CopyParamDefinitions(params, work);

        err = RenewParameterSnapshot(in_data, out_data, &suites, *global);
        if (!err) {
            switch (params[ParamEdgeMode]->u.pd.value) {
                case EdgeModeLightness:
                    err = ShowEdgeControls(in_data, &suites, true, work);
                    break;
                case EdgeModeColor:
                    err = ShowEdgeControls(in_data, &suites, false, work);
                    break;
                default:  // neither control is in use: leave both as they are
                    break;
            }
        }
        if (err) {
            in_data->utils->ansi.strcpy(out_data->return_msg, "ERROR");
            out_data->out_flags = PF_OutFlag_DISPLAY_ERROR_MESSAGE;
        } else {
            global->initialized = 1;
        }
    }
    out_data->out_flags |= PF_OutFlag_REFRESH_UI;
    return err;
}
