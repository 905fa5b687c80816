// The Host: its blocks, parameter storage, the books, and Send().
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "standin_host/host_impl.h"

namespace standin {
namespace {

thread_local Host::Impl* t_current_host = nullptr;

std::atomic<A_long> g_next_serial{1};

// The host's own application id, as the real one reports it.
constexpr A_long kApplicationId = PF_APPL_ID_AFTER_EFFECTS;

class Fnv {
  public:
    void Add(const void* data, size_t size) {
        const unsigned char* bytes = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < size; ++i) {
            hash_ = (hash_ ^ bytes[i]) * 1099511628211ULL;
        }
    }
    template <typename T>
    void Add(const T& value) {
        Add(&value, sizeof(value));
    }
    uint64_t value() const { return hash_; }

  private:
    uint64_t hash_ = 14695981039346656037ULL;
};

// Whether `key` is at or before `time`, each in its own time scale.
bool KeyReached(const ParamKey& key, A_long time, A_u_long time_scale) {
    if (key.time_scale == time_scale) return key.time <= time;
    if (key.time_scale == 0 || time_scale == 0) return false;
    return static_cast<double>(key.time) / key.time_scale <= static_cast<double>(time) / time_scale;
}

}  // namespace

Host::Impl* CurrentHost() { return t_current_host; }

CurrentHostScope::CurrentHostScope(Host::Impl* impl) : previous_(t_current_host) {
    t_current_host = impl;
}
CurrentHostScope::~CurrentHostScope() { t_current_host = previous_; }

A_long* NumericValue(PF_ParamDef* def) {
    switch (def->param_type) {
        case PF_Param_SLIDER:
            return &def->u.sd.value;
        case PF_Param_FIX_SLIDER:
            return &def->u.fd.value;
        case PF_Param_POPUP:
            return &def->u.pd.value;
        case PF_Param_CHECKBOX:
            return &def->u.bd.value;
        default:
            return nullptr;
    }
}

PF_Pixel* ColorValue(PF_ParamDef* def) {
    return def->param_type == PF_Param_COLOR ? &def->u.cd.value : nullptr;
}

// ---- Impl -------------------------------------------------------------------

Host::Impl::Impl(Host* owner) : host(owner), serial(g_next_serial.fetch_add(1)) {}

Host::Impl::~Impl() {
    for (const auto& record : handle_records) std::free(record->data);
    for (const auto& block : blocks) std::free(block.first);
}

HandleRecord* Host::Impl::FindLive(PF_Handle handle, const char* what) {
    if (!handle) {
        Problem(std::string(what) + " of a null handle");
        return nullptr;
    }
    const auto found = handles.find(handle);
    if (found == handles.end()) {
        Problem(std::string(what) + " of a handle the host did not make");
        return nullptr;
    }
    if (!found->second->alive) {
        Problem(std::string(what) + " of a handle already disposed");
        return nullptr;
    }
    return found->second;
}

bool Host::Impl::HeldByHost(PF_Handle handle) const {
    const PF_InData& in = host->in_data;
    return handle == in.global_data || handle == in.sequence_data || handle == in.frame_data ||
           handle == pending_pre_render_data;
}

PF_PixelFormat Host::Impl::FormatOf(const PF_EffectWorld* world) const {
    // By address, or by pixels for a copy of a world's description.
    auto matches = [world](const World* known) {
        return known && (known->effect_world() == world ||
                         (world->data && known->effect_world()->data == world->data));
    };
    if (matches(input_world)) return input_world->pixel_format();
    if (matches(output_world)) return output_world->pixel_format();
    for (const auto& made : new_worlds) {
        if (matches(made.get())) return made->pixel_format();
    }
    return PF_PixelFormat_INVALID;
}

bool Host::Impl::CancelRequested() const {
    return cancel_requested.load() || (external_cancel && external_cancel->load());
}

