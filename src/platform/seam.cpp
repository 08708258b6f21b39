#include <winsock2.h>

#include "platform/seam.h"

#include <iphlpapi.h>
#include <lm.h>

namespace ondex::platform {

namespace {
const SystemApi kReal = {
    ::MessageBoxW,
    ::DebugBreak,
    ::IsDebuggerPresent,
    ::GetTcpTable,
    ::GetTempPathW,
    ::WaitForSingleObject,
    ::GetExitCodeProcess,
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
    ::NetShareGetInfo,
    ::NetShareAdd,
    ::NetShareSetInfo,
    ::NetShareDel,
    ::GetVersionExW,
    ::FindWindowW,
    ::FindWindowExW,
    ::MsiGetMode,
    ::MsiGetComponentPathW,
    ::CreateDirectoryW,
    ::GetNamedSecurityInfoW,
    ::GetFileAttributesW,
    ::Sleep,
    ::QueryServiceStatusEx,
    ::ControlService,
    ::EnumDependentServicesW,
    ::RegEnumValueW,
    ::LogonUserW,
    ::TranslateNameW,
    ::LsaAddAccountRights,
    ::IsWindow,
    ::SendMessageW,
    ::NetQueryDisplayInformation,
};
SystemApi g_api = kReal;
}  // namespace

SystemApi& Api() { return g_api; }
const SystemApi& RealApi() { return kReal; }

}  // namespace ondex::platform
