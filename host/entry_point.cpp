// The plug-in's one way in: the host calls EntryPointFunc for every command.
#include <type_traits>

#include "host/commands.h"

#if defined(_WIN32)
#define OSTREL_EXPORT __declspec(dllexport)
#else
#define OSTREL_EXPORT __attribute__((visibility("default")))
#endif

extern "C" OSTREL_EXPORT PF_Err EntryPointFunc(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                               PF_ParamDef* params[], PF_LayerDef* output,
                                               void* extra) {
    PF_Err err = PF_Err_NONE;
    try {
        // Unsigned, so that a negative selector is one we do not answer.
        switch (static_cast<A_u_long>(cmd)) {
            case PF_Cmd_ABOUT:
                err = About(in_data, out_data, params, output);
                break;
            case PF_Cmd_GLOBAL_SETUP:
                err = GlobalSetup(in_data, out_data, params, output);
                break;
            case PF_Cmd_GLOBAL_SETDOWN:
                err = GlobalSetdown(in_data);
                break;
            case PF_Cmd_PARAMS_SETUP:
                err = DefineParameters(in_data, out_data, params, output);
                break;
            case PF_Cmd_SEQUENCE_SETUP:
            case PF_Cmd_SEQUENCE_RESETUP:
                err = SequenceSetup(in_data, out_data);
                break;
            case PF_Cmd_SEQUENCE_SETDOWN:
                err = SequenceSetdown(in_data, out_data);
                break;
            case PF_Cmd_USER_CHANGED_PARAM:
            case PF_Cmd_UPDATE_PARAMS_UI:
                err = RefreshParameterUi(in_data, out_data, params, output, extra);
                break;
            case PF_Cmd_SMART_PRE_RENDER:
                err = PrepareRender(in_data, out_data, static_cast<PF_PreRenderExtra*>(extra));
                break;
            case PF_Cmd_SMART_RENDER:
                err = RenderFrame(in_data, out_data, static_cast<PF_SmartRenderExtra*>(extra));
                break;
#if OSTREL_INTERFACE_12_10
            case PF_Cmd_COMPLETELY_GENERAL:
                err = EchoGeneralCommand(in_data, out_data, params, output, extra);
                break;
#endif
            default:
                // Rendering goes through the smart pair alone, and the sequence
                // data is never flattened.
                break;
        }
    } catch (PF_Err thrown) {
        // A refused suite: the host gets the bare code.
        err = thrown;
    }
    return err;
}

static_assert(sizeof(PF_Err) == 4, "the thrown code is the host's 32-bit error type");
static_assert(std::is_same<decltype(&EntryPointFunc), PF_EntryPointFunc>::value,
              "the entry point has the signature the host calls");