uint64_t Host::Impl::Hash() const {
    Fnv fnv;
    for (const auto& slot : params) {
        PF_ParamDef def = slot->def;
        if (const A_long* value = NumericValue(&def)) fnv.Add(*value);
        if (const PF_Pixel* color = ColorValue(&def)) fnv.Add(*color);
        for (const ParamKey& key : slot->keys) {
            fnv.Add(key.time);
            fnv.Add(key.time_scale);
            fnv.Add(key.value);
            fnv.Add(key.color);
        }
        fnv.Add(slot->keys.size());
    }
    return fnv.value();
}

void Host::Impl::MarkChanged(ParamSlot& slot) {
    ++change_counter;
    slot.last_change = change_counter;
}

// ---- Host -------------------------------------------------------------------

Failure Failure::Code(Service service, int nth, PF_Err code) {
    Failure failure;
    failure.service = service;
    failure.nth = nth;
    failure.code = code;
    return failure;
}

Failure Failure::Null(Service service, int nth, PF_Err code) {
    Failure failure = Code(service, nth, code);
    failure.null_result = true;
    return failure;
}

Failure Failure::RefuseSuite(const std::string& suite_name, int nth, PF_Err code) {
    Failure failure = Null(Service::AcquireSuite, nth, code);
    failure.suite_name = suite_name;
    return failure;
}

Host::Host(PF_EntryPointFunc entry_point) : entry_point_(entry_point), impl_(new Impl(this)) {
    InstallServices(impl_.get());
    in_data.utils = &impl_->utils;
    in_data.pica_basicP = &impl_->basic;
    in_data.effect_ref = reinterpret_cast<PF_ProgPtr>(impl_.get());
    in_data.quality = 1;
    in_data.version_major = PF_PLUG_IN_VERSION;
    in_data.version_minor = PF_PLUG_IN_SUBVERS;
    in_data.appl_id = kApplicationId;
    in_data.time_step = 1;
    in_data.local_time_step = 1;
    in_data.total_time = 1;
    in_data.time_scale = 30;
    in_data.downsample_x = PF_RationalScale{1, 1};
    in_data.downsample_y = PF_RationalScale{1, 1};
    in_data.pixel_aspect_ratio = PF_RationalScale{1, 1};

    // The input layer comes first, added by the host itself.
    std::unique_ptr<ParamSlot> layer(new ParamSlot);
    layer->def.param_type = PF_Param_LAYER;
    impl_->params.push_back(std::move(layer));
    in_data.num_params = 1;
}

Host::~Host() = default;

PF_Err Host::Send(PF_Cmd cmd, PF_ParamDef** params, PF_LayerDef* output, void* extra) {
    const PF_Handle global_before = out_data.global_data;
    const PF_Handle sequence_before = out_data.sequence_data;
    PF_Err err;
    {
        CurrentHostScope scope(impl_.get());
        const PF_Cmd outer_cmd = impl_->current_cmd;
        impl_->current_cmd = cmd;
        err = entry_point_(cmd, &in_data, &out_data, params, output, extra);
        impl_->current_cmd = outer_cmd;
    }

    // The host keeps what the effect handed over...
    if (out_data.global_data != global_before) in_data.global_data = out_data.global_data;
    if (out_data.sequence_data != sequence_before) in_data.sequence_data = out_data.sequence_data;
    // ...lets go of what a set-down gave back (a failed set-down keeps it, so
    // that it can be asked again)...
    if (err == PF_Err_NONE && cmd == PF_Cmd_GLOBAL_SETDOWN) in_data.global_data = nullptr;
    if (err == PF_Err_NONE && cmd == PF_Cmd_SEQUENCE_SETDOWN) in_data.sequence_data = nullptr;
    // ...and never holds on to a handle the effect disposed.
    for (PF_Handle* held : {&in_data.global_data, &in_data.sequence_data, &in_data.frame_data}) {
        const auto found = impl_->handles.find(*held);
        if (*held && found != impl_->handles.end() && !found->second->alive) *held = nullptr;
    }

    if (cmd == PF_Cmd_PARAMS_SETUP && err == PF_Err_NONE) {
        if (out_data.num_params != param_count()) {
            impl_->Problem("parameter set-up declared " + std::to_string(out_data.num_params) +
                           " parameters but the host holds " + std::to_string(param_count()));
        }
        in_data.num_params = param_count();
    }
    return err;
}

