// ostrel-scenarios [effect module]: runs the shared scenario table against the
// effect and prints one line per scenario. Exits 1 when a scenario ends with
// an unexpected code or leaves the host's books unbalanced, 2 when the effect
// cannot be loaded.
#include <stdio.h>

#include <memory>
#include <string>

#include "tests/windows/scenarios.h"

#if OSTREL_LINK_PLUGIN_INTO_TESTS
// Static programs cannot load a module: the effect is linked in.
extern "C" PF_Err EntryPointFunc(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                 PF_ParamDef* params[], PF_LayerDef* output, void* extra);
#endif

int main(int argc, char** argv) {
#if OSTREL_LINK_PLUGIN_INTO_TESTS
    (void)argc;
    (void)argv;
    const PF_EntryPointFunc entry_point = EntryPointFunc;
#else
    const std::string path = argc > 1 ? argv[1] : standin::DefaultPluginPath();
    std::string error;
    const std::unique_ptr<standin::PluginModule> module = standin::PluginModule::Load(path, &error);
    if (!module) {
        fprintf(stderr, "ostrel-scenarios: %s\n", error.c_str());
        return 2;
    }
    const PF_EntryPointFunc entry_point = module->entry_point();
#endif
    const int failures = scenarios::RunAll(entry_point, stdout);
    fflush(stdout);
    return failures ? 1 : 0;
}
