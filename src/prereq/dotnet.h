#pragma once
// The .NET Framework 2.0 prerequisite: the check that publishes its verdict
// in the CHKRQ_PRODDOTNETFX20 properties, and the silent installation of the
// redistributable.
#include <windows.h>
#include <msi.h>

#include <cstdint>
#include <string>

#include "prereq/version_text.h"

namespace ondex::prereq {

// The data of a registry value read as text (any type, up to its first
// terminator); `defaultValue` when the key cannot be opened for reading or
// the value cannot be read.
std::wstring RegReadStringValue(HKEY root, const wchar_t* subKey, const wchar_t* valueName,
                                const std::wstring& defaultValue);

// Refreshes "MsiNetAssemblySupport" from the runtime version registered for
// the framework's class (one leading v dropped); unchanged when none is.
void UpdateNetAssemblySupport(MSIHANDLE hInstall);

// VersionComparison with its trace event.
std::uint32_t CompareVersion(const VersionInfo& found, const VersionInfo& required);

// "OK" when the found runtime has the required major and minor version,
// otherwise "E_NOT_INSTALLED", with the found version and the package's
// status text. Always succeeds.
void CheckDotNetFx20Impl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);

// Runs the redistributable named by "DOTNETFX_EXE" silently with a progress
// bar; succeeds whatever it does.
void InstallDotNetFx20Impl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);

}  // namespace ondex::prereq