// -- Failures, counts, log

void Host::InjectFailure(const Failure& failure) { impl_->failures.push_back({failure, 0}); }
void Host::ClearFailures() { impl_->failures.clear(); }
int Host::CallCount(Service service) const { return impl_->counts[static_cast<int>(service)]; }
void Host::ResetCounts() { impl_->counts.fill(0); }
void Host::SetCallLogEnabled(bool enabled) { impl_->log_enabled = enabled; }
const std::vector<CallRecord>& Host::call_log() const { return impl_->log; }
void Host::ClearCallLog() { impl_->log.clear(); }

std::vector<CallRecord> Host::CallsOf(Service service) const {
    std::vector<CallRecord> calls;
    for (const CallRecord& record : impl_->log) {
        if (record.service == service) calls.push_back(record);
    }
    return calls;
}

// -- Cancel and progress

void Host::SetCancelFlag(const std::atomic<bool>* flag) { impl_->external_cancel = flag; }
void Host::RequestCancel() { impl_->cancel_requested.store(true); }
void Host::ClearCancel() { impl_->cancel_requested.store(false); }
bool Host::CancelRequested() const { return impl_->CancelRequested(); }
void Host::SetProgressObserver(std::function<void(A_long, A_long)> observer) {
    impl_->progress_observer = std::move(observer);
}

// -- Parameters

A_long Host::param_count() const { return static_cast<A_long>(impl_->params.size()); }

const PF_ParamDef& Host::definition(PF_ParamIndex index) const {
    return impl_->params.at(static_cast<size_t>(index))->def;
}

ControlInfo Host::Control(PF_ParamIndex index) const {
    const ParamSlot& slot = *impl_->params.at(static_cast<size_t>(index));
    const PF_ParamDef& def = slot.def;
    ControlInfo info;
    info.index = index;
    info.name.assign(def.name, strnlen(def.name, sizeof(def.name)));
    info.type = def.param_type;
    info.ui_flags = def.ui_flags;
    switch (def.param_type) {
        case PF_Param_SLIDER:
            info.valid_min = def.u.sd.valid_min;
            info.valid_max = def.u.sd.valid_max;
            info.slider_min = def.u.sd.slider_min;
            info.slider_max = def.u.sd.slider_max;
            info.default_value = def.u.sd.dephault;
            info.value = def.u.sd.value;
            break;
        case PF_Param_FIX_SLIDER:
            info.valid_min = def.u.fd.valid_min;
            info.valid_max = def.u.fd.valid_max;
            info.slider_min = def.u.fd.slider_min;
            info.slider_max = def.u.fd.slider_max;
            info.default_value = def.u.fd.dephault;
            info.value = def.u.fd.value;
            info.precision = def.u.fd.precision;
            info.display_flags = def.u.fd.display_flags;
            break;
        case PF_Param_POPUP: {
            info.valid_min = info.slider_min = 1;
            info.valid_max = info.slider_max = def.u.pd.num_choices;
            info.default_value = def.u.pd.dephault;
            info.value = def.u.pd.value;
            std::string entry;
            for (const char c : slot.choices) {
                if (c == '|') {
                    info.choices.push_back(entry);
                    entry.clear();
                } else {
                    entry += c;
                }
            }
            if (!slot.choices.empty()) info.choices.push_back(entry);
            break;
        }
        case PF_Param_CHECKBOX:
            info.valid_min = info.slider_min = 0;
            info.valid_max = info.slider_max = 1;
            info.default_value = def.u.bd.dephault;
            info.value = def.u.bd.value;
            info.checkbox_label = slot.checkbox_label;
            break;
        case PF_Param_COLOR:
            info.default_color = def.u.cd.dephault;
            info.color = def.u.cd.value;
            break;
        default:
            break;
    }
    return info;
}

