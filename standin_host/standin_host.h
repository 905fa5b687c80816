// The stand-in host: loads the effect module and drives it through its one
// entry point as the real host does, offering every service the effect uses
// and keeping books on what the effect takes and gives back.
//
// Layers, from the bottom:
//   PluginModule    loads the module (dlopen / LoadLibrary), finds EntryPointFunc.
//   Host            one effect as the host sees it: PF_InData / PF_OutData, the
//                   basic suite and every suite table, handles, parameter
//                   storage, failure injection, the call log and the books.
//                   Send() calls the entry point with the host's blocks.
//   EffectInstance  runs the host's order of commands on a Host (set-up, UI
//                   update, frames, set-down) and renders frames through smart
//                   pre-render and smart render.
//
// Services reach their Host through a thread-local "current host" set for the
// length of each Send(), so several hosts can run in parallel threads. A Host
// itself is used by one thread at a time.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/interface/ae_effect.h"
#include "host/interface/ae_smart_render.h"
#include "host/interface/ae_suites.h"
#include "standin_host/services/world.h"

namespace standin {

// ---- Loading the effect ----------------------------------------------------

class PluginModule {
  public:
    // Null when the file cannot be loaded or exports no EntryPointFunc; then
    // *error (if given) says which path failed and why.
    static std::unique_ptr<PluginModule> Load(const std::string& path, std::string* error);
    ~PluginModule();  // unloads the module

    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    PF_EntryPointFunc entry_point() const { return entry_point_; }
    const std::string& path() const { return path_; }

  private:
    PluginModule() = default;
    void* library_ = nullptr;
    PF_EntryPointFunc entry_point_ = nullptr;
    std::string path_;
};

// The file name of the effect module on this platform: "OstrelStrata.so";
// on Windows "OstrelStrata(64bit).aex", or "OstrelStrata.aex" for i386.
const char* PluginFileName();
// The directory of the running executable, with a trailing separator; empty
// when it cannot be found.
std::string ExecutableDirectory();
// The effect module built beside the running executable.
std::string DefaultPluginPath();

// ---- Services --------------------------------------------------------------

// Every service the host offers, for failure injection, call counts and the
// call log. "utils" are the callbacks in in_data->utils, "inter" those in
// in_data->inter; the suites' functions carry the suite's name.
enum class Service {
    // basic suite (in_data->pica_basicP)
    AcquireSuite,
    ReleaseSuite,
    AllocateBlock,
    FreeBlock,
    ReallocateBlock,
    // in_data->inter
    AddParam,
    CheckoutParam,
    CheckinParam,
    Progress,
    Abort,
    // in_data->utils
    UtilsFill,
    UtilsNewHandle,
    UtilsLockHandle,
    UtilsUnlockHandle,
    UtilsDisposeHandle,
    // "PF Handle Suite" 1 and 2
    NewHandle,
    LockHandle,
    UnlockHandle,
    DisposeHandle,
    GetHandleSize,
    ResizeHandle,
    // "AEGP Utility Suite" 7 (its other functions answer 0 and are not logged)
    RegisterWithAEGP,
    // "PF Param Utils Suite" 1 and 2
    UpdateParamUI,
    GetCurrentState,
    HasParamChanged,
    // "PF World Suite" 2
    NewWorld,
    DisposeWorld,
    GetPixelFormat,
    // "PF ColorFloat Suite" 1
    RGBtoHLS,
    HLStoRGB,
    Luminance,
    // "PF Fill Matte Suite" 2
    Fill,
    Fill16,
    FillFloat,
    // smart pre-render and smart render callbacks
    CheckoutLayer,
    CheckoutLayerPixels,
    CheckinLayerPixels,
    CheckoutOutput,
};
constexpr int kServiceCount = static_cast<int>(Service::CheckoutOutput) + 1;

// "AcquireSuite", "PF Handle Suite host_new_handle", "utils host_new_handle", ...
const char* ServiceName(Service service);

// A service told to fail. Calls are counted from the moment the failure is
// armed: nth = 1 fails the very next call of that service.
//
// What a failure does depends on what the service returns:
// - services that return a code (add_param, checkout_param, progress, the
//   param-utils functions, PF_GetPixelFormat, the colour conversions, the
//   fills, AEGP_RegisterWithAEGP, the layer and output checkouts, ...)
//   return `code` and do nothing else;
// - with null_result they also hand back a null pointer where they hand one
//   out (AcquireSuite's table, checkout_layer_pixels' and checkout_output's
//   world) or PF_PixelFormat_INVALID (PF_GetPixelFormat);
// - AcquireSuite may return `code` 0 with a null table, or a non-zero code
//   with a real table (null_result false): both halves are the test's to set;
//   a table handed out with an error is not counted as acquired;
// - host_new_handle and host_lock_handle (utils and suite) return null;
// - services that return nothing (unlock, dispose) cannot fail.
struct Failure {
    Service service = Service::AcquireSuite;
    int nth = 1;
    PF_Err code = PF_Err_INTERNAL_STRUCT_DAMAGED;
    bool null_result = false;
    // AcquireSuite / ReleaseSuite only: count only calls naming this suite
    // (any version); empty counts every call.
    std::string suite_name;
    // Fail the nth call and every later one (a suite refused for good).
    bool every_later_call = false;

