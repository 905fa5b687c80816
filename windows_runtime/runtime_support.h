// What the DLL entry point needs from the rest of the runtime-support layer.
#pragma once

namespace ostrel_runtime {

// Calls the destructors registered for thread-local keys with the calling
// thread's values, as a thread or the process detaches.
void RunThreadKeyDestructors();

// Calls the functions registered with atexit, last first, as the process
// detaches or the DLL is unloaded.
void RunExitFunctions();

}  // namespace ostrel_runtime
