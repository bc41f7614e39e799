#pragma once
#include <string>

namespace platform {

// The stand-in modules ("ddraw.dll", "d3d8.dll") and their exports, looked up
// by name at run time. Names compare case-insensitively, as module names do.
using ModuleHandle = void*;

// The module of that name, or null when there is none.
ModuleHandle LoadModule(const std::string& name);
void FreeModule(ModuleHandle module);
// The export of that name, or null (blanked, unknown, or no module).
void* GetProcAddress(ModuleHandle module, const std::string& name);

// Tests: removes one export (or puts it back) until RestoreModuleExports.
void SetModuleExport(const std::string& module, const std::string& name, void* entry);
void RestoreModuleExports();

} // namespace platform
