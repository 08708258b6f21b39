#pragma once
// The one seam for flat system APIs that tests must script or that Wine only
// stubs. Product code calls these through Api(); the table starts out with the
// real functions. Tests replace entries through a scoped override object; the
// DLL exports nothing of this.
#include <windows.h>

namespace ondex::platform {

struct SystemApi {
    int(WINAPI* MessageBoxW)(HWND, LPCWSTR, LPCWSTR, UINT);
    void(WINAPI* DebugBreak)();
    DWORD(WINAPI* WaitForSingleObject)(HANDLE, DWORD);
    DWORD(WINAPI* GetTickCount)();
};

// The process-wide table.
SystemApi& Api();

// The real functions, for tests that restore or wrap them.
const SystemApi& RealApi();

}  // namespace ondex::platform
