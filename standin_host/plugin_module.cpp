// Loading the effect module: the one place that knows the platform's loader.
#include <string>

#include "standin_host/standin_host.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>
#endif

namespace standin {
namespace {

#ifdef _WIN32
void* OpenLibrary(const std::string& path, std::string* reason) {
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module) *reason = "LoadLibrary failed with error " + std::to_string(GetLastError());
    return reinterpret_cast<void*>(module);
}
void* FindSymbol(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}
void CloseLibrary(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }
#else
void* OpenLibrary(const std::string& path, std::string* reason) {
    // RTLD_LOCAL: the module's symbols stay its own, as a DLL's do.
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* text = dlerror();
        *reason = text ? text : "dlopen failed";
    }
    return library;
}
void* FindSymbol(void* library, const char* name) { return dlsym(library, name); }
void CloseLibrary(void* library) { dlclose(library); }
#endif

}  // namespace

std::unique_ptr<PluginModule> PluginModule::Load(const std::string& path, std::string* error) {
    std::string reason;
    void* library = path.empty() ? nullptr : OpenLibrary(path, &reason);
    if (path.empty()) reason = "no path given";
    if (!library) {
        if (error) *error = "cannot load the effect module \"" + path + "\": " + reason;
        return nullptr;
    }
    void* symbol = FindSymbol(library, "EntryPointFunc");
    if (!symbol) {
        CloseLibrary(library);
        if (error)
            *error = "\"" + path + "\" is not an effect module: it exports no EntryPointFunc";
        return nullptr;
    }
    std::unique_ptr<PluginModule> module(new PluginModule);
    module->library_ = library;
    module->entry_point_ = reinterpret_cast<PF_EntryPointFunc>(symbol);
    module->path_ = path;
    return module;
}

PluginModule::~PluginModule() {
    if (library_) CloseLibrary(library_);
}

const char* PluginFileName() {
#ifdef _WIN32
#if OSTREL_INTERFACE_12_10
    return "OstrelStrata.aex";
#else
    return "OstrelStrata(64bit).aex";
#endif
#else
    return "OstrelStrata.so";
#endif
}

std::string ExecutableDirectory() {
    std::string path;
#ifdef _WIN32
    char buffer[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::string();
    path.assign(buffer, length);
    const std::string::size_type slash = path.find_last_of("\\/");
#else
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (length <= 0) return std::string();
    path.assign(buffer, static_cast<size_t>(length));
    const std::string::size_type slash = path.find_last_of('/');
#endif
    if (slash == std::string::npos) return std::string();
    return path.substr(0, slash + 1);
}

std::string DefaultPluginPath() { return ExecutableDirectory() + PluginFileName(); }

}  // namespace standin