    static Failure Code(Service service, int nth, PF_Err code);
    static Failure Null(Service service, int nth, PF_Err code = PF_Err_NONE);
    // The nth AcquireSuite of `suite_name` answers `code` with no table.
    static Failure RefuseSuite(const std::string& suite_name, int nth = 1,
                               PF_Err code = PF_Err_BAD_CALLBACK_PARAM);
};

// What the basic suite answers for a suite it does not offer.
constexpr SPErr kSuiteNotOffered = OSTREL_FOURCC('S', '!', 'F', 'd');

// One call the effect made, in order. Fields not used by a service stay 0 /
// empty; the comment says which services fill each.
struct CallRecord {
    Service service = Service::AcquireSuite;
    PF_Err result = PF_Err_NONE;  // the code answered (0 for void services)
    bool injected = false;        // failed on purpose (a Failure)

    std::string suite_name;  // AcquireSuite, ReleaseSuite
    A_long suite_version = 0;

    // add_param (the index asked for, usually -1), checkout_param,
    // checkin_param (the index found from the id), PF_UpdateParamUI,
    // PF_HasParamChanged, checkout_layer (the layer's index)
    PF_ParamIndex param_index = 0;
    // add_param, checkout_param, checkin_param, PF_UpdateParamUI: from the
    // definition handed over (checkout_param: as handed back)
    A_long param_id = 0;
    PF_ParamType param_type = 0;
    std::string param_name;
    PF_ParamUIFlags ui_flags = 0;
    PF_ParamFlags param_flags = 0;

    A_long checkout_id = 0;  // checkout_layer, checkout_layer_pixels, checkin_layer_pixels

    // new handle / resize (size asked for), get size (size answered),
    // AllocateBlock, ReallocateBlock
    A_HandleSize size = 0;
    // handle functions: the handle passed in, or the new one (null on failure)
    PF_Handle handle = nullptr;

    // checkout_param, checkout_layer
    A_long time = 0;
    A_long time_step = 0;
    A_u_long time_scale = 0;

    A_long done = 0;  // progress
    A_long total = 0;

    // fills: whole_world when the rectangle was null; otherwise the rectangle
    // as left, top, right, bottom whatever the interface's layout
    bool whole_world = false;
    A_long rect[4] = {0, 0, 0, 0};
    double color[4] = {0, 0, 0, 0};  // fills: alpha, red, green, blue as passed

    // fills, PF_GetPixelFormat: the world passed; checkouts: the world handed out
    const PF_EffectWorld* world = nullptr;
    PF_PixelFormat pixel_format = 0;  // PF_GetPixelFormat: the format answered

