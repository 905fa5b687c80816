#include "tests/windows/pe_image.h"

#include <malloc.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/mman.h>
#include <unistd.h>

#include <vector>

#if !defined(__i386__)
#error "the 32-bit DLL runs only in i386 programs"
#endif

namespace pe_image {
namespace {

// ---- KERNEL32 stand-ins --------------------------------------------------------

#define WINAPI __attribute__((stdcall))
typedef uint32_t DWORD;
typedef int BOOL;
typedef void* HANDLE;

// One thread runs the DLL here: locks are never contended and a semaphore
// is never waited on while empty.
struct Semaphore {
    long count;
};

DWORD last_error = 0;
constexpr int kTlsSlots = 64;
bool tls_used[kTlsSlots];
void* tls_values[kTlsSlots];

// Each block remembers its size for HeapSize, and is aligned to 8 as the
// 32-bit Windows heap's blocks are.
constexpr size_t kBlockHeader = 8;

void* WINAPI HeapAlloc(HANDLE, DWORD flags, size_t size) {
    if (size > SIZE_MAX - kBlockHeader) return nullptr;
    unsigned char* block = static_cast<unsigned char*>(malloc(size + kBlockHeader));
    if (!block) return nullptr;
    memcpy(block, &size, sizeof(size));
    const DWORD kHeapZeroMemory = 0x8;
    if (flags & kHeapZeroMemory) memset(block + kBlockHeader, 0, size);
    return block + kBlockHeader;
}
BOOL WINAPI HeapFree(HANDLE, DWORD, void* memory) {
    if (memory) free(static_cast<unsigned char*>(memory) - kBlockHeader);
    return 1;
}
size_t WINAPI HeapSize(HANDLE, DWORD, const void* memory) {
    size_t size;
    memcpy(&size, static_cast<const unsigned char*>(memory) - kBlockHeader, sizeof(size));
    return size;
}
HANDLE WINAPI GetProcessHeap() { return reinterpret_cast<HANDLE>(0x48454150); }

DWORD WINAPI TlsAlloc() {
    for (int slot = 0; slot < kTlsSlots; ++slot) {
        if (!tls_used[slot]) {
            tls_used[slot] = true;
            tls_values[slot] = nullptr;
            return slot;
        }
    }
    return 0xFFFFFFFF;
}
BOOL WINAPI TlsFree(DWORD slot) {
    if (slot >= kTlsSlots || !tls_used[slot]) return 0;
    tls_used[slot] = false;
    return 1;
}
void* WINAPI TlsGetValue(DWORD slot) {
    if (slot >= kTlsSlots || !tls_used[slot]) return nullptr;
    last_error = 0;
    return tls_values[slot];
}
BOOL WINAPI TlsSetValue(DWORD slot, void* value) {
    if (slot >= kTlsSlots || !tls_used[slot]) return 0;
    tls_values[slot] = value;
    return 1;
}

DWORD WINAPI GetLastError() { return last_error; }
void WINAPI SetLastError(DWORD error) { last_error = error; }
DWORD WINAPI GetCurrentThreadId() { return 1; }
void WINAPI Sleep(DWORD) {}

void WINAPI AcquireSRWLockExclusive(void*) {}
void WINAPI ReleaseSRWLockExclusive(void*) {}

HANDLE WINAPI CreateSemaphoreW(void*, long initial, long, const void*) {
    return new Semaphore{initial};
}
BOOL WINAPI ReleaseSemaphore(HANDLE handle, long count, long* previous) {
    Semaphore* semaphore = static_cast<Semaphore*>(handle);
    if (previous) *previous = semaphore->count;
    semaphore->count += count;
    return 1;
}
DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD) {
    Semaphore* semaphore = static_cast<Semaphore*>(handle);
    if (semaphore->count == 0) {
        fprintf(stderr,
                "pe_image: the DLL waits on an empty semaphore, which one thread never releases\n");
        _exit(3);
    }
    --semaphore->count;
    return 0;  // WAIT_OBJECT_0
}
BOOL WINAPI CloseHandle(HANDLE handle) {
    delete static_cast<Semaphore*>(handle);
    return 1;
}

// The unwinder looks for a shared libgcc first; there is none.
HANDLE WINAPI GetModuleHandleA(const char*) { return nullptr; }
HANDLE WINAPI LoadLibraryA(const char*) { return nullptr; }
void* WINAPI GetProcAddress(HANDLE, const char*) { return nullptr; }
BOOL WINAPI FreeLibrary(HANDLE) { return 1; }

HANDLE WINAPI GetCurrentProcess() { return reinterpret_cast<HANDLE>(-1); }
BOOL WINAPI TerminateProcess(HANDLE, unsigned code) {
    // The DLL's abort: a throw it could not catch ends up here.
    fprintf(stderr, "pe_image: the DLL ended the process with %u\n", code);
    _exit(3);
}

struct Stand_in {
    const char* name;
    void* function;
};
#define STAND_IN(name) \
    { #name, reinterpret_cast < void*>(&name) }
const Stand_in kKernel32[] = {
    STAND_IN(AcquireSRWLockExclusive),
    STAND_IN(CloseHandle),
    STAND_IN(CreateSemaphoreW),
    STAND_IN(FreeLibrary),
    STAND_IN(GetCurrentProcess),
    STAND_IN(GetCurrentThreadId),
    STAND_IN(GetLastError),
    STAND_IN(GetModuleHandleA),
    STAND_IN(GetProcAddress),
    STAND_IN(GetProcessHeap),
    STAND_IN(HeapAlloc),
    STAND_IN(HeapFree),
    STAND_IN(HeapSize),
    STAND_IN(LoadLibraryA),
    STAND_IN(ReleaseSRWLockExclusive),
    STAND_IN(ReleaseSemaphore),
    STAND_IN(SetLastError),
    STAND_IN(Sleep),
    STAND_IN(TerminateProcess),
    STAND_IN(TlsAlloc),
    STAND_IN(TlsFree),
    STAND_IN(TlsGetValue),
    STAND_IN(TlsSetValue),
    STAND_IN(WaitForSingleObject),
};
#undef STAND_IN

void* FindStandIn(const char* name) {
    for (const Stand_in& stand_in : kKernel32) {
        if (strcmp(stand_in.name, name) == 0) return stand_in.function;
    }
    return nullptr;
}

// ---- The image -------------------------------------------------------------------

typedef BOOL(WINAPI* DllEntry)(HANDLE instance, DWORD reason, void* reserved);
constexpr DWORD kProcessDetach = 0;
constexpr DWORD kProcessAttach = 1;

uint32_t Read32(const unsigned char* at) {
    uint32_t value;
    memcpy(&value, at, sizeof(value));
    return value;
}
uint16_t Read16(const unsigned char* at) {
    uint16_t value;
    memcpy(&value, at, sizeof(value));
    return value;
}

bool ReadFile(const std::string& path, std::vector<unsigned char>* bytes) {
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) return false;
    unsigned char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof(buffer), file)) > 0)
        bytes->insert(bytes->end(), buffer, buffer + got);
    fclose(file);
    return true;
}

}  // namespace

