#include "tests/standin_host/fixture.h"

#include <gtest/gtest.h>

namespace standin_test {

PF_EntryPointFunc FixtureEntryPoint() {
    static std::unique_ptr<standin::PluginModule> module = [] {
        std::string error;
        std::unique_ptr<standin::PluginModule> loaded =
            standin::PluginModule::Load(STANDIN_FIXTURE_EFFECT, &error);
        EXPECT_TRUE(loaded) << error;
        return loaded;
    }();
    return module ? module->entry_point() : nullptr;
}

std::string Describe(const std::vector<std::string>& problems) {
    std::string text;
    for (const std::string& problem : problems) text += "\n  " + problem;
    return text;
}

std::unique_ptr<standin::World> PatternWorld(A_long width, A_long height, PF_PixelFormat format) {
    std::unique_ptr<standin::World> world = standin::World::Allocate(width, height, format);
    for (A_long y = 0; y < height; ++y) {
        for (A_long x = 0; x < width; ++x) {
            const int seed = 1 + x + 16 * y;
            switch (format) {
                case PF_PixelFormat_ARGB32:
                    world->At<PF_Pixel>(x, y) =
                        PF_Pixel{static_cast<A_u_char>(seed), static_cast<A_u_char>(seed + 1),
                                 static_cast<A_u_char>(seed + 2), static_cast<A_u_char>(seed + 3)};
                    break;
                case PF_PixelFormat_ARGB64:
                    world->At<PF_Pixel16>(x, y) = PF_Pixel16{
                        static_cast<A_u_short>(seed * 100), static_cast<A_u_short>(seed * 100 + 1),
                        static_cast<A_u_short>(seed * 100 + 2),
                        static_cast<A_u_short>(seed * 100 + 3)};
                    break;
                default:
                    world->At<PF_PixelFloat>(x, y) =
                        PF_PixelFloat{seed * 0.01f, seed * 0.02f, seed * 0.03f, -seed * 0.5f};
            }
        }
    }
    return world;
}

namespace {
thread_local EffectBody t_body;
thread_local const std::function<PF_Err(PF_InData*)>* t_probe = nullptr;
}  // namespace

PF_Err ScriptedEntryPoint(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef*[],
                          PF_LayerDef*, void* extra) {
    if (t_probe) return (*t_probe)(in_data);
    return t_body ? t_body(cmd, in_data, out_data, extra) : PF_Err_NONE;
}

PF_Err ProbedFixtureEntryPoint(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                               PF_ParamDef* params[], PF_LayerDef* output, void* extra) {
    if (t_probe) return (*t_probe)(in_data);
    return FixtureEntryPoint()(cmd, in_data, out_data, params, output, extra);
}

void SetEffectBody(EffectBody body) { t_body = std::move(body); }

PF_Err RunInEffect(standin::Host& host, const std::function<PF_Err(PF_InData*)>& body, PF_Cmd cmd) {
    t_probe = &body;
    const PF_Err err = host.Send(cmd);
    t_probe = nullptr;
    return err;
}

}  // namespace standin_test
