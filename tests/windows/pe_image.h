// Runs the 32-bit Windows DLL in an i386 Linux test program, since this
// machine has no 32-bit Windows to run it in: maps its sections, applies its
// base relocations, answers its KERNEL32 imports with small stand-ins, calls
// its entry point as the loader does, and finds its exports.
//
// The stand-ins are enough for the one-threaded tests that drive the DLL: a
// heap over malloc, thread-local slots, a last error, and locks, semaphores
// and library look-ups that a single thread never waits on or finds. Both
// ABIs agree on everything the effect's interface passes (cdecl calls, the
// structures' layouts), so the stand-in host calls the DLL directly.
#pragma once

#include <stdint.h>

#include <memory>
#include <string>

namespace pe_image {

class PeImage {
  public:
    // Null, with *error saying why, when the file is not an i386 DLL this
    // loader can map, imports anything it cannot answer, or its entry point
    // refuses to attach.
    static std::unique_ptr<PeImage> Load(const std::string& path, std::string* error);
    ~PeImage();  // detaches the DLL and unmaps it

    PeImage(const PeImage&) = delete;
    PeImage& operator=(const PeImage&) = delete;

    // The export of that name, or null.
    void* Export(const char* name) const;

  private:
    PeImage() = default;
    unsigned char* base_ = nullptr;
    uint32_t size_ = 0;
    uint32_t entry_point_rva_ = 0;
    uint32_t export_directory_rva_ = 0;
    bool attached_ = false;
};

}  // namespace pe_image
