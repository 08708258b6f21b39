#pragma once
// IIS security settings changed reversibly or additively: the sites'
// authentication flags saved to the registry and put back (ProtectIISSettings,
// RestoreIISSettings), and the reporting site's SSL binding (InstallSSL).
#include <windows.h>
#include <msi.h>

namespace ondex::iis {

// HKLM, native view: one REG_DWORD of AuthFlags per site path.
inline constexpr wchar_t kSnapshotParentKey[] = L"SOFTWARE\\Ondex\\Setup";
inline constexpr wchar_t kSnapshotSubkey[] = L"IISoptions";
inline constexpr wchar_t kSnapshotKey[] = L"SOFTWARE\\Ondex\\Setup\\IISoptions";

void ProtectIISSettingsImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void RestoreIISSettingsImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void InstallSSLImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);

}  // namespace ondex::iis
