#pragma once
#include <windows.h>

namespace ondex::runtime {

// The library's own module (set when the DLL loads; the executable's module
// when the code is linked into a program).
HMODULE ModuleHandle();
void SetModuleHandle(HMODULE module);

}  // namespace ondex::runtime
