// The DLL's entry point. We link no C runtime, so this does the little that
// one would do for a DLL: run the static constructors of the runtime
// libraries we link, and the registered clean-ups when threads and the
// process detach. Nothing of the plug-in's own runs here.
//
// On i386 the first constructor to run is crtend.o's, which calls crtbegin.o's
// __gcc_register_frame: it registers the DWARF unwind tables that every throw
// walks. It must run exactly once (a second registration links the table into
// the unwinder's list twice), so it is left to the constructor list alone.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "windows_runtime/runtime_support.h"

typedef void (*ConstructorFunc)(void);

// Bounds of the .ctors table laid out by the linker script: a -1 marker, the
// constructors, then a null.
extern "C" ConstructorFunc __CTOR_LIST__[];

namespace {

void RunConstructors() {
    // Last to first, as the linker collects them: the prioritised
    // .ctors.NNNNN entries (the unwind-table registration among them) sit at
    // the end and so run before the plain ones.
    size_t count = 0;
    while (__CTOR_LIST__[count + 1] != nullptr) ++count;
    for (size_t i = count; i > 0; --i) __CTOR_LIST__[i]();
}

}  // namespace

extern "C" BOOL WINAPI DllMainCRTStartup(HINSTANCE /*instance*/, DWORD reason,
                                         LPVOID /*reserved*/) {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            RunConstructors();
            break;
        case DLL_THREAD_DETACH:
            ostrel_runtime::RunThreadKeyDestructors();
            break;
        case DLL_PROCESS_DETACH:
            ostrel_runtime::RunThreadKeyDestructors();
            ostrel_runtime::RunExitFunctions();
            break;
        default:
            break;
    }
    return TRUE;
}
