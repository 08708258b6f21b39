#pragma once
// Detection of installed products by upgrade or product code, and the
// cached package of a product line.
#include <windows.h>
#include <msi.h>

namespace ondex::prereq {

void IsProductLineInstalledImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void IsProductInstalledImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void GetMsiPathImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);

}  // namespace ondex::prereq