bool Host::SetValue(PF_ParamIndex index, A_long value) {
    if (index < 0 || index >= param_count()) return false;
    ParamSlot& slot = *impl_->params[index];
    A_long* stored = NumericValue(&slot.def);
    if (!stored) return false;
    if (*stored != value || !slot.keys.empty()) {
        *stored = value;
        slot.keys.clear();
        impl_->MarkChanged(slot);
    }
    return true;
}

bool Host::SetColor(PF_ParamIndex index, PF_Pixel color) {
    if (index < 0 || index >= param_count()) return false;
    ParamSlot& slot = *impl_->params[index];
    PF_Pixel* stored = ColorValue(&slot.def);
    if (!stored) return false;
    if (std::memcmp(stored, &color, sizeof(color)) != 0 || !slot.keys.empty()) {
        *stored = color;
        slot.keys.clear();
        impl_->MarkChanged(slot);
    }
    return true;
}

namespace {

void InsertKey(std::vector<ParamKey>* keys, const ParamKey& key) {
    // A key at the same moment replaces the old one.
    keys->erase(std::remove_if(keys->begin(), keys->end(),
                               [&key](const ParamKey& old) {
                                   return KeyReached(old, key.time, key.time_scale) &&
                                          KeyReached(key, old.time, old.time_scale);
                               }),
                keys->end());
    auto after = std::find_if(keys->begin(), keys->end(), [&key](const ParamKey& old) {
        return !KeyReached(old, key.time, key.time_scale);
    });
    keys->insert(after, key);
}

}  // namespace

bool Host::SetValueAt(PF_ParamIndex index, A_long time, A_u_long time_scale, A_long value) {
    if (index < 0 || index >= param_count() || time_scale == 0) return false;
    ParamSlot& slot = *impl_->params[index];
    if (!NumericValue(&slot.def)) return false;
    ParamKey key;
    key.time = time;
    key.time_scale = time_scale;
    key.value = value;
    InsertKey(&slot.keys, key);
    impl_->MarkChanged(slot);
    return true;
}

bool Host::SetColorAt(PF_ParamIndex index, A_long time, A_u_long time_scale, PF_Pixel color) {
    if (index < 0 || index >= param_count() || time_scale == 0) return false;
    ParamSlot& slot = *impl_->params[index];
    if (!ColorValue(&slot.def)) return false;
    ParamKey key;
    key.time = time;
    key.time_scale = time_scale;
    key.color = color;
    InsertKey(&slot.keys, key);
    impl_->MarkChanged(slot);
    return true;
}

PF_ParamDef Host::ValueAt(PF_ParamIndex index, A_long time, A_u_long time_scale) const {
    const ParamSlot& slot = *impl_->params.at(static_cast<size_t>(index));
    PF_ParamDef def = slot.def;
    const ParamKey* held = nullptr;
    for (const ParamKey& key : slot.keys) {
        if (!KeyReached(key, time, time_scale)) break;
        held = &key;
    }
    if (held) {
        if (A_long* value = NumericValue(&def)) *value = held->value;
        if (PF_Pixel* color = ColorValue(&def)) *color = held->color;
    }
    if (def.param_type == PF_Param_LAYER && impl_->input_world) {
        def.u.ld = *impl_->input_world->effect_world();
    }
    return def;
}

PF_ParamDef** Host::CurrentParams() {
    const size_t count = impl_->params.size();
    impl_->current_params.resize(count);
    impl_->current_param_pointers.resize(count);
    for (size_t index = 0; index < count; ++index) {
        impl_->current_params[index] =
            ValueAt(static_cast<PF_ParamIndex>(index), in_data.current_time, in_data.time_scale);
        impl_->current_param_pointers[index] = &impl_->current_params[index];
    }
    return impl_->current_param_pointers.data();
}

