#include "tests/binding/effect_harness.h"

namespace ostrel_test {

PF_EntryPointFunc EntryPoint() {
    static std::unique_ptr<standin::PluginModule> module;
    static std::string error;
    if (!module && error.empty()) {
        module = standin::PluginModule::Load(standin::DefaultPluginPath(), &error);
    }
    if (!module) {
        ADD_FAILURE() << "cannot load the effect: " << error;
        return nullptr;
    }
    return module->entry_point();
}

std::string DescribeProblems(const standin::Host& host) {
    std::string text = "the host's books do not balance:";
    for (const std::string& problem : host.Problems()) {
        text += "\n  " + problem;
    }
    return text;
}

std::vector<standin::CallRecord> Calls(const standin::Host& host, standin::Service service) {
    return host.CallsOf(service);
}

std::vector<standin::Service> ServiceSequence(const standin::Host& host) {
    std::vector<standin::Service> services;
    for (const standin::CallRecord& call : host.call_log()) {
        services.push_back(call.service);
    }
    return services;
}

std::vector<std::string> SuiteTraffic(const standin::Host& host) {
    std::vector<std::string> traffic;
    for (const standin::CallRecord& call : host.call_log()) {
        if (call.service == standin::Service::AcquireSuite) {
            traffic.push_back("+" + call.suite_name + " " + std::to_string(call.suite_version) +
                              (call.injected ? " refused" : ""));
        } else if (call.service == standin::Service::ReleaseSuite) {
            traffic.push_back("-" + call.suite_name + " " + std::to_string(call.suite_version));
        }
    }
    return traffic;
}

RenderBlocks::RenderBlocks(standin::Host& host_in, const standin::World& input)
    : host(host_in),
      output(standin::World::Allocate(input.width(), input.height(), input.pixel_format())) {
    host.BindFrameWorlds(&input, output.get());
    pre_input.output_request.rect = {0, 0, input.width(), input.height()};
    pre_input.output_request.channel_mask = 0xF;
    pre_input.bitdepth = static_cast<A_short>(standin::BytesPerPixel(input.pixel_format()) * 2);
    pre_extra.input = &pre_input;
    pre_extra.output = &pre_output;
    pre_extra.cb = &host.pre_render_callbacks;
    smart_input.output_request = pre_input.output_request;
    smart_input.bitdepth = pre_input.bitdepth;
    smart_extra.input = &smart_input;
    smart_extra.cb = &host.smart_render_callbacks;
}

PF_Err RenderBlocks::PreRender() {
    return host.Send(PF_Cmd_SMART_PRE_RENDER, nullptr, nullptr, &pre_extra);
}

PF_Err RenderBlocks::SmartRender() {
    smart_input.pre_render_data = pre_output.pre_render_data;
    const PF_Err err = host.Send(PF_Cmd_SMART_RENDER, nullptr, nullptr, &smart_extra);
    host.EndFrame();
    return err;
}

std::unique_ptr<standin::World> SolidWorld(A_long width, A_long height, PF_PixelFormat format,
                                           PF_PixelFloat color) {
    std::unique_ptr<standin::World> world = standin::World::Allocate(width, height, format);
    for (A_long y = 0; y < height; ++y) {
        for (A_long x = 0; x < width; ++x) {
            switch (format) {
                case PF_PixelFormat_ARGB32:
                    world->At<PF_Pixel>(x, y) = {static_cast<A_u_char>(color.alpha * 255),
                                                 static_cast<A_u_char>(color.red * 255),
                                                 static_cast<A_u_char>(color.green * 255),
                                                 static_cast<A_u_char>(color.blue * 255)};
                    break;
                case PF_PixelFormat_ARGB64:
                    world->At<PF_Pixel16>(x, y) = {static_cast<A_u_short>(color.alpha * 32768),
                                                   static_cast<A_u_short>(color.red * 32768),
                                                   static_cast<A_u_short>(color.green * 32768),
                                                   static_cast<A_u_short>(color.blue * 32768)};
                    break;
                default:
                    world->At<PF_PixelFloat>(x, y) = color;
                    break;
            }
        }
    }
    return world;
}

}  // namespace ostrel_test
