#include "platform/seam.h"

namespace ondex::platform {

namespace {
const SystemApi kReal = {
    ::MessageBoxW,
    ::DebugBreak,
    ::WaitForSingleObject,
    ::GetTickCount,
    ::CheckTokenMembership,
    ::OpenProcessToken,
    ::LookupPrivilegeValueW,
    ::AdjustTokenPrivileges,
    ::GetLastError,
    ::ExitWindowsEx,
    ::GetProcAddress,
    ::GetEnvironmentVariableW,
    ::NetLocalGroupAdd,
    ::NetLocalGroupAddMembers,
};
SystemApi g_api = kReal;
}  // namespace

SystemApi& Api() { return g_api; }
const SystemApi& RealApi() { return kReal; }

}  // namespace ondex::platform
