// A host handle that the current command holds and has not handed to the host.
// Whatever way the command ends (an error, a refused lock, a thrown code), the
// handle is unlocked if it is locked and given back, so no handle outlives a
// command that did not hand it over.
#pragma once

#include "host/interface/ae_effect.h"

class OwnedHandle {
  public:
    // `unlock` and `dispose` are the host's functions for the kind of handle
    // held: those of the handle suite or of the utility callbacks.
    OwnedHandle(PF_Handle handle, void (*unlock)(PF_Handle), void (*dispose)(PF_Handle))
        : handle_(handle), unlock_(unlock), dispose_(dispose), locked_(false) {}

    template <typename Functions>
    OwnedHandle(PF_Handle handle, const Functions& functions)
        : OwnedHandle(handle, functions.host_unlock_handle, functions.host_dispose_handle) {}

    ~OwnedHandle() {
        if (handle_) {
            Unlock();
            dispose_(handle_);
        }
    }

    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;

    PF_Handle get() const { return handle_; }

    // Locks through `lock`; null when the host refuses. Records the lock so
    // that it is undone once, by Unlock or at the end.
    void* Lock(void* (*lock)(PF_Handle)) {
        void* memory = lock(handle_);
        locked_ = memory != nullptr;
        return memory;
    }

    void Unlock() {
        if (locked_) {
            unlock_(handle_);
            locked_ = false;
        }
    }

    // The handle now belongs to whoever receives it; it stays as it is.
    PF_Handle Release() {
        PF_Handle handle = handle_;
        handle_ = nullptr;
        return handle;
    }

  private:
    PF_Handle handle_;
    void (*unlock_)(PF_Handle);
    void (*dispose_)(PF_Handle);
    bool locked_;
};
