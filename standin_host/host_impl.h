// The inside of a Host: what the service functions reach through the current
// host of the calling thread. Not part of the public API.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "standin_host/standin_host.h"

namespace standin {

// A handle's memory. PF_Handle is the address of `data`, so the record must
// stay where it is: records live until the host goes, disposed ones as
// tombstones that catch a second dispose.
struct HandleRecord {
    void* data = nullptr;
    A_HandleSize size = 0;
    A_long lock_count = 0;
    bool alive = true;
};

struct ParamKey {
    A_long time = 0;
    A_u_long time_scale = 1;
    A_long value = 0;
    PF_Pixel color{};
};

// One registered parameter. Heap-held so that the strings' addresses, which
// the definition points at, never move.
struct ParamSlot {
    PF_ParamDef def{};           // as registered; the value member holds the constant value
    std::string choices;         // popup entries, owned copy
    std::string checkbox_label;  // owned copy
    std::vector<ParamKey> keys;  // sorted by time
    A_long last_change = 0;      // the change counter when the value last changed
    A_long checked_out = 0;      // checkouts not checked in
    bool ui_updated = false;
    PF_ParamDef ui_copy{};  // the last definition handed to PF_UpdateParamUI
};

struct ArmedFailure {
    Failure failure;
    int seen = 0;
};

struct OfferedSuite {
    const char* name;
    A_long version;
    const void* table;
};

struct Host::Impl {
    explicit Impl(Host* owner);
    ~Impl();

    Host* host;
    A_long serial;  // tells this host's parameter states from others'

    // The suite tables and callbacks handed to the effect.
    SPBasicSuite basic{};
    PF_UtilCallbacks utils{};
    PF_HandleSuite1 handle_suite{};
    AEGP_UtilitySuite7 utility_suite{};
    PF_ParamUtilsSuite1 param_utils_suite{};
    PF_WorldSuite2 world_suite{};
    PF_ColorCallbacksFloatSuite1 color_suite{};
    PF_FillMatteSuite2 fill_suite{};
    PF_ANSICallbacks ansi_suite{};
    std::vector<OfferedSuite> offered;

    PF_Cmd current_cmd = -1;  // while a Send runs
    bool in_command = false;

    // Failure injection, counts, log.
    std::vector<ArmedFailure> failures;
    std::array<int, kServiceCount> counts{};
    bool log_enabled = true;
    std::vector<CallRecord> log;

    // Cancel and progress.
    const std::atomic<bool>* external_cancel = nullptr;
    std::atomic<bool> cancel_requested{false};
    std::function<void(A_long, A_long)> progress_observer;

    // Handles, blocks, worlds.
    std::vector<std::unique_ptr<HandleRecord>> handle_records;
    std::unordered_map<PF_Handle, HandleRecord*> handles;
    std::map<void*, size_t> blocks;                  // AllocateBlock: address -> size
    std::vector<std::unique_ptr<World>> new_worlds;  // PF_NewWorld

    // Suites: acquisitions minus releases, by name and version.
    std::map<std::pair<std::string, A_long>, A_long> suites_held;

    // Parameters and their state.
    std::vector<std::unique_ptr<ParamSlot>> params;
    A_long change_counter = 0;
    std::vector<PF_ParamDef> current_params;
    std::vector<PF_ParamDef*> current_param_pointers;

    // The frame being rendered.
    const World* input_world = nullptr;
    World* output_world = nullptr;
    void* pending_pre_render_data = nullptr;   // held from pre-render to its smart render
    std::map<A_long, A_long> layer_checkouts;  // checkout id -> pixels checked out
    std::function<void(const PF_RenderRequest&, PF_CheckoutResult*)> checkout_layer_answer;

    // Problems met as they happened (the books add the imbalances of the moment).
    std::vector<std::string> problems;
    std::array<bool, kServiceCount> foreign_ref_reported{};
    A_long next_plugin_id = 1;

    void Problem(const std::string& text) { problems.push_back(text); }
    HandleRecord* FindLive(PF_Handle handle, const char* what);
    bool HeldByHost(PF_Handle handle) const;
    PF_PixelFormat FormatOf(const PF_EffectWorld* world) const;
    bool CancelRequested() const;
    uint64_t Hash() const;
    void MarkChanged(ParamSlot& slot);
};

// The host whose Send() is running on this thread, or null.
Host::Impl* CurrentHost();
// Makes `impl` the current host of this thread until the scope ends.
class CurrentHostScope {
  public:
    explicit CurrentHostScope(Host::Impl* impl);
    ~CurrentHostScope();
    CurrentHostScope(const CurrentHostScope&) = delete;
    CurrentHostScope& operator=(const CurrentHostScope&) = delete;

  private:
    Host::Impl* previous_;
};

// Fills the service tables of `impl` (services.cpp).
void InstallServices(Host::Impl* impl);

// The value member of a definition: slider, fixed slider, popup, checkbox;
// null for other kinds.
A_long* NumericValue(PF_ParamDef* def);
PF_Pixel* ColorValue(PF_ParamDef* def);

}  // namespace standin
