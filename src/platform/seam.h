#pragma once
// The one seam for flat system APIs that tests must script or that Wine only
// stubs. Product code calls these through Api(); the table starts out with the
// real functions. Tests replace entries through a scoped override object; the
// DLL exports nothing of this.
#include <windows.h>
#include <aclapi.h>
#include <lm.h>
#include <msi.h>
#include <msiquery.h>
#include <ntsecapi.h>
#ifndef SECURITY_WIN32
#define SECURITY_WIN32
#endif
#include <security.h>

struct _MIB_TCPTABLE;  // <iphlpapi.h> wants <winsock2.h> ahead of <windows.h>

namespace ondex::platform {

struct SystemApi {
    int(WINAPI* MessageBoxW)(HWND, LPCWSTR, LPCWSTR, UINT);
    void(WINAPI* DebugBreak)();
    BOOL(WINAPI* IsDebuggerPresent)();
    // The local port check's TCP table.
    ULONG(WINAPI* GetTcpTable)(_MIB_TCPTABLE*, PULONG, BOOL);
    // The trace file's fallback folder.
    DWORD(WINAPI* GetTempPathW)(DWORD, LPWSTR);
    DWORD(WINAPI* WaitForSingleObject)(HANDLE, DWORD);
    BOOL(WINAPI* GetExitCodeProcess)(HANDLE, LPDWORD);
    DWORD(WINAPI* GetTickCount)();
    // Administrator check, logoff and the shutdown privilege.
    BOOL(WINAPI* CheckTokenMembership)(HANDLE, PSID, PBOOL);
    BOOL(WINAPI* OpenProcessToken)(HANDLE, DWORD, PHANDLE);
    BOOL(WINAPI* LookupPrivilegeValueW)(LPCWSTR, LPCWSTR, PLUID);
    BOOL(WINAPI* AdjustTokenPrivileges)(HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD, PTOKEN_PRIVILEGES, PDWORD);
    DWORD(WINAPI* GetLastError)();
    BOOL(WINAPI* ExitWindowsEx)(UINT, DWORD);
    // Processor count: the run-time lookup of the processor query, and its fallback.
    FARPROC(WINAPI* GetProcAddress)(HMODULE, LPCSTR);
    DWORD(WINAPI* GetEnvironmentVariableW)(LPCWSTR, LPWSTR, DWORD);
    // Local groups and their members.
    NET_API_STATUS(NET_API_FUNCTION* NetLocalGroupAdd)(LPCWSTR, DWORD, LPBYTE, LPDWORD);
    NET_API_STATUS(NET_API_FUNCTION* NetLocalGroupAddMembers)(LPCWSTR, LPCWSTR, DWORD, LPBYTE, DWORD);
    // Network shares (NET_API_STATUS is a DWORD, LMSTR an LPWSTR).
    DWORD(WINAPI* NetShareGetInfo)(LPWSTR, LPWSTR, DWORD, LPBYTE*);
    DWORD(WINAPI* NetShareAdd)(LPWSTR, DWORD, LPBYTE, LPDWORD);
    DWORD(WINAPI* NetShareSetInfo)(LPWSTR, LPWSTR, DWORD, LPBYTE, LPDWORD);
    DWORD(WINAPI* NetShareDel)(LPWSTR, LPWSTR, DWORD);
    // The Windows version that picks the firewall interface.
    BOOL(WINAPI* GetVersionExW)(LPOSVERSIONINFOW);
    // The setup library: the installer's dialog window and the session's run mode.
    HWND(WINAPI* FindWindowW)(LPCWSTR, LPCWSTR);
    HWND(WINAPI* FindWindowExW)(HWND, HWND, LPCWSTR, LPCWSTR);
    BOOL(WINAPI* MsiGetMode)(MSIHANDLE, MSIRUNMODE);
    // A client product's copy of a component; the engine here never reports a missing source.
    INSTALLSTATE(WINAPI* MsiGetComponentPathW)(LPCWSTR, LPCWSTR, LPWSTR, LPDWORD);
    // The setup library's folders and files: the descriptor a folder is made with (Wine does not keep it),
    // the owner and whether a path is a reparse point (Wine shows neither for a planted one).
    BOOL(WINAPI* CreateDirectoryW)(LPCWSTR, LPSECURITY_ATTRIBUTES);
    DWORD(WINAPI* GetNamedSecurityInfoW)(LPCWSTR, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID*, PSID*, PACL*, PACL*,
                                         PSECURITY_DESCRIPTOR*);
    DWORD(WINAPI* GetFileAttributesW)(LPCWSTR);
    // The waits on the IIS Admin service: its pauses, its status, the stop
    // control and its dependents (Wine reports none).
    void(WINAPI* Sleep)(DWORD);
    BOOL(WINAPI* QueryServiceStatusEx)(SC_HANDLE, SC_STATUS_TYPE, LPBYTE, DWORD, LPDWORD);
    BOOL(WINAPI* ControlService)(SC_HANDLE, DWORD, LPSERVICE_STATUS);
    BOOL(WINAPI* EnumDependentServicesW)(SC_HANDLE, DWORD, LPENUM_SERVICE_STATUSW, DWORD, LPDWORD, LPDWORD);
    // The registry's SQL instance names: a read error the registry cannot be made to give.
    LSTATUS(WINAPI* RegEnumValueW)(HKEY, DWORD, LPWSTR, LPDWORD, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
    // Accounts: the service logon (a success stub in Wine), the name
    // translation (always fails in Wine), the logon right, and the dialog's
    // edit fields.
    BOOL(WINAPI* LogonUserW)(LPCWSTR, LPCWSTR, LPCWSTR, DWORD, DWORD, PHANDLE);
    BOOLEAN(SEC_ENTRY* TranslateNameW)(LPCWSTR, EXTENDED_NAME_FORMAT, EXTENDED_NAME_FORMAT, LPWSTR, PULONG);
    NTSTATUS(NTAPI* LsaAddAccountRights)(LSA_HANDLE, PSID, PLSA_UNICODE_STRING, ULONG);
    BOOL(WINAPI* IsWindow)(HWND);
    LRESULT(WINAPI* SendMessageW)(HWND, UINT, WPARAM, LPARAM);
    // The local user accounts (Wine lists root, Administrator and a disabled Guest).
    NET_API_STATUS(WINAPI* NetQueryDisplayInformation)(LPCWSTR, DWORD, DWORD, DWORD, DWORD, LPDWORD, PVOID*);
};

// The process-wide table.
SystemApi& Api();

// The real functions, for tests that restore or wrap them.
const SystemApi& RealApi();

}  // namespace ondex::platform