std::unique_ptr<PeImage> PeImage::Load(const std::string& path, std::string* error) {
    std::vector<unsigned char> file;
    if (!ReadFile(path, &file)) {
        *error = "cannot read " + path;
        return nullptr;
    }
    auto fail = [&](const std::string& why) {
        *error = path + ": " + why;
        return nullptr;
    };
    if (file.size() < 0x40 || file[0] != 'M' || file[1] != 'Z') return fail("not a PE file");
    const uint32_t pe = Read32(&file[0x3C]);
    if (pe > file.size() - 24 - 96 || memcmp(&file[pe], "PE\0\0", 4) != 0)
        return fail("not a PE file");
    const unsigned char* coff = &file[pe + 4];
    const unsigned char* optional = coff + 20;
    if (Read16(coff) != 0x14C || Read16(optional) != 0x10B) return fail("not a 32-bit i386 image");
    if (!(Read16(coff + 18) & 0x2000)) return fail("not a DLL");
    const uint16_t section_count = Read16(coff + 2);
    const unsigned char* sections = optional + Read16(coff + 16);
    const uint32_t image_base = Read32(optional + 28);
    const uint32_t image_size = Read32(optional + 56);
    const uint32_t headers_size = Read32(optional + 60);
    const unsigned char* directories = optional + 96;
    if (sections + 40 * section_count > file.data() + file.size() || headers_size > file.size())
        return fail("truncated headers");

    std::unique_ptr<PeImage> image(new PeImage);
    void* mapped = mmap(nullptr, image_size, PROT_READ | PROT_WRITE | PROT_EXEC,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return fail("cannot map the image");
    image->base_ = static_cast<unsigned char*>(mapped);
    image->size_ = image_size;
    unsigned char* base = image->base_;
    auto in_image = [image_size](uint32_t rva, uint32_t size) {
        return rva <= image_size && size <= image_size - rva;
    };

    memcpy(base, file.data(), headers_size);
    for (uint16_t i = 0; i < section_count; ++i) {
        const unsigned char* section = sections + 40 * i;
        const uint32_t virtual_size = Read32(section + 8), rva = Read32(section + 12);
        const uint32_t raw_size = Read32(section + 16), raw_offset = Read32(section + 20);
        const uint32_t copied =
            raw_size < virtual_size || virtual_size == 0 ? raw_size : virtual_size;
        if (!in_image(rva, copied) || raw_offset > file.size() || copied > file.size() - raw_offset)
            return fail("a section lies outside the image");
        memcpy(base + rva, &file[raw_offset], copied);
    }

    // Base relocations: the image sits wherever mmap put it.
    const uint32_t delta = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(base)) - image_base;
    const uint32_t relocations = Read32(directories + 5 * 8),
                   relocations_size = Read32(directories + 5 * 8 + 4);
    if (!in_image(relocations, relocations_size)) return fail("relocations outside the image");
    for (uint32_t block = relocations; block + 8 <= relocations + relocations_size;) {
        const uint32_t page = Read32(base + block), block_size = Read32(base + block + 4);
        if (block_size < 8 || block_size > relocations + relocations_size - block)
            return fail("bad relocation block");
        for (uint32_t entry = block + 8; entry + 2 <= block + block_size; entry += 2) {
            const uint16_t value = Read16(base + entry);
            const int type = value >> 12;
            const uint32_t target = page + (value & 0xFFF);
            if (type == 0) continue;  // padding
            if (type != 3 || !in_image(target, 4))
                return fail("a relocation this loader cannot apply");
            const uint32_t relocated = Read32(base + target) + delta;
            memcpy(base + target, &relocated, sizeof(relocated));
        }
        block += block_size;
    }

    // Imports: KERNEL32 alone, by name.
    const uint32_t imports = Read32(directories + 1 * 8);
    for (uint32_t descriptor = imports; imports != 0; descriptor += 20) {
        if (!in_image(descriptor, 20)) return fail("imports outside the image");
        const uint32_t lookup = Read32(base + descriptor), name = Read32(base + descriptor + 12);
        const uint32_t thunks = Read32(base + descriptor + 16);
        if (name == 0 && thunks == 0) break;
        const char* module = reinterpret_cast<const char*>(base + name);
        if (strcasecmp(module, "KERNEL32.dll") != 0)
            return fail(std::string("imports from ") + module);
        for (uint32_t i = 0;; ++i) {
            const uint32_t entry = Read32(base + (lookup ? lookup : thunks) + 4 * i);
            if (entry == 0) break;
            if (entry & 0x80000000u) return fail("imports by ordinal");
            const char* function = reinterpret_cast<const char*>(base + entry + 2);
            void* stand_in = FindStandIn(function);
            if (!stand_in)
                return fail(std::string("imports ") + function +
                            ", which this loader does not offer");
            const uint32_t address = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(stand_in));
            memcpy(base + thunks + 4 * i, &address, sizeof(address));
        }
    }

    image->export_directory_rva_ = Read32(directories);
    image->entry_point_rva_ = Read32(optional + 16);
    if (image->entry_point_rva_ != 0) {
        const DllEntry entry = reinterpret_cast<DllEntry>(base + image->entry_point_rva_);
        if (!entry(base, kProcessAttach, nullptr)) return fail("the entry point refused to attach");
        image->attached_ = true;
    }
    return image;
}

PeImage::~PeImage() {
    if (attached_)
        reinterpret_cast<DllEntry>(base_ + entry_point_rva_)(base_, kProcessDetach, nullptr);
    if (base_) munmap(base_, size_);
}

void* PeImage::Export(const char* name) const {
    if (export_directory_rva_ == 0) return nullptr;
    const unsigned char* directory = base_ + export_directory_rva_;
    const uint32_t name_count = Read32(directory + 24);
    const unsigned char* functions = base_ + Read32(directory + 28);
    const unsigned char* names = base_ + Read32(directory + 32);
    const unsigned char* ordinals = base_ + Read32(directory + 36);
    for (uint32_t i = 0; i < name_count; ++i) {
        if (strcmp(reinterpret_cast<const char*>(base_ + Read32(names + 4 * i)), name) == 0) {
            return base_ + Read32(functions + 4 * Read16(ordinals + 2 * i));
        }
    }
    return nullptr;
}

}  // namespace pe_image