    PF_RenderRequest request{};  // checkout_layer: the request as passed
    std::string text;            // AEGP_RegisterWithAEGP: the plug-in name
};

// A handle as the host tracks it.
struct HandleState {
    bool alive = false;  // false once disposed
    A_HandleSize size = 0;
    A_long lock_count = 0;  // locks minus unlocks (never below 0)
    void* data = nullptr;   // the block (null once disposed)
};

// One control as the effect registered it, for listings and checks. Numbers
// are the raw stored values (a fixed slider's are 16.16).
struct ControlInfo {
    PF_ParamIndex index = 0;
    std::string name;
    PF_ParamType type = 0;
    A_long valid_min = 0, valid_max = 0;
    A_long slider_min = 0, slider_max = 0;
    A_long default_value = 0;  // slider, fixed slider, popup (1-based), checkbox
    PF_Pixel default_color{};  // colour
    A_long value = 0;          // current constant value, as default_value
    PF_Pixel color{};          // current constant colour
    A_short precision = 0;     // fixed slider
    A_short display_flags = 0;
    std::vector<std::string> choices;  // popup entries
    std::string checkbox_label;
    PF_ParamUIFlags ui_flags = 0;  // as the last PF_UpdateParamUI left them
    bool disabled() const { return (ui_flags & PF_PUI_DISABLED) != 0; }
};

// ---- The host --------------------------------------------------------------

class Host {
  public:
    explicit Host(PF_EntryPointFunc entry_point);
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // The blocks handed to the effect. Public so that a test can tamper with
    // any field before Send(). in_data starts as the host fills it: every
    // callback and the basic suite, effect_ref, version_major/minor of the
    // interface generation, appl_id 'FXTC', time 0 of step 1 at scale 30,
    // down-sampling and pixel aspect 1/1. out_data starts zeroed.
    PF_InData in_data{};
    PF_OutData out_data{};

    // Calls EntryPointFunc with the host's blocks, with this host as the
    // current host of the calling thread. Afterwards the host keeps what the
    // effect handed over, as a real host does: a global_data or
    // sequence_data that the effect changed in out_data becomes in_data's;
    // after global or sequence set-down, and whenever the handle in in_data
    // has been disposed, in_data forgets it. out_data is never reset.
    PF_Err Send(PF_Cmd cmd, PF_ParamDef** params = nullptr, PF_LayerDef* output = nullptr,
                void* extra = nullptr);

    PF_EntryPointFunc entry_point() const { return entry_point_; }

    // -- Failure injection, call counts and log
    void InjectFailure(const Failure& failure);
    void ClearFailures();
    // Calls since the host was made (or ResetCounts), failed ones included.
    int CallCount(Service service) const;
    void ResetCounts();
    // The log is on by default; a renderer turns it off (every colour
    // conversion of a frame would be logged).
    void SetCallLogEnabled(bool enabled);
    const std::vector<CallRecord>& call_log() const;
    std::vector<CallRecord> CallsOf(Service service) const;
    void ClearCallLog();

    // -- Cancel and progress
    // progress (and abort) answer PF_Interrupt_CANCEL once the flag is set.
    // The flag may be shared by many hosts and set from a signal handler.
    void SetCancelFlag(const std::atomic<bool>* flag);
    void RequestCancel();
    void ClearCancel();
    bool CancelRequested() const;
    // Called on every progress call, before the cancel is looked at.
    void SetProgressObserver(std::function<void(A_long done, A_long total)> observer);

    // -- Parameters. Index 0 is the input layer, which the host adds itself;
    // add_param appends the effect's definitions after it.
    A_long param_count() const;
    // The definition as registered, with the current constant value and the
    // ui_flags the last PF_UpdateParamUI set. index must be < param_count().
    const PF_ParamDef& definition(PF_ParamIndex index) const;
    ControlInfo Control(PF_ParamIndex index) const;
    // Sets the constant value (raw: slider, fixed 16.16, popup 1-based,
    // checkbox 0/1) and drops the control's keyframes. Values are stored as
    // given, in range or not. False for an unknown index or a kind without
    // such a value (a colour takes SetColor).
    bool SetValue(PF_ParamIndex index, A_long value);
    bool SetColor(PF_ParamIndex index, PF_Pixel color);
    // A keyframe: the value holds from `time` (in units of 1/time_scale
    // seconds) until the next keyframe; before the first, the constant value.
    bool SetValueAt(PF_ParamIndex index, A_long time, A_u_long time_scale, A_long value);
    bool SetColorAt(PF_ParamIndex index, A_long time, A_u_long time_scale, PF_Pixel color);
    // The definition with its value at a time, as checkout_param hands it.
    PF_ParamDef ValueAt(PF_ParamIndex index, A_long time, A_u_long time_scale) const;
    // The parameter array for a command, with values at in_data.current_time;
    // valid until the next call or parameter change. Index 0's layer is the
    // bound input world, if any.
    PF_ParamDef** CurrentParams();
    // The copy of the definition last handed to PF_UpdateParamUI for index,
    // or null.
    const PF_ParamDef* LastUiUpdate(PF_ParamIndex index) const;
    // The 16-byte state PF_GetCurrentState writes now.
    PF_State CurrentState() const;

