#include "platform/directx/dx_module.h"

#include <cctype>
#include <mutex>
#include <vector>
#include "platform/directx/ddraw.h"

namespace platform {

namespace {

struct Export {
    const char* module;
    const char* name;
    void* entry;        // as shipped
    void* current;      // as a test left it
};

std::string Lower(const std::string& s) {
    std::string out = s;
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::mutex gModuleMutex;

std::vector<Export>& Exports() {
    static std::vector<Export> table = {
        {"ddraw.dll", "DirectDrawCreate", reinterpret_cast<void*>(&DirectDrawCreate), nullptr},
        {"ddraw.dll", "DirectDrawCreateEx", reinterpret_cast<void*>(&DirectDrawCreateEx), nullptr},
        {"d3d8.dll", "Direct3DCreate8", reinterpret_cast<void*>(&Direct3DCreate8), nullptr},
    };
    static bool filled = false;
    if (!filled) {
        for (Export& e : table) e.current = e.entry;
        filled = true;
    }
    return table;
}

// A module handle is its entry in this list (never freed: the modules are
// part of the program).
const char* const kModules[] = {"ddraw.dll", "d3d8.dll"};

} // namespace

ModuleHandle LoadModule(const std::string& name) {
    const std::string lower = Lower(name);
    for (const char* const& m : kModules)
        if (lower == m) return const_cast<char**>(&m);
    return nullptr;
}

void FreeModule(ModuleHandle module) { (void)module; }

void* GetProcAddress(ModuleHandle module, const std::string& name) {
    if (!module) return nullptr;
    const char* moduleName = *static_cast<const char* const*>(module);
    std::lock_guard<std::mutex> hold(gModuleMutex);
    for (const Export& e : Exports())
        if (e.module == std::string(moduleName) && name == e.name) return e.current;
    return nullptr;
}

void SetModuleExport(const std::string& module, const std::string& name, void* entry) {
    std::lock_guard<std::mutex> hold(gModuleMutex);
    for (Export& e : Exports())
        if (Lower(module) == e.module && name == e.name) e.current = entry;
}

void RestoreModuleExports() {
    std::lock_guard<std::mutex> hold(gModuleMutex);
    for (Export& e : Exports()) e.current = e.entry;
}

} // namespace platform
