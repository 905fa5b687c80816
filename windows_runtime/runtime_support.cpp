// The C runtime functions that the exception runtime (libsupc++, libgcc_eh,
// libgcc) calls, over KERNEL32 alone: the heap, abort, atexit, and the
// thread-key destructor registry that the thread-local emulation uses.
#define WIN32_LEAN_AND_MEAN
#include "windows_runtime/runtime_support.h"

#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include <exception>

namespace {

// HeapAlloc aligns to MEMORY_ALLOCATION_ALIGNMENT (16 on x86-64, 8 on i386);
// exception objects want 16, so on i386 blocks are over-allocated and the
// raw pointer is kept just below the aligned one.
constexpr size_t kAlignment = 16;
constexpr bool kHeapAlignsEnough = MEMORY_ALLOCATION_ALIGNMENT >= kAlignment;

void* RawFromUser(void* user) {
    if (kHeapAlignsEnough) return user;
    return static_cast<void**>(user)[-1];
}

void* UserFromRaw(void* raw) {
    if (kHeapAlignsEnough || raw == nullptr) return raw;
    uintptr_t aligned = (reinterpret_cast<uintptr_t>(raw) + kAlignment) & ~(kAlignment - 1);
    void* user = reinterpret_cast<void*>(aligned);
    static_cast<void**>(user)[-1] = raw;
    return user;
}

size_t Overhead() { return kHeapAlignsEnough ? 0 : kAlignment; }

void* Allocate(size_t size, DWORD flags) {
    if (size > static_cast<size_t>(-1) - Overhead()) return nullptr;
    return UserFromRaw(HeapAlloc(GetProcessHeap(), flags, size + Overhead()));
}

// Fixed-size registries: the runtime registers one or two entries each.
constexpr int kMaxExitFunctions = 32;
constexpr int kMaxThreadKeys = 16;

struct ThreadKey {
    DWORD key;
    void (*destructor)(void*);
};

SRWLOCK registry_lock = SRWLOCK_INIT;
void (*exit_functions[kMaxExitFunctions])(void);
int exit_function_count = 0;
ThreadKey thread_keys[kMaxThreadKeys];
int thread_key_count = 0;

class RegistryLock {
  public:
    RegistryLock() { AcquireSRWLockExclusive(&registry_lock); }
    ~RegistryLock() { ReleaseSRWLockExclusive(&registry_lock); }
    RegistryLock(const RegistryLock&) = delete;
    RegistryLock& operator=(const RegistryLock&) = delete;
};

[[noreturn]] void TerminateWithoutMessage() { abort(); }

}  // namespace

extern "C" {

void* malloc(size_t size) { return Allocate(size, 0); }

void* calloc(size_t count, size_t size) {
    if (size != 0 && count > static_cast<size_t>(-1) / size) return nullptr;
    return Allocate(count * size, HEAP_ZERO_MEMORY);
}

void free(void* block) {
    if (block != nullptr) HeapFree(GetProcessHeap(), 0, RawFromUser(block));
}

void* realloc(void* block, size_t size) {
    if (block == nullptr) return malloc(size);
    if (size == 0) {
        free(block);
        return nullptr;
    }
    void* raw = RawFromUser(block);
    size_t old_size = HeapSize(GetProcessHeap(), 0, raw);
    if (old_size == static_cast<size_t>(-1)) return nullptr;
    old_size -= static_cast<char*>(block) - static_cast<char*>(raw);
    void* moved = malloc(size);
    if (moved == nullptr) return nullptr;
    memcpy(moved, block, old_size < size ? old_size : size);
    free(block);
    return moved;
}

// No message and no dialog: the host learns of it from the process ending,
// as it would from the C runtime's abort.
void abort(void) {
    TerminateProcess(GetCurrentProcess(), 3);
    for (;;) {
    }
}

int atexit(void (*function)(void)) {
    RegistryLock lock;
    if (exit_function_count == kMaxExitFunctions) return -1;
    exit_functions[exit_function_count++] = function;
    return 0;
}

// Threads are running: the exception runtime's per-thread state and locks
// must be real. Its thread-local emulation registers its key's destructor
// below.
int _CRT_MT = 2;

int __mingwthr_key_dtor(DWORD key, void (*destructor)(void*)) {
    if (destructor == nullptr) return 0;
    RegistryLock lock;
    if (thread_key_count == kMaxThreadKeys) return -1;
    thread_keys[thread_key_count++] = ThreadKey{key, destructor};
    return 0;
}

}  // extern "C"

// The library's terminate handlers print through stdio; ours end the process
// quietly so that no stdio is linked.
namespace __gnu_cxx {
void __verbose_terminate_handler() { TerminateWithoutMessage(); }
}  // namespace __gnu_cxx
namespace __cxxabiv1 {
std::terminate_handler __terminate_handler = TerminateWithoutMessage;
}  // namespace __cxxabiv1

namespace ostrel_runtime {

void RunThreadKeyDestructors() {
    ThreadKey keys[kMaxThreadKeys];
    int count;
    {
        RegistryLock lock;
        count = thread_key_count;
        for (int i = 0; i < count; ++i) keys[i] = thread_keys[i];
    }
    for (int i = 0; i < count; ++i) {
        void* value = TlsGetValue(keys[i].key);
        if (value != nullptr) {
            TlsSetValue(keys[i].key, nullptr);
            keys[i].destructor(value);
        }
    }
}

void RunExitFunctions() {
    for (;;) {
        void (*function)(void);
        {
            RegistryLock lock;
            if (exit_function_count == 0) return;
            function = exit_functions[--exit_function_count];
        }
        function();
    }
}

}  // namespace ostrel_runtime