    // -- Frame callbacks, for tests that send the render commands
    // themselves. EffectInstance::RenderFrame fills these for its frames.
    PF_PreRenderCallbacks pre_render_callbacks{};
    PF_SmartRenderCallbacks smart_render_callbacks{};
    // What checkout_layer_pixels and checkout_output hand out (not owned;
    // null: the checkout fails with PF_Err_BAD_CALLBACK_PARAM). The input is
    // lent for reading. Worlds bound here are known to PF_GetPixelFormat.
    void BindFrameWorlds(const World* input, World* output);
    // checkout_layer answers the layer's extent (0, 0, width of the bound
    // input, height) clipped to the request as result_rect, and the extent as
    // max_result_rect. A test can answer differently.
    void SetCheckoutLayerAnswer(
        std::function<void(const PF_RenderRequest& request, PF_CheckoutResult* result)> answer);
    // Ends a frame's checkouts: ids that checkout_layer registered are
    // forgotten; pixels still checked out are recorded as problems.
    void EndFrame();

    // -- The books
    // Everything out of balance now, one sentence each; empty when balanced.
    // Meant to be asked between commands:
    //  - handles alive that the host does not hold (in_data.global_data,
    //    in_data.sequence_data and in_data.frame_data are held, and during
    //    RenderFrame the pre_render_data between pre-render and smart render);
    //  - suites acquired and not released exactly once under the same name
    //    and version; releases without acquisition;
    //  - parameters checked out and not checked in, check-ins of parameters
    //    not checked out; layer pixels not checked in at the end of a frame;
    //  - disposes, locks or unlocks of unknown or disposed handles; blocks
    //    and worlds not freed; calls with a foreign effect_ref; a parameter
    //    set-up whose num_params differs from the definitions added.
    std::vector<std::string> Problems() const;
    bool BooksBalanced() const { return Problems().empty(); }
    // Null state (alive false, size 0) for a handle the host never made.
    HandleState FindHandle(PF_Handle handle) const;
    A_long LiveHandleCount() const;
    // Acquisitions minus releases of one suite name and version.
    A_long SuitesHeld(const std::string& name, A_long version) const;

    struct Impl;  // the services' side of the host

