// The fixture effect module, loaded once for all tests.
#pragma once

#include <functional>
#include <string>

#include "standin_host/standin_host.h"

namespace standin_test {

enum FixtureControl { kSize = 1, kGain = 2, kShape = 3, kFlip = 4, kTint = 5 };

PF_EntryPointFunc FixtureEntryPoint();

// The books' problems as one text, for failure messages.
std::string Describe(const std::vector<std::string>& problems);

// A world of the given format whose pixel (x, y) has channels derived from
// x, y and the channel, so that every pixel differs.
std::unique_ptr<standin::World> PatternWorld(A_long width, A_long height, PF_PixelFormat format);

// An effect whose every command runs the body a test hands it: a plain entry
// point for tests that call the host's services from inside a command.
using EffectBody = std::function<PF_Err(PF_Cmd, PF_InData*, PF_OutData*, void* extra)>;
PF_Err ScriptedEntryPoint(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                          PF_ParamDef* params[], PF_LayerDef* output, void* extra);
// Sets the body that ScriptedEntryPoint runs on this thread.
void SetEffectBody(EffectBody body);
// The fixture effect, except while RunInEffect runs a body.
PF_Err ProbedFixtureEntryPoint(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                               PF_ParamDef* params[], PF_LayerDef* output, void* extra);
// Sends `cmd` to a host made on ScriptedEntryPoint or ProbedFixtureEntryPoint,
// running `body` inside it instead of the effect.
PF_Err RunInEffect(standin::Host& host, const std::function<PF_Err(PF_InData*)>& body,
                   PF_Cmd cmd = PF_Cmd_COMPLETELY_GENERAL);

}  // namespace standin_test
