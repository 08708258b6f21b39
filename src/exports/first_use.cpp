// System DLLs that only some actions need are bound on their first call (the
// DLL links their delay-import libraries). The loader hook takes them from
// the system folder alone: never from the program's folder, the current
// folder or the path, which a standard user may be able to write.
#include <windows.h>

#include <delayimp.h>

namespace {

FARPROC WINAPI LoadFromSystemFolder(unsigned notification, PDelayLoadInfo info) {
    if (notification != dliNotePreLoadLibrary) return nullptr;
    // Null (a loader without the search flag) leaves the load to the helper.
    return reinterpret_cast<FARPROC>(LoadLibraryExA(info->szDll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
}

}  // namespace

// Declared by <delayimp.h> (const in the Windows SDK's form).
#if defined(_MSC_VER)
const PfnDliHook __pfnDliNotifyHook2 = LoadFromSystemFolder;
#else
PfnDliHook __pfnDliNotifyHook2 = LoadFromSystemFolder;
#endif
