#include <windows.h>

#include "runtime/module.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) ondex::runtime::SetModuleHandle(instance);
    return TRUE;
}
