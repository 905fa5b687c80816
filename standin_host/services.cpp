// The functions the effect calls: plain C function pointers without context,
// routed to the host whose Send() runs on the calling thread. Each one counts
// the call, logs it, answers an injected failure, and otherwise does what the
// real host does (the arithmetic lives in standin_host/services).
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "standin_host/host_impl.h"
#include "standin_host/services/ansi_services.h"
#include "standin_host/services/color_services.h"
#include "standin_host/services/fill_services.h"

namespace standin {
namespace {

// Every fresh handle and block is filled with this, so an effect that reads
// memory it never wrote is not helped by zeros.
constexpr unsigned char kFreshMemoryByte = 0xCD;

// Guards against sizes that could never be had (and against size_t wrap on
// 32-bit builds).
constexpr A_HandleSize kLargestBlock = static_cast<A_HandleSize>(PTRDIFF_MAX) / 2;

// One service call: finds the current host, counts and logs the call, and
// knows whether it is to fail.
class Call {
  public:
    Call(Service service, const char* suite_name = nullptr) : impl_(CurrentHost()) {
        record.service = service;
        if (!impl_) return;
        ++impl_->counts[static_cast<int>(service)];
        for (ArmedFailure& armed : impl_->failures) {
            const Failure& wanted = armed.failure;
            if (wanted.service != service) continue;
            if (!wanted.suite_name.empty() && (!suite_name || wanted.suite_name != suite_name)) {
                continue;
            }
            ++armed.seen;
            const bool due =
                armed.seen == wanted.nth || (wanted.every_later_call && armed.seen > wanted.nth);
            if (due && !failure_) failure_ = &wanted;
        }
    }
    // Also checks that the effect passed its own effect_ref.
    Call(Service service, PF_ProgPtr effect_ref) : Call(service) {
        if (impl_ && effect_ref != impl_->host->in_data.effect_ref &&
            !impl_->foreign_ref_reported[static_cast<int>(service)]) {
            impl_->foreign_ref_reported[static_cast<int>(service)] = true;
            impl_->Problem(std::string(ServiceName(service)) +
                           " was called with an effect_ref that is not in_data->effect_ref");
        }
    }
    ~Call() {
        if (impl_ && impl_->log_enabled) impl_->log.push_back(std::move(record));
    }
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

    Host::Impl* impl() const { return impl_; }
    bool failing() const { return failure_ != nullptr; }
    bool null_result() const { return failure_ && failure_->null_result; }
    PF_Err Fail() {
        record.injected = true;
        record.result = failure_->code;
        return failure_->code;
    }
    PF_Err Return(PF_Err err) {
        record.result = err;
        return err;
    }

    CallRecord record;