const PF_ParamDef* Host::LastUiUpdate(PF_ParamIndex index) const {
    if (index < 0 || index >= param_count()) return nullptr;
    const ParamSlot& slot = *impl_->params[index];
    return slot.ui_updated ? &slot.ui_copy : nullptr;
}

PF_State Host::CurrentState() const {
    // Who made it, how many value changes so far, and what the values are.
    const uint64_t hash = impl_->Hash();
    PF_State state;
    state.reserved[0] = impl_->serial;
    state.reserved[1] = impl_->change_counter;
    state.reserved[2] = static_cast<A_long>(static_cast<uint32_t>(hash));
    state.reserved[3] = static_cast<A_long>(static_cast<uint32_t>(hash >> 32));
    return state;
}

// -- Frames

void Host::BindFrameWorlds(const World* input, World* output) {
    impl_->input_world = input;
    impl_->output_world = output;
}

void Host::SetCheckoutLayerAnswer(
    std::function<void(const PF_RenderRequest&, PF_CheckoutResult*)> answer) {
    impl_->checkout_layer_answer = std::move(answer);
}

void Host::EndFrame() {
    for (const auto& checkout : impl_->layer_checkouts) {
        if (checkout.second > 0) {
            impl_->Problem("the layer pixels of checkout id " + std::to_string(checkout.first) +
                           " were not checked in by the end of the frame");
        }
    }
    impl_->layer_checkouts.clear();
}

// -- The books

std::vector<std::string> Host::Problems() const {
    std::vector<std::string> problems = impl_->problems;
    for (const auto& record : impl_->handle_records) {
        if (record->alive && !impl_->HeldByHost(&record->data)) {
            problems.push_back("a handle of " + std::to_string(record->size) +
                               " bytes was not disposed (lock count " +
                               std::to_string(record->lock_count) + ")");
        }
    }
    for (const auto& suite : impl_->suites_held) {
        if (suite.second != 0) {
            problems.push_back("\"" + suite.first.first + "\" version " +
                               std::to_string(suite.first.second) + " acquired " +
                               std::to_string(suite.second) + " more time(s) than released");
        }
    }
    for (size_t index = 0; index < impl_->params.size(); ++index) {
        const A_long open = impl_->params[index]->checked_out;
        if (open > 0) {
            problems.push_back("parameter " + std::to_string(index) + " checked out " +
                               std::to_string(open) + " time(s) without checkin_param");
        }
    }
    for (const auto& checkout : impl_->layer_checkouts) {
        if (checkout.second > 0) {
            problems.push_back("the layer pixels of checkout id " + std::to_string(checkout.first) +
                               " are checked out");
        }
    }
    if (!impl_->blocks.empty()) {
        problems.push_back(std::to_string(impl_->blocks.size()) +
                           " block(s) from AllocateBlock not freed");
    }
    if (!impl_->new_worlds.empty()) {
        problems.push_back(std::to_string(impl_->new_worlds.size()) +
                           " world(s) from PF_NewWorld not disposed");
    }
    return problems;
}

HandleState Host::FindHandle(PF_Handle handle) const {
    HandleState state;
    const auto found = impl_->handles.find(handle);
    if (found == impl_->handles.end()) return state;
    state.alive = found->second->alive;
    state.size = found->second->size;
    state.lock_count = found->second->lock_count;
    state.data = found->second->data;
    return state;
}

A_long Host::LiveHandleCount() const {
    A_long live = 0;
    for (const auto& record : impl_->handle_records) live += record->alive ? 1 : 0;
    return live;
}

A_long Host::SuitesHeld(const std::string& name, A_long version) const {
    const auto found = impl_->suites_held.find({name, version});
    return found == impl_->suites_held.end() ? 0 : found->second;
}

}  // namespace standin