  private:
    friend class EffectInstance;
    PF_EntryPointFunc entry_point_;
    std::unique_ptr<Impl> impl_;
};

// What the effect's commands are called in messages: "global set-up",
// "smart render", ...; "command N" for others.
std::string CommandName(PF_Cmd cmd);

// ---- Frames ----------------------------------------------------------------

struct FrameOptions {
    // The frame's time, as in_data.current_time / time_step / time_scale.
    A_long time = 0;
    A_long time_step = 1;
    A_u_long time_scale = 30;
    // in_data->downsample_x / _y. The input world is already at this
    // resolution (see DownsampleWorld).
    PF_RationalScale downsample_x{1, 1};
    PF_RationalScale downsample_y{1, 1};
    // The output world's format; 0 takes the input's.
    PF_PixelFormat output_format = 0;
    // Hand this world at checkout_output instead of allocating one of the
    // result rectangle's size (a test of mismatched geometry); not owned.
    World* output_world = nullptr;
    // Called just before each command, to tamper with what the effect sees
    // (the output request, the rectangles on entry, in_data...).
    std::function<void(PF_PreRenderExtra& extra)> before_pre_render;
    std::function<void(PF_SmartRenderExtra& extra)> before_smart_render;
};

struct FrameResult {
    PF_Err err = PF_Err_NONE;   // the first non-zero code: pre-render's, else smart render's
    PF_Cmd failed_command = 0;  // PF_Cmd_SMART_PRE_RENDER or _SMART_RENDER when err != 0
    // Empty on success; otherwise what failed, including the effect's
    // return_msg when it asked for it to be shown, or the host's own trouble
    // ("the output world of 100000 x 100000 could not be allocated").
    std::string message;
    bool smart_render_sent = false;
    // Pre-render's answer.
    PF_LRect result_rect{};
    PF_LRect max_result_rect{};
    // The output world (allocated by the host, pre-filled with
    // kUntouchedByte in every byte, padding included); null when the caller
    // supplied one, or when none could be allocated.
    std::unique_ptr<World> output;
};

// Every byte of a fresh output world before the effect paints it, so a test
// can tell an untouched output from a cleared one.
constexpr unsigned char kUntouchedByte = 0xA5;

// Keeps every factor-th pixel of every factor-th row from 0: ceil(w/f) x
// ceil(h/f), as the host renders at 1/factor. Null for factor < 1 or when
// memory cannot be had.
std::unique_ptr<World> DownsampleWorld(const World& full, A_long factor);

// ---- An effect instance ----------------------------------------------------

class EffectInstance {
  public:
    explicit EffectInstance(Host& host);
    ~EffectInstance();  // Stop() if still started
    EffectInstance(const EffectInstance&) = delete;
    EffectInstance& operator=(const EffectInstance&) = delete;

    Host& host() { return host_; }

    // The host's order: global set-up, parameter set-up, sequence set-up, UI
    // update. Stops at the first command that fails and returns its code;
    // what ran stays run (Stop() sets down what was set up).
    PF_Err Start();
    // Sequence set-down (if sequence set-up ran), then global set-down (if
    // global set-up ran). Returns the first non-zero code.
    PF_Err Stop();
    bool started() const { return global_set_up_; }

    // Each sends one command as the host does between set-up and set-down.
    // out_flags and return_msg are cleared before every command.
    PF_Err About();  // the text is left in host().out_data.return_msg
    PF_Err Resetup();
    // PF_Cmd_UPDATE_PARAMS_UI, or PF_Cmd_USER_CHANGED_PARAM for `changed`
    // (>= 0), with the parameters at the current time.
    PF_Err UpdateParamsUi(PF_ParamIndex changed = -1);

    // What global set-up declared.
    A_u_long my_version() const { return my_version_; }
    PF_OutFlags out_flags() const { return out_flags_; }
    PF_OutFlags2 out_flags2() const { return out_flags2_; }

    // The controls the effect registered (index 1 up; index 0 is the layer).
    std::vector<ControlInfo> Controls() const;
    // Index of the control with this name, or -1.
    PF_ParamIndex FindControl(const std::string& name) const;
    bool SetValue(PF_ParamIndex index, A_long value) { return host_.SetValue(index, value); }
    bool SetColor(PF_ParamIndex index, PF_Pixel color) { return host_.SetColor(index, color); }

    // One frame: smart pre-render with an output request for the whole
    // input frame, the layer checked out as the input world, then exactly one
    // smart render with the same pre_render_data (after a successful
    // pre-render only), an output world of the result rectangle's size and
    // the input's format. Afterwards the frame's checkouts end (see
    // Host::EndFrame) and the effect's delete_pre_render_data_func, if any,
    // is called. The books must balance after every frame.
    FrameResult RenderFrame(const World& input, const FrameOptions& options = FrameOptions());

  private:
    PF_Err SendCommand(PF_Cmd cmd, PF_ParamDef** params, void* extra);
    Host& host_;
    bool global_set_up_ = false;
    bool sequence_set_up_ = false;
    A_u_long my_version_ = 0;
    PF_OutFlags out_flags_ = 0;
    PF_OutFlags2 out_flags2_ = 0;
};

}  // namespace standin
