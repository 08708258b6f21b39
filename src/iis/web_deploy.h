#pragma once
// The web application deployment actions: ConfigureWeb (its immediate part
// packs the dialog's choice for its deferred part, which allows ASP.NET),
// EnableASPIIS, and the application pools' 32-bit mode.
#include <windows.h>
#include <msi.h>

namespace ondex::iis {

void ConfigureWebImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void EnableASPIISImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void SetEnable64BitModeImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void GetValueEnable32BitModeOn64Impl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);

}  // namespace ondex::iis
