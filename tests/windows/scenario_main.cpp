// ostrel-scenarios [effect module]: runs the shared scenario table against the
// effect and prints one line per scenario. Exits 1 when a scenario ends with
// an unexpected code or leaves the host's books unbalanced, 2 when the effect
// cannot be loaded.
//
// Built three ways: loading the effect module beside it (or the one named);
// with the effect linked in, for static programs that cannot load a module
// (OSTREL_SCENARIOS_LINKED); and in i386 programs, running the 32-bit
// Windows DLL named (OSTREL_SCENARIOS_WIN32_DLL).
#include <stdio.h>

#include <memory>
#include <string>

#include "tests/windows/scenarios.h"

#if OSTREL_SCENARIOS_LINKED
extern "C" PF_Err EntryPointFunc(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                 PF_ParamDef* params[], PF_LayerDef* output, void* extra);
#elif OSTREL_SCENARIOS_WIN32_DLL
#include "tests/windows/pe_image.h"
#endif

int main(int argc, char** argv) {
#if OSTREL_SCENARIOS_LINKED
    (void)argc;
    (void)argv;
    const PF_EntryPointFunc entry_point = EntryPointFunc;
#else
    const std::string path = argc > 1 ? argv[1] : standin::DefaultPluginPath();
    std::string error;
#if OSTREL_SCENARIOS_WIN32_DLL
    const std::unique_ptr<pe_image::PeImage> module = pe_image::PeImage::Load(path, &error);
    const PF_EntryPointFunc entry_point =
        module ? reinterpret_cast<PF_EntryPointFunc>(module->Export("EntryPointFunc")) : nullptr;
#else
    const std::unique_ptr<standin::PluginModule> module = standin::PluginModule::Load(path, &error);
    const PF_EntryPointFunc entry_point = module ? module->entry_point() : nullptr;
#endif
    if (!entry_point) {
        fprintf(stderr, "ostrel-scenarios: %s\n", module ? "no EntryPointFunc" : error.c_str());
        return 2;
    }
#endif
    const int failures = scenarios::RunAll(entry_point, stdout);
    fflush(stdout);
    return failures ? 1 : 0;
}
