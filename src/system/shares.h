#pragma once
// Folder sharing: the share dialog's check, and the deferred actions that
// share the catalog folder for the local Administrators only and remove the
// share again.
#include <windows.h>
#include <msi.h>

#include <string>

namespace ondex::system {

// kShareNotFound, kShareSameFolder or kShareOtherFolder (shares_text.h);
// throws CWinEExc when the query fails otherwise.
int CheckShare(const std::wstring& folder, const std::wstring& name);
// kShareCreated (with the Administrators-only descriptor in place from the
// start), kShareSameFolder or kShareOtherFolder; throws CWinEExc on other
// failures.
int ShareFolder(const std::wstring& folder, const std::wstring& name);
// Replaces the share's security descriptor by one that lets only the local
// Administrators read and execute; throws CWinEExc on failure.
void SetShareFolderAdminPermission(const std::wstring& name);

void CheckShareFolderImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void ShareLocalFolderImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void DelShareFolderImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);

}  // namespace ondex::system
