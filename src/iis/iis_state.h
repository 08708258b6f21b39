#pragma once
// IIS state and maintenance actions: the check that IIS Admin and the
// product's site run (with the user's leave to start them), the stop of IIS
// Admin and iisreset, the clean-up of what the product made in IIS, and the
// paths the package is given ("IISROOTDIR", "DOTNETFRAMEWORKPATH").
#include <windows.h>
#include <msi.h>

namespace ondex::iis {

void CheckIISStateImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void StopIISAdminServiceImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void IIsResetImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void Debug_ShowIIsWebQueryImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);

// Deferred clean-up; each reads its "CustomActionData".
void DeleteWebSiteStuffImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void DeleteVirtualRootXPImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void SetPiplineModeClassicImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);

void GetPathWWWRootImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void GetDotNetFrameworkPathImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);

}  // namespace ondex::iis
