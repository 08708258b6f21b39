#pragma once
// Local groups from the package's LocalGroup table: the immediate readers
// that schedule or perform the creation, and the deferred creation itself.
#include <windows.h>
#include <msi.h>

namespace ondex::system {

void CreateLocalGroupsImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void CreateLocalGroupsImmediateImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void RemoveLocalGroupsImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void CreateGroupImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void RemoveGroupImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);

}  // namespace ondex::system