  private:
    Host::Impl* impl_;
    const Failure* failure_ = nullptr;
};

void LogRect(CallRecord* record, const PF_Rect* rect) {
    record->whole_world = rect == nullptr;
    if (rect) {
        // Fields by name: the 16-bit interface stores them in another order.
        record->rect[0] = rect->left;
        record->rect[1] = rect->top;
        record->rect[2] = rect->right;
        record->rect[3] = rect->bottom;
    }
}

template <typename Pixel>
void LogColor(CallRecord* record, const Pixel* color) {
    if (!color) return;
    record->color[0] = color->alpha;
    record->color[1] = color->red;
    record->color[2] = color->green;
    record->color[3] = color->blue;
}

void LogDefinition(CallRecord* record, const PF_ParamDef* def) {
    if (!def) return;
    record->param_id = def->uu.id;
    record->param_type = def->param_type;
    record->param_name.assign(def->name, strnlen(def->name, sizeof(def->name)));
    record->ui_flags = def->ui_flags;
    record->param_flags = def->flags;
}

// ---- Basic suite ------------------------------------------------------------

const OfferedSuite* FindOffered(Host::Impl* impl, const char* name, A_long version) {
    for (const OfferedSuite& suite : impl->offered) {
        if (std::strcmp(suite.name, name) == 0 && suite.version == version) return &suite;
    }
    return nullptr;
}

SPErr AcquireSuite(const char* name, A_long version, const void** suite) {
    Call call(Service::AcquireSuite, name);
    call.record.suite_name = name ? name : "";
    call.record.suite_version = version;
    Host::Impl* impl = call.impl();
    if (!impl || !name || !suite) return call.Return(PF_Err_BAD_CALLBACK_PARAM);
    const OfferedSuite* offered = FindOffered(impl, name, version);
    if (call.failing()) {
        *suite = (call.null_result() || !offered) ? nullptr : offered->table;
        const PF_Err err = call.Fail();
        // Only a table handed out without an error counts as acquired.
        if (*suite && err == PF_Err_NONE) ++impl->suites_held[{name, version}];
        return err;
    }
    if (!offered) {
        *suite = nullptr;
        return call.Return(kSuiteNotOffered);
    }
    *suite = offered->table;
    ++impl->suites_held[{name, version}];
    return call.Return(PF_Err_NONE);
}

SPErr ReleaseSuite(const char* name, A_long version) {
    Call call(Service::ReleaseSuite, name);
    call.record.suite_name = name ? name : "";
    call.record.suite_version = version;
    Host::Impl* impl = call.impl();
    if (!impl || !name) return call.Return(PF_Err_BAD_CALLBACK_PARAM);
    if (!FindOffered(impl, name, version)) {
        impl->Problem(std::string("ReleaseSuite of \"") + name + "\" version " +
                      std::to_string(version) + ", a suite the host does not offer");
        return call.Return(kSuiteNotOffered);
    }
    A_long& held = impl->suites_held[{name, version}];
    if (held <= 0) {
        impl->Problem(std::string("ReleaseSuite of \"") + name + "\" version " +
                      std::to_string(version) + " without an acquisition");
    } else {
        // A failed release still gives the suite back: the effect cannot retry.
        --held;
    }
    if (call.failing()) return call.Fail();
    return call.Return(PF_Err_NONE);
}

A_Boolean IsEqual(const char* a, const char* b) { return a && b && std::strcmp(a, b) == 0 ? 1 : 0; }

SPErr AllocateBlock(size_t size, void** block) {
    Call call(Service::AllocateBlock);
    call.record.size = size;
    Host::Impl* impl = call.impl();
    if (!impl || !block) return call.Return(PF_Err_BAD_CALLBACK_PARAM);
    *block = nullptr;
    if (call.failing()) return call.Fail();
    void* memory = size <= kLargestBlock ? std::malloc(size ? size : 1) : nullptr;
    if (!memory) return call.Return(PF_Err_OUT_OF_MEMORY);
    std::memset(memory, kFreshMemoryByte, size);
    impl->blocks[memory] = size;
    *block = memory;
    return call.Return(PF_Err_NONE);
}

SPErr FreeBlock(void* block) {
    Call call(Service::FreeBlock);
    Host::Impl* impl = call.impl();
    if (!impl) return call.Return(PF_Err_BAD_CALLBACK_PARAM);
    const auto found = impl->blocks.find(block);
    if (found == impl->blocks.end()) {
        impl->Problem("FreeBlock of a block the host did not allocate");
        return call.Return(PF_Err_BAD_CALLBACK_PARAM);
    }
    impl->blocks.erase(found);
    std::free(block);
    return call.Return(PF_Err_NONE);
}

SPErr ReallocateBlock(void* block, size_t new_size, void** new_block) {
    Call call(Service::ReallocateBlock);
    call.record.size = new_size;
    Host::Impl* impl = call.impl();
    if (!impl || !new_block) return call.Return(PF_Err_BAD_CALLBACK_PARAM);
    const auto found = impl->blocks.find(block);
    if (block && found == impl->blocks.end()) {
        impl->Problem("ReallocateBlock of a block the host did not allocate");
        return call.Return(PF_Err_BAD_CALLBACK_PARAM);
    }
    if (call.failing()) return call.Fail();
    void* memory =
        new_size <= kLargestBlock ? std::realloc(block, new_size ? new_size : 1) : nullptr;
    if (!memory) return call.Return(PF_Err_OUT_OF_MEMORY);
    if (found != impl->blocks.end()) impl->blocks.erase(found);
    impl->blocks[memory] = new_size;
    *new_block = memory;
    return call.Return(PF_Err_NONE);
}

SPErr Undefined() { return kSuiteNotOffered; }

// ---- Handles (utils and "PF Handle Suite" share these) ----------------------

PF_Handle NewHandle(Service service, A_HandleSize size) {
    Call call(service);
    call.record.size = size;
    Host::Impl* impl = call.impl();
    if (!impl) return nullptr;
    if (call.failing()) {
        call.Fail();
        return nullptr;
    }
    void* memory =
        size <= kLargestBlock ? std::malloc(size ? static_cast<size_t>(size) : 1) : nullptr;
    if (!memory) return nullptr;
    std::memset(memory, kFreshMemoryByte, static_cast<size_t>(size));
    std::unique_ptr<HandleRecord> record(new HandleRecord);
    record->data = memory;
    record->size = size;
    PF_Handle handle = &record->data;
    impl->handles[handle] = record.get();
    impl->handle_records.push_back(std::move(record));
    call.record.handle = handle;
    return handle;
}

void* LockHandle(Service service, PF_Handle handle) {
    Call call(service);
    call.record.handle = handle;
    Host::Impl* impl = call.impl();
    if (!impl) return nullptr;
    HandleRecord* record = impl->FindLive(handle, "host_lock_handle");
    if (!record) return nullptr;
    if (call.failing()) {
        call.Fail();
        return nullptr;
    }
    ++record->lock_count;
    return record->data;
}

void UnlockHandle(Service service, PF_Handle handle) {
    Call call(service);
    call.record.handle = handle;
    Host::Impl* impl = call.impl();
    if (!impl) return;
    HandleRecord* record = impl->FindLive(handle, "host_unlock_handle");
    // Unlocking an unlocked handle is harmless to the host: not counted below 0.
    if (record && record->lock_count > 0) --record->lock_count;
}

void DisposeHandle(Service service, PF_Handle handle) {
    Call call(service);
    call.record.handle = handle;
    Host::Impl* impl = call.impl();
    if (!impl) return;
    HandleRecord* record = impl->FindLive(handle, "host_dispose_handle");
    if (!record) return;
    std::free(record->data);
    record->data = nullptr;
    record->alive = false;
    record->lock_count = 0;
}

PF_Handle UtilsNewHandle(A_HandleSize size) { return NewHandle(Service::UtilsNewHandle, size); }
void* UtilsLockHandle(PF_Handle handle) { return LockHandle(Service::UtilsLockHandle, handle); }
void UtilsUnlockHandle(PF_Handle handle) { UnlockHandle(Service::UtilsUnlockHandle, handle); }
void UtilsDisposeHandle(PF_Handle handle) { DisposeHandle(Service::UtilsDisposeHandle, handle); }

PF_Handle SuiteNewHandle(A_HandleSize size) { return NewHandle(Service::NewHandle, size); }
void* SuiteLockHandle(PF_Handle handle) { return LockHandle(Service::LockHandle, handle); }
void SuiteUnlockHandle(PF_Handle handle) { UnlockHandle(Service::UnlockHandle, handle); }
void SuiteDisposeHandle(PF_Handle handle) { DisposeHandle(Service::DisposeHandle, handle); }

A_HandleSize GetHandleSize(PF_Handle handle) {
    Call call(Service::GetHandleSize);
    call.record.handle = handle;
    Host::Impl* impl = call.impl();
    if (!impl) return 0;
    HandleRecord* record = impl->FindLive(handle, "host_get_handle_size");
    if (!record) return 0;
    if (call.failing()) {
        call.Fail();
        return 0;
    }
    call.record.size = record->size;
    return record->size;
}

PF_Err ResizeHandle(A_HandleSize new_size, PF_Handle* handle_pointer) {
    Call call(Service::ResizeHandle);
    call.record.size = new_size;
    Host::Impl* impl = call.impl();
    if (!impl || !handle_pointer) return call.Return(PF_Err_BAD_CALLBACK_PARAM);
    call.record.handle = *handle_pointer;
    HandleRecord* record = impl->FindLive(*handle_pointer, "host_resize_handle");
    if (!record) return call.Return(PF_Err_BAD_CALLBACK_PARAM);
    if (call.failing()) return call.Fail();
    void* memory = new_size <= kLargestBlock
                       ? std::realloc(record->data, new_size ? static_cast<size_t>(new_size) : 1)
                       : nullptr;
    if (!memory) return call.Return(PF_Err_OUT_OF_MEMORY);
    if (new_size > record->size) {
        std::memset(static_cast<char*>(memory) + record->size, kFreshMemoryByte,
                    static_cast<size_t>(new_size - record->size));
    }
    record->data = memory;  // the handle itself stays the same
    record->size = new_size;
    return call.Return(PF_Err_NONE);
}

// ---- Interaction callbacks --------------------------------------------------

PF_Err AddParam(PF_ProgPtr effect_ref, PF_ParamIndex index, PF_ParamDefPtr def) {
    Call call(Service::AddParam, effect_ref);
    call.record.param_index = index;
    LogDefinition(&call.record, def);
    Host::Impl* impl = call.impl();
    if (!impl || !def) return call.Return(PF_Err_BAD_CALLBACK_PARAM);
    if (impl->current_cmd != PF_Cmd_PARAMS_SETUP) {
        impl->Problem("add_param outside parameter set-up");
        return call.Return(PF_Err_BAD_CALLBACK_PARAM);
    }
    const A_long count = static_cast<A_long>(impl->params.size());
    if (index != -1 && index != count) return call.Return(PF_Err_INVALID_INDEX);
    if (call.failing()) return call.Fail();

    std::unique_ptr<ParamSlot> slot(new ParamSlot);
    slot->def = *def;
    // The definition's strings belong to the effect: keep copies.
    if (def->param_type == PF_Param_POPUP) {
        slot->choices = def->u.pd.u.namesptr ? def->u.pd.u.namesptr : "";
        slot->def.u.pd.u.namesptr = slot->choices.c_str();
    } else if (def->param_type == PF_Param_CHECKBOX) {
        slot->checkbox_label = def->u.bd.u.nameptr ? def->u.bd.u.nameptr : "";
        slot->def.u.bd.u.nameptr = slot->checkbox_label.c_str();
    }
    impl->params.push_back(std::move(slot));
    impl->MarkChanged(*impl->params.back());
    return call.Return(PF_Err_NONE);
}

PF_Err CheckoutParam(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long what_time, A_long time_step,
                     A_u_long time_scale, PF_ParamDef* param) {
    Call call(Service::CheckoutParam, effect_ref);
    call.record.param_index = index;
    call.record.time = what_time;
    call.record.time_step = time_step;
    call.record.time_scale = time_scale;
    Host::Impl* impl = call.impl();
    if (!impl || !param) return call.Return(PF_Err_BAD_CALLBACK_PARAM);
    if (index < 0 || index >= static_cast<A_long>(impl->params.size())) {
        return call.Return(PF_Err_INVALID_INDEX);
    }
    if (call.failing()) return call.Fail();
    *param = impl->host->ValueAt(index, what_time, time_scale);
    ++impl->params[index]->checked_out;
    LogDefinition(&call.record, param);
    return call.Return(PF_Err_NONE);
}

PF_Err CheckinParam(PF_ProgPtr effect_ref, PF_ParamDef* param) {
    Call call(Service::CheckinParam, effect_ref);
    LogDefinition(&call.record, param);
    Host::Impl* impl = call.impl();
    if (!impl || !param) return call.Return(PF_Err_BAD_CALLBACK_PARAM);
    // Found by id, as the definition handed out carries it.
    for (size_t index = 0; index < impl->params.size(); ++index) {
        ParamSlot& slot = *impl->params[index];
        if (slot.def.uu.id == param->uu.id && slot.checked_out > 0) {
            call.record.param_index = static_cast<PF_ParamIndex>(index);
            if (call.failing()) return call.Fail();
            --slot.checked_out;
            return call.Return(PF_Err_NONE);
        }
    }
    impl->Problem("checkin_param of a parameter (id " + std::to_string(param->uu.id) +
                  ") that is not checked out");
    return call.Return(PF_Err_BAD_CALLBACK_PARAM);
}

PF_Err Progress(PF_ProgPtr effect_ref, A_long current, A_long total) {
    Call call(Service::Progress, effect_ref);
    call.record.done = current;
    call.record.total = total;
    Host::Impl* impl = call.impl();
    if (!impl) return call.Return(PF_Err_BAD_CALLBACK_PARAM);
    if (impl->progress_observer) impl->progress_observer(current, total);
    if (call.failing()) return call.Fail();
    return call.Return(impl->CancelRequested() ? PF_Interrupt_CANCEL : PF_Err_NONE);
}

PF_Err Abort(PF_ProgPtr effect_ref) {
    Call call(Service::Abort, effect_ref);
    Host::Impl* impl = call.impl();
    if (!impl) return call.Return(PF_Err_BAD_CALLBACK_PARAM);
    if (call.failing()) return call.Fail();
    return call.Return(impl->CancelRequested() ? PF_Interrupt_CANCEL : PF_Err_NONE);
}

// ---- Fills ------------------------------------------------------------------

template <typename Pixel,
          PF_Err (*Paint)(PF_ProgPtr, const Pixel*, const PF_Rect*, PF_EffectWorld*)>
PF_Err LoggedFill(Service service, PF_ProgPtr effect_ref, const Pixel* color, const PF_Rect* rect,
                  PF_EffectWorld* world) {
    Call call(service, effect_ref);
    LogRect(&call.record, rect);
    LogColor(&call.record, color);
    call.record.world = world;
    if (!call.impl()) return call.Return(PF_Err_BAD_CALLBACK_PARAM);
    if (call.failing()) return call.Fail();
    return call.Return(Paint(effect_ref, color, rect, world));
}

// The utility fill takes an 8-bit colour but paints a world of any depth, as
// the real host's does: the colour is widened to the world's depth.
PF_Err FillAtWorldDepth(PF_ProgPtr effect_ref, const PF_Pixel* color, const PF_Rect* rect,
                        PF_EffectWorld* world) {
    Host::Impl* impl = CurrentHost();
    const PF_PixelFormat format = impl && world ? impl->FormatOf(world) : PF_PixelFormat_ARGB32;
    if (color && format == PF_PixelFormat_ARGB64) {
        auto widen = [](A_u_char c) { return static_cast<A_u_short>((c * 32768 + 128) / 255); };
        const PF_Pixel16 deep = {widen(color->alpha), widen(color->red), widen(color->green),
                                 widen(color->blue)};
        return standin::Fill16(effect_ref, &deep, rect, world);
    }
    if (color && format == PF_PixelFormat_ARGB128) {
        auto widen = [](A_u_char c) { return static_cast<float>(c) / 255.0f; };
        const PF_PixelFloat deep = {widen(color->alpha), widen(color->red), widen(color->green),
                                    widen(color->blue)};
        return standin::FillFloat(effect_ref, &deep, rect, world);
    }
    return standin::Fill(effect_ref, color, rect, world);
}

PF_Err UtilsFill(PF_ProgPtr effect_ref, const PF_Pixel* color, const PF_Rect* rect,
                 PF_EffectWorld* world) {
    return LoggedFill<PF_Pixel, FillAtWorldDepth>(Service::UtilsFill, effect_ref, color, rect,
                                                  world);
}
PF_Err SuiteFill(PF_ProgPtr effect_ref, const PF_Pixel* color, const PF_Rect* rect,
                 PF_EffectWorld* world) {
    return LoggedFill<PF_Pixel, standin::Fill>(Service::Fill, effect_ref, color, rect, world);
}
PF_Err SuiteFill16(PF_ProgPtr effect_ref, const PF_Pixel16* color, const PF_Rect* rect,
                   PF_EffectWorld* world) {
    return LoggedFill<PF_Pixel16, standin::Fill16>(Service::Fill16, effect_ref, color, rect, world);
}
PF_Err SuiteFillFloat(PF_ProgPtr effect_ref, const PF_PixelFloat* color, const PF_Rect* rect,
                      PF_EffectWorld* world) {
    return LoggedFill<PF_PixelFloat, standin::FillFloat>(Service::FillFloat, effect_ref, color,
                                                         rect, world);
}

// ---- "AEGP Utility Suite" 7 -------------------------------------------------

SPErr RegisterWithAEGP(AEGP_GlobalRefcon, const A_char* plugin_name, AEGP_PluginID* plugin_id) {
    Call call(Service::RegisterWithAEGP);
    call.record.text = plugin_name ? plugin_name : "";
    Host::Impl* impl = call.impl();
    if (!impl || !plugin_name || !plugin_id) return call.Return(PF_Err_BAD_CALLBACK_PARAM);
    if (call.failing()) return call.Fail();
    *plugin_id = impl->next_plugin_id++;
    return call.Return(PF_Err_NONE);
}

// The utility functions this effect does not use answer as a quiet host would.
SPErr ReportInfo(AEGP_PluginID, const A_char*) { return PF_Err_NONE; }
SPErr ReportInfoUnicode(AEGP_PluginID, const A_u_short*) { return PF_Err_NONE; }
SPErr GetVersion(A_short* major, A_short* minor) {
    if (major) *major = PF_PLUG_IN_VERSION;
    if (minor) *minor = PF_PLUG_IN_SUBVERS;
    return PF_Err_NONE;
}
SPErr StartQuietErrors(void*) { return PF_Err_NONE; }
SPErr EndQuietErrors(A_Boolean, void*) { return PF_Err_NONE; }
SPErr GetLastErrorMessage(A_long buffer_size, A_char* text, SPErr* error) {
    if (text && buffer_size > 0) text[0] = '\0';
    if (error) *error = PF_Err_NONE;
    return PF_Err_NONE;
}
SPErr StartUndoGroup(const A_char*) { return PF_Err_NONE; }
SPErr EndUndoGroup() { return PF_Err_NONE; }

// ---- "PF Param Utils Suite" 1 and 2 -----------------------------------------

PF_Err UpdateParamUI(PF_ProgPtr effect_ref, PF_ParamIndex index, const PF_ParamDef* def) {
    Call call(Service::UpdateParamUI, effect_ref);
    call.record.param_index = index;
    LogDefinition(&call.record, def);
    Host::Impl* impl = call.impl();
    if (!impl || !def) return call.Return(PF_Err_BAD_CALLBACK_PARAM);
    if (index < 0 || index >= static_cast<A_long>(impl->params.size())) {
        return call.Return(PF_Err_INVALID_INDEX);
    }
    if (call.failing()) return call.Fail();
    ParamSlot& slot = *impl->params[index];
    if (def->param_type != slot.def.param_type) {
        impl->Problem("PF_UpdateParamUI for parameter " + std::to_string(index) + " of kind " +
                      std::to_string(def->param_type) + ", registered as kind " +
                      std::to_string(slot.def.param_type));
    }
    slot.ui_copy = *def;
    slot.ui_updated = true;
    slot.def.ui_flags = def->ui_flags;
    return call.Return(PF_Err_NONE);
}

PF_Err GetCurrentState(PF_ProgPtr effect_ref, PF_State* state) {
    Call call(Service::GetCurrentState, effect_ref);
    Host::Impl* impl = call.impl();
    if (!impl || !state) return call.Return(PF_Err_BAD_CALLBACK_PARAM);
    if (call.failing()) return call.Fail();
    *state = impl->host->CurrentState();
    return call.Return(PF_Err_NONE);
}

PF_Err HasParamChanged(PF_ProgPtr effect_ref, const PF_State* state, PF_ParamIndex index,
                       PF_Boolean* changed) {
    Call call(Service::HasParamChanged, effect_ref);
    call.record.param_index = index;
    Host::Impl* impl = call.impl();
    if (!impl || !state || !changed) return call.Return(PF_Err_BAD_CALLBACK_PARAM);
    const A_long count = static_cast<A_long>(impl->params.size());
    if (index >= count || index < PF_ParamIndex_CHECK_ALL_HONOR_EXCLUDE) {
        return call.Return(PF_Err_INVALID_INDEX);
    }
    if (call.failing()) return call.Fail();
    const PF_State now = impl->host->CurrentState();
    bool differs;
    if (state->reserved[0] != now.reserved[0]) {
        differs = true;  // not a state of this host's (or none yet): treat as changed
    } else if (index < 0) {
        differs = std::memcmp(state, &now, sizeof(now)) != 0;
    } else {
        differs = impl->params[index]->last_change > state->reserved[1];
    }
    *changed = differs ? 1 : 0;
    return call.Return(PF_Err_NONE);
}

// ---- "PF World Suite" 2 -----------------------------------------------------

PF_Err NewWorld(PF_ProgPtr effect_ref, A_long width, A_long height, PF_Boolean,
                PF_PixelFormat format, PF_EffectWorld* world) {
    Call call(Service::NewWorld, effect_ref);
    call.record.size = static_cast<A_HandleSize>(width) * static_cast<A_HandleSize>(height);
    call.record.pixel_format = format;
    Host::Impl* impl = call.impl();
    if (!impl || !world) return call.Return(PF_Err_BAD_CALLBACK_PARAM);
    if (call.failing()) return call.Fail();
    std::unique_ptr<World> made = World::Allocate(width, height, format);
    if (!made) return call.Return(PF_Err_OUT_OF_MEMORY);  // zero-filled, so cleared either way
    *world = *made->effect_world();
    call.record.world = made->effect_world();
    impl->new_worlds.push_back(std::move(made));
    return call.Return(PF_Err_NONE);
}

PF_Err DisposeWorld(PF_ProgPtr effect_ref, PF_EffectWorld* world) {
    Call call(Service::DisposeWorld, effect_ref);
    call.record.world = world;
    Host::Impl* impl = call.impl();
    if (!impl || !world) return call.Return(PF_Err_BAD_CALLBACK_PARAM);
    for (auto it = impl->new_worlds.begin(); it != impl->new_worlds.end(); ++it) {
        if ((*it)->effect_world()->data == world->data) {
            impl->new_worlds.erase(it);
            world->data = nullptr;
            return call.Return(PF_Err_NONE);
        }
    }
    impl->Problem("PF_DisposeWorld of a world that PF_NewWorld did not make");
    return call.Return(PF_Err_BAD_CALLBACK_PARAM);
}

PF_Err GetPixelFormat(const PF_EffectWorld* world, PF_PixelFormat* format) {
    Call call(Service::GetPixelFormat);
    call.record.world = world;
    Host::Impl* impl = call.impl();
    if (!impl || !world || !format) return call.Return(PF_Err_BAD_CALLBACK_PARAM);
    if (call.failing()) {
        if (call.null_result()) *format = PF_PixelFormat_INVALID;
        call.record.pixel_format = *format;
        return call.Fail();
    }
    *format = impl->FormatOf(world);
    call.record.pixel_format = *format;
    return call.Return(*format == PF_PixelFormat_INVALID ? PF_Err_BAD_CALLBACK_PARAM : PF_Err_NONE);
}

// ---- "PF ColorFloat Suite" 1 ------------------------------------------------

PF_Err ColorRGBtoHLS(PF_ProgPtr effect_ref, const PF_PixelFloat* rgb, PF_HLS_Pixel hls) {
    Call call(Service::RGBtoHLS, effect_ref);
    LogColor(&call.record, rgb);
    if (!call.impl()) return call.Return(PF_Err_BAD_CALLBACK_PARAM);
    if (call.failing()) return call.Fail();
    return call.Return(standin::RGBtoHLS(effect_ref, rgb, hls));
}

PF_Err ColorHLStoRGB(PF_ProgPtr effect_ref, const PF_HLS_Pixel hls, PF_PixelFloat* rgb) {
    Call call(Service::HLStoRGB, effect_ref);
    if (!call.impl()) return call.Return(PF_Err_BAD_CALLBACK_PARAM);
    if (call.failing()) return call.Fail();
    return call.Return(standin::HLStoRGB(effect_ref, hls, rgb));
}

PF_Err ColorLuminance(PF_ProgPtr effect_ref, const PF_PixelFloat* rgb, float* luminance) {
    Call call(Service::Luminance, effect_ref);
    LogColor(&call.record, rgb);
    if (!call.impl()) return call.Return(PF_Err_BAD_CALLBACK_PARAM);
    if (call.failing()) return call.Fail();
    return call.Return(standin::Luminance(effect_ref, rgb, luminance));
}

// ---- Smart pre-render and smart render callbacks -----------------------------

PF_Err CheckoutLayer(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long checkout_id,
                     const PF_RenderRequest* request, A_long what_time, A_long time_step,
                     A_u_long time_scale, PF_CheckoutResult* result) {
    Call call(Service::CheckoutLayer, effect_ref);
    call.record.param_index = index;
    call.record.checkout_id = checkout_id;
    call.record.time = what_time;
    call.record.time_step = time_step;
    call.record.time_scale = time_scale;
    if (request) call.record.request = *request;
    Host::Impl* impl = call.impl();
    if (!impl || !request || !result) return call.Return(PF_Err_BAD_CALLBACK_PARAM);
    if (impl->current_cmd != PF_Cmd_SMART_PRE_RENDER) {
        impl->Problem("checkout_layer outside smart pre-render");
        return call.Return(PF_Err_BAD_CALLBACK_PARAM);
    }
    if (index < 0 || index >= static_cast<A_long>(impl->params.size()) ||
        impl->params[index]->def.param_type != PF_Param_LAYER) {
        return call.Return(PF_Err_INVALID_INDEX);
    }
    if (call.failing()) return call.Fail();
    if (!impl->input_world) return call.Return(PF_Err_BAD_CALLBACK_PARAM);

    // The layer covers its own extent; what is asked for outside it is empty.
    const PF_LRect extent{0, 0, impl->input_world->width(), impl->input_world->height()};
    PF_LRect answer{
        std::max(extent.left, request->rect.left), std::max(extent.top, request->rect.top),
        std::min(extent.right, request->rect.right), std::min(extent.bottom, request->rect.bottom)};
    if (answer.left >= answer.right || answer.top >= answer.bottom) answer = PF_LRect{0, 0, 0, 0};
    result->result_rect = answer;
    result->max_result_rect = extent;
    result->par = PF_RationalScale{1, 1};
    result->ref_width = extent.right;
    result->ref_height = extent.bottom;
    if (impl->checkout_layer_answer) impl->checkout_layer_answer(*request, result);
    impl->layer_checkouts.emplace(checkout_id, 0);
    return call.Return(PF_Err_NONE);
}

PF_Err CheckoutLayerPixels(PF_ProgPtr effect_ref, A_long checkout_id, PF_EffectWorld** pixels) {
    Call call(Service::CheckoutLayerPixels, effect_ref);
    call.record.checkout_id = checkout_id;
    Host::Impl* impl = call.impl();
    if (!impl || !pixels) return call.Return(PF_Err_BAD_CALLBACK_PARAM);
    if (call.failing()) {
        if (call.null_result()) *pixels = nullptr;
        return call.Fail();
    }
    const auto registered = impl->layer_checkouts.find(checkout_id);
    if (registered == impl->layer_checkouts.end()) {
        impl->Problem("checkout_layer_pixels of checkout id " + std::to_string(checkout_id) +
                      ", which smart pre-render did not check out");
        return call.Return(PF_Err_BAD_CALLBACK_PARAM);
    }
    if (!impl->input_world) return call.Return(PF_Err_BAD_CALLBACK_PARAM);
    // Lent for reading, as the host lends its layers.
    *pixels = const_cast<PF_EffectWorld*>(impl->input_world->effect_world());
    call.record.world = *pixels;
    ++registered->second;
    return call.Return(PF_Err_NONE);
}

PF_Err CheckinLayerPixels(PF_ProgPtr effect_ref, A_long checkout_id) {
    Call call(Service::CheckinLayerPixels, effect_ref);
    call.record.checkout_id = checkout_id;
    Host::Impl* impl = call.impl();
    if (!impl) return call.Return(PF_Err_BAD_CALLBACK_PARAM);
    const auto registered = impl->layer_checkouts.find(checkout_id);
    if (registered == impl->layer_checkouts.end() || registered->second <= 0) {
        impl->Problem("checkin_layer_pixels of checkout id " + std::to_string(checkout_id) +
                      ", whose pixels are not checked out");
        return call.Return(PF_Err_BAD_CALLBACK_PARAM);
    }
    if (call.failing()) return call.Fail();
    --registered->second;
    return call.Return(PF_Err_NONE);
}

PF_Err CheckoutOutput(PF_ProgPtr effect_ref, PF_EffectWorld** output) {
    Call call(Service::CheckoutOutput, effect_ref);
    Host::Impl* impl = call.impl();
    if (!impl || !output) return call.Return(PF_Err_BAD_CALLBACK_PARAM);
    if (call.failing()) {
        if (call.null_result()) *output = nullptr;
        return call.Fail();
    }
    if (!impl->output_world) {
        // No output world could be had for this frame.
        *output = nullptr;
        return call.Return(PF_Err_OUT_OF_MEMORY);
    }
    *output = impl->output_world->effect_world();
    call.record.world = *output;
    return call.Return(PF_Err_NONE);
}

}  // namespace

const char* ServiceName(Service service) {
    switch (service) {
        case Service::AcquireSuite:
            return "AcquireSuite";
        case Service::ReleaseSuite:
            return "ReleaseSuite";
        case Service::AllocateBlock:
            return "AllocateBlock";
        case Service::FreeBlock:
            return "FreeBlock";
        case Service::ReallocateBlock:
            return "ReallocateBlock";
        case Service::AddParam:
            return "inter add_param";
        case Service::CheckoutParam:
            return "inter checkout_param";
        case Service::CheckinParam:
            return "inter checkin_param";
        case Service::Progress:
            return "inter progress";
        case Service::Abort:
            return "inter abort";
        case Service::UtilsFill:
            return "utils fill";
        case Service::UtilsNewHandle:
            return "utils host_new_handle";
        case Service::UtilsLockHandle:
            return "utils host_lock_handle";
        case Service::UtilsUnlockHandle:
            return "utils host_unlock_handle";
        case Service::UtilsDisposeHandle:
            return "utils host_dispose_handle";
        case Service::NewHandle:
            return "PF Handle Suite host_new_handle";
        case Service::LockHandle:
            return "PF Handle Suite host_lock_handle";
        case Service::UnlockHandle:
            return "PF Handle Suite host_unlock_handle";
        case Service::DisposeHandle:
            return "PF Handle Suite host_dispose_handle";
        case Service::GetHandleSize:
            return "PF Handle Suite host_get_handle_size";
        case Service::ResizeHandle:
            return "PF Handle Suite host_resize_handle";
        case Service::RegisterWithAEGP:
            return "AEGP Utility Suite AEGP_RegisterWithAEGP";
        case Service::UpdateParamUI:
            return "PF Param Utils Suite PF_UpdateParamUI";
        case Service::GetCurrentState:
            return "PF Param Utils Suite PF_GetCurrentState";
        case Service::HasParamChanged:
            return "PF Param Utils Suite PF_HasParamChanged";
        case Service::NewWorld:
            return "PF World Suite PF_NewWorld";
        case Service::DisposeWorld:
            return "PF World Suite PF_DisposeWorld";
        case Service::GetPixelFormat:
            return "PF World Suite PF_GetPixelFormat";
        case Service::RGBtoHLS:
            return "PF ColorFloat Suite RGBtoHLS";
        case Service::HLStoRGB:
            return "PF ColorFloat Suite HLStoRGB";
        case Service::Luminance:
            return "PF ColorFloat Suite Luminance";
        case Service::Fill:
            return "PF Fill Matte Suite fill";
        case Service::Fill16:
            return "PF Fill Matte Suite fill16";
        case Service::FillFloat:
            return "PF Fill Matte Suite fill_float";
        case Service::CheckoutLayer:
            return "checkout_layer";
        case Service::CheckoutLayerPixels:
            return "checkout_layer_pixels";
        case Service::CheckinLayerPixels:
            return "checkin_layer_pixels";
        case Service::CheckoutOutput:
            return "checkout_output";
    }
    return "unknown service";
}

void InstallServices(Host::Impl* impl) {
    impl->basic.AcquireSuite = AcquireSuite;
    impl->basic.ReleaseSuite = ReleaseSuite;
    impl->basic.IsEqual = IsEqual;
    impl->basic.AllocateBlock = AllocateBlock;
    impl->basic.FreeBlock = FreeBlock;
    impl->basic.ReallocateBlock = ReallocateBlock;
    impl->basic.Undefined = Undefined;

    impl->ansi_suite = AnsiCallbacks();
    impl->utils.fill = UtilsFill;
    impl->utils.host_new_handle = UtilsNewHandle;
    impl->utils.host_lock_handle = UtilsLockHandle;
    impl->utils.host_unlock_handle = UtilsUnlockHandle;
    impl->utils.host_dispose_handle = UtilsDisposeHandle;
    impl->utils.ansi = impl->ansi_suite;

    impl->handle_suite.host_new_handle = SuiteNewHandle;
    impl->handle_suite.host_lock_handle = SuiteLockHandle;
    impl->handle_suite.host_unlock_handle = SuiteUnlockHandle;
    impl->handle_suite.host_dispose_handle = SuiteDisposeHandle;
    impl->handle_suite.host_get_handle_size = GetHandleSize;
    impl->handle_suite.host_resize_handle = ResizeHandle;

    impl->utility_suite.AEGP_ReportInfo = ReportInfo;
    impl->utility_suite.AEGP_ReportInfoUnicode = ReportInfoUnicode;
    impl->utility_suite.AEGP_GetDriverPluginInitFuncVersion = GetVersion;
    impl->utility_suite.AEGP_GetDriverImplementationVersion = GetVersion;
    impl->utility_suite.AEGP_StartQuietErrors = StartQuietErrors;
    impl->utility_suite.AEGP_EndQuietErrors = EndQuietErrors;
    impl->utility_suite.AEGP_GetLastErrorMessage = GetLastErrorMessage;
    impl->utility_suite.AEGP_StartUndoGroup = StartUndoGroup;
    impl->utility_suite.AEGP_EndUndoGroup = EndUndoGroup;
    impl->utility_suite.AEGP_RegisterWithAEGP = RegisterWithAEGP;

    impl->param_utils_suite.PF_UpdateParamUI = UpdateParamUI;
    impl->param_utils_suite.PF_GetCurrentState = GetCurrentState;
    impl->param_utils_suite.PF_HasParamChanged = HasParamChanged;

    impl->world_suite.PF_NewWorld = NewWorld;
    impl->world_suite.PF_DisposeWorld = DisposeWorld;
    impl->world_suite.PF_GetPixelFormat = GetPixelFormat;

    impl->color_suite.RGBtoHLS = ColorRGBtoHLS;
    impl->color_suite.HLStoRGB = ColorHLStoRGB;
    impl->color_suite.Luminance = ColorLuminance;

    impl->fill_suite.fill = SuiteFill;
    impl->fill_suite.fill16 = SuiteFill16;
    impl->fill_suite.fill_float = SuiteFillFloat;

    // Both generations' versions of the handle and param-utils suites, in
    // every build: the tables are the same.
    impl->offered = {
        {kPFHandleSuite, kPFHandleSuiteVersion1, &impl->handle_suite},
        {kPFHandleSuite, kPFHandleSuiteVersion2, &impl->handle_suite},
        {kPFParamUtilsSuite, kPFParamUtilsSuiteVersion1, &impl->param_utils_suite},
        {kPFParamUtilsSuite, kPFParamUtilsSuiteVersion2, &impl->param_utils_suite},
        {kPFANSISuite, kPFANSISuiteVersion1, &impl->ansi_suite},
        {kAEGPUtilitySuite, kAEGPUtilitySuiteVersion7, &impl->utility_suite},
        {kPFWorldSuite, kPFWorldSuiteVersion2, &impl->world_suite},
        {kPFColorCallbacksFloatSuite, kPFColorCallbacksFloatSuiteVersion1, &impl->color_suite},
        {kPFFillMatteSuite, kPFFillMatteSuiteVersion2, &impl->fill_suite},
    };

    PF_InteractCallbacks& inter = impl->host->in_data.inter;
    inter.checkout_param = CheckoutParam;
    inter.checkin_param = CheckinParam;
    inter.add_param = AddParam;
    inter.abort = Abort;
    inter.progress = Progress;

    impl->host->pre_render_callbacks.checkout_layer = CheckoutLayer;
    impl->host->smart_render_callbacks.checkout_layer_pixels = CheckoutLayerPixels;
    impl->host->smart_render_callbacks.checkin_layer_pixels = CheckinLayerPixels;
    impl->host->smart_render_callbacks.checkout_output = CheckoutOutput;
}

}  // namespace standin
